// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

#include <utility>

namespace orvik_nav2_gridmap {

GridMapROS::GridMapROS(const nav2_costmap_2d::Costmap2D& costmap, std::string global_frame,
                       std::vector<int> passage_labels)
    : map_(std::make_shared<MultiGridMap>(costmap, std::move(passage_labels))),
      global_frame_(std::move(global_frame)) {}

std::shared_ptr<MultiGridMap> GridMapROS::getMultiGridMap() const {
  return map_;
}

const std::string& GridMapROS::getGlobalFrame() const {
  return global_frame_;
}

}  // namespace orvik_nav2_gridmap
