// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace orvik_nav2_planner::astar::detail {

/// Cell indices of the legacy planner are 32-bit signed, y * size_x + x, as its tables are
/// keyed. Neighbours one cell off the map (x = -1 or size_x, y = -1 or size_y) are indexed
/// before the bounds check, so the map needs one spare row of headroom on top.
inline bool fitsCellIndex(unsigned int size_x, unsigned int size_y) {
  return static_cast<uint64_t>(size_x) * (static_cast<uint64_t>(size_y) + 2) <=
         static_cast<uint64_t>(std::numeric_limits<int>::max());
}

/// Index of a whole-number cell position of a map that passed fitsCellIndex.
inline int cellIndex(double x, double y, unsigned int size_x) {
  return static_cast<int>(y) * static_cast<int>(size_x) + static_cast<int>(x);
}

/// Truncates a cell coordinate towards zero into `out`.
/// @return false for values that are not finite or do not fit into an int.
inline bool truncateCoordinate(double value, int& out) {
  if (!(value > static_cast<double>(std::numeric_limits<int>::min()) - 1.0 &&
        value < static_cast<double>(std::numeric_limits<int>::max()) + 1.0)) {
    return false;
  }
  out = static_cast<int>(value);
  return true;
}

/// The master costmap of a grid map, or null when the map or its layers are missing.
inline std::shared_ptr<nav2_costmap_2d::Costmap2D> masterCostmap(
    const std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map) {
  if (!map) {
    return nullptr;
  }
  const auto grid = map->getMultiGridMap();
  return grid ? grid->getCostmap() : nullptr;
}

}  // namespace orvik_nav2_planner::astar::detail
