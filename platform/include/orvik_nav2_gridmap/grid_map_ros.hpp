// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "orvik_nav2_gridmap/multi_grid_map.hpp"

namespace orvik_nav2_gridmap {

/// A grid map as the planners receive it: its layers and the name of its global frame.
class GridMapROS {
 public:
  GridMapROS(std::shared_ptr<MultiGridMap> map, std::string global_frame);
  /// Builds the layers from a costmap; see MultiGridMap for the arguments and what it throws.
  GridMapROS(const nav2_costmap_2d::Costmap2D& costmap, const GridMapConfig& config,
             std::vector<int> passage_labels = {}, std::vector<uint8_t> extra_cost = {});

  std::shared_ptr<MultiGridMap> getMultiGridMap() const;
  const std::string& getGlobalFrame() const;

 private:
  std::shared_ptr<MultiGridMap> map_;
  std::string global_frame_;
};

}  // namespace orvik_nav2_gridmap
