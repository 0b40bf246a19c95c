// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

#include <utility>

namespace orvik_nav2_gridmap {

GridMapROS::GridMapROS(std::shared_ptr<MultiGridMap> map, std::string global_frame)
    : map_(std::move(map)), global_frame_(std::move(global_frame)) {}

GridMapROS::GridMapROS(const nav2_costmap_2d::Costmap2D& costmap, const GridMapConfig& config,
                       std::vector<int> passage_labels, std::vector<uint8_t> extra_cost)
    : map_(std::make_shared<MultiGridMap>(costmap, config, std::move(passage_labels),
                                          std::move(extra_cost))),
      global_frame_(config.global_frame) {}

std::shared_ptr<MultiGridMap> GridMapROS::getMultiGridMap() const {
  return map_;
}

const std::string& GridMapROS::getGlobalFrame() const {
  return global_frame_;
}

}  // namespace orvik_nav2_gridmap
