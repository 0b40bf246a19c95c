// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "orvik_nav2_gridmap/multi_grid_map.hpp"

namespace orvik_nav2_gridmap {

/// Test stand-in for the maker's grid map handle: its layers and its global frame.
class GridMapROS {
 public:
  explicit GridMapROS(const nav2_costmap_2d::Costmap2D& costmap, std::string global_frame = "map",
                      std::vector<int> passage_labels = {});

  std::shared_ptr<MultiGridMap> getMultiGridMap() const;
  const std::string& getGlobalFrame() const;

 private:
  std::shared_ptr<MultiGridMap> map_;
  std::string global_frame_;
};

}  // namespace orvik_nav2_gridmap
