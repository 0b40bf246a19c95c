// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cmath>

#include "nav2_costmap_2d/costmap_2d.hpp"

namespace orvik_nav2_planner::astar2 {

/// Costmap2D::worldToMap that is safe for any input: non-finite coordinates and points so far
/// off the map that the cell cast would overflow are refused before the costmap sees them.
/// Points near the map keep the costmap's own boundary rounding.
inline bool worldToCell(const nav2_costmap_2d::Costmap2D& costmap, double wx, double wy,
                        unsigned int& mx, unsigned int& my) {
  if (!std::isfinite(wx) || !std::isfinite(wy)) {
    return false;
  }
  const double fx = (wx - costmap.getOriginX()) / costmap.getResolution();
  const double fy = (wy - costmap.getOriginY()) / costmap.getResolution();
  if (!(fx < costmap.getSizeInCellsX() + 1.0) || !(fy < costmap.getSizeInCellsY() + 1.0)) {
    return false;
  }
  return costmap.worldToMap(wx, wy, mx, my);
}

}  // namespace orvik_nav2_planner::astar2
