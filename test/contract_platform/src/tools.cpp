// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <utility>

#include "contract_violation.hpp"
#include "orvik_nav2_tools/communicator_engine.hpp"
#include "orvik_nav2_tools/trace_mat.hpp"

namespace orvik_trace {

TraceMat::TraceMat(std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map,
                   const std::string& /*name*/) {
  const auto costmap = map->getMultiGridMap()->getCostmap();
  size_x_ = static_cast<int>(costmap->getSizeInCellsX());
  size_y_ = static_cast<int>(costmap->getSizeInCellsY());
  codes_.assign(static_cast<std::size_t>(size_x_) * static_cast<std::size_t>(size_y_), 0);
}

std::size_t TraceMat::indexOf(const char* query, const cv::Point& cell) const {
  if (cell.x < 0 || cell.y < 0 || cell.x >= size_x_ || cell.y >= size_y_) {
    orvik_contract::offMap(query, cell.x, cell.y);
  }
  return static_cast<std::size_t>(cell.y) * static_cast<std::size_t>(size_x_) +
         static_cast<std::size_t>(cell.x);
}

void TraceMat::reset() {
  std::fill(codes_.begin(), codes_.end(), 0);
}

char TraceMat::getMatColor(const cv::Point& cell) const {
  return codes_[indexOf("getMatColor", cell)];
}

void TraceMat::setMatPointColor(const cv::Point& cell, char code) {
  codes_[indexOf("setMatPointColor", cell)] = code;
}

void TraceMat::publishCVMatAsGrid() {}

}  // namespace orvik_trace

namespace orvik_communicator {

void MicroUnitTrace::PublishLocalEndPose(const geometry_msgs::msg::PoseStamped& /*start*/,
                                         const geometry_msgs::msg::PoseStamped& /*goal*/) {}

void MicroUnitTrace::PublishDirPose(const geometry_msgs::msg::PoseStamped& /*pose*/) {}

CommunicatorEngine::CommunicatorEngine() : micro_unit_trace_(std::make_shared<MicroUnitTrace>()) {}

std::shared_ptr<MicroUnitTrace> CommunicatorEngine::getMicroUnitTrace() const {
  return micro_unit_trace_;
}

}  // namespace orvik_communicator
