// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "orvik/logger.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_planner/astar_node.hpp"

namespace orvik_nav2_planner::astar2 {

/// Moves `node` to the nearest cell (Manhattan distance) that is not in danger at
/// `danger_level`, within a square window of radius metres. Ties go to the first cell in row
/// then column order, lowest first. A node that is not in danger stays where it is. Only x and
/// y change; the node keeps its index.
/// @return false, with an error line, when no usable cell lies in the window.
inline bool fuzzyPoint(const std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map, AstarNode* node,
                       double radius, int danger_level) {
  const std::shared_ptr<orvik_nav2_gridmap::GridMapROS> held_map = map;
  const std::shared_ptr<orvik_nav2_gridmap::MultiGridMap> grid = held_map->getMultiGridMap();
  const auto costmap = grid->getCostmap();
  const double resolution = costmap->getResolution();
  const int64_t size_x = costmap->getSizeInCellsX();
  const int64_t size_y = costmap->getSizeInCellsY();

  if (!grid->inDanger(static_cast<unsigned int>(node->x), static_cast<unsigned int>(node->y),
                      danger_level)) {
    return true;
  }

  // A window wider than the map finds nothing more than the whole map, so the half-width is
  // clamped before it becomes an integer: NaN, infinite or huge radii stay bounded.
  double half_cells = radius / resolution;
  if (!(half_cells > 0.0)) {
    half_cells = 0.0;
  }
  half_cells = std::min(half_cells, static_cast<double>(std::max(size_x, size_y)));
  const int64_t h = static_cast<int64_t>(half_cells);
  const int64_t nx = node->x;
  const int64_t ny = node->y;
  const int64_t row_begin = std::max<int64_t>(0, ny - h);
  const int64_t row_end = std::min<int64_t>(size_y - 1, ny + h);
  const int64_t col_begin = std::max<int64_t>(0, nx - h);
  const int64_t col_end = std::min<int64_t>(size_x - 1, nx + h);

  bool found = false;
  int64_t best_distance = 0;
  int64_t best_x = 0;
  int64_t best_y = 0;
  for (int64_t i = row_begin; i <= row_end; ++i) {
    for (int64_t j = col_begin; j <= col_end; ++j) {
      if (grid->inDanger(static_cast<unsigned int>(j), static_cast<unsigned int>(i),
                         danger_level)) {
        continue;
      }
      const int64_t distance = std::llabs(nx - j) + std::llabs(ny - i);
      if (!found || distance < best_distance) {
        found = true;
        best_distance = distance;
        best_x = j;
        best_y = i;
      }
    }
  }
  if (!found) {
    ORVIK_ERROR("Cloud could not find the best node");
    return false;
  }
  node->x = static_cast<int32_t>(best_x);
  node->y = static_cast<int32_t>(best_y);
  return true;
}

}  // namespace orvik_nav2_planner::astar2
