// SPDX-License-Identifier: Apache-2.0
#include "nav2_costmap_2d/costmap_subscriber.hpp"

#include <algorithm>
#include <stdexcept>

namespace nav2_costmap_2d {

CostmapSubscriber::CostmapSubscriber(const nav2_util::LifecycleNode::WeakPtr& /*parent*/,
                                     const std::string& topic_name)
    : topic_name_(topic_name) {}

std::shared_ptr<Costmap2D> CostmapSubscriber::getCostmap() {
  if (!costmap_received_) {
    throw std::runtime_error("Costmap is not available");
  }
  toCostmap2D();
  return costmap_;
}

void CostmapSubscriber::toCostmap2D() {
  const auto msg = std::atomic_load(&costmap_msg_);
  const auto& meta = msg->metadata;
  if (msg->data.size() != static_cast<std::size_t>(meta.size_x) * meta.size_y) {
    throw std::runtime_error("Costmap message on " + topic_name_ +
                             " holds a different number of cells than its size");
  }
  if (costmap_ == nullptr) {
    costmap_ = std::make_shared<Costmap2D>(meta.size_x, meta.size_y, meta.resolution,
                                           meta.origin.position.x, meta.origin.position.y);
  } else if (costmap_->getSizeInCellsX() != meta.size_x ||
             costmap_->getSizeInCellsY() != meta.size_y ||
             costmap_->getResolution() != meta.resolution ||
             costmap_->getOriginX() != meta.origin.position.x ||
             costmap_->getOriginY() != meta.origin.position.y) {
    costmap_->resizeMap(meta.size_x, meta.size_y, meta.resolution, meta.origin.position.x,
                        meta.origin.position.y);
  }
  std::copy(msg->data.begin(), msg->data.end(), costmap_->getCharMap());
}

void CostmapSubscriber::costmapCallback(const nav2_msgs::msg::Costmap::SharedPtr msg) {
  std::atomic_store(&costmap_msg_, msg);
  costmap_received_ = true;
}

}  // namespace nav2_costmap_2d
