// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik/logger.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace orvik_nav2_planner::astar {

/// Moves a start or goal pose that lies on a cell in danger to the nearest free cell.
class FuzzyPoint {
 public:
  /// Searches the square window of radius / resolution cells (truncated) around the pose's
  /// cell for the free cell nearest by Manhattan distance; among equally near cells the lowest
  /// row, then the lowest column wins. A pose on a free cell is kept unchanged (not snapped to
  /// its cell centre); a moved pose gets the chosen cell's centre and keeps z, orientation and
  /// header. A radius reaching past the map searches the whole map.
  /// @return false, with an ERROR log, when the map is missing, the pose lies off the map, the
  ///         radius is negative or not a number, or the window holds no free cell.
  static bool fuzzyPoint(const geometry_msgs::msg::PoseStamped& pose,
                         std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map,
                         geometry_msgs::msg::PoseStamped& out, int danger_level, double radius) {
    out = pose;
    const auto grid = map ? map->getMultiGridMap() : nullptr;
    const auto costmap = grid ? grid->getCostmap() : nullptr;
    if (!costmap) {
      ORVIK_ERROR("FuzzyPoint::fuzzyPoint failed, the grid map is missing");
      return false;
    }
    const double resolution = costmap->getResolution();
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!costmap->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my)) {
      ORVIK_ERROR(
          "FuzzyPoint::fuzzyPoint worldToMap failed, x:{}, y:{}, origin_x:{}, origin_y:{}, "
          "resolution:{}",
          pose.pose.position.x, pose.pose.position.y, costmap->getOriginX(), costmap->getOriginY(),
          resolution);
      return false;
    }
    if (!grid->inDanger(mx, my, danger_level)) {
      return true;
    }

    const int64_t size_x = costmap->getSizeInCellsX();
    const int64_t size_y = costmap->getSizeInCellsY();
    // A window of half-width max(size) covers the whole map from any cell, so larger (or
    // infinite) radii are clamped there before the conversion to an integer can overflow.
    // NaN and negative radii leave the window empty; a radius under one cell leaves only the
    // centre, which is in danger: both fail below.
    const double half_width = radius / resolution;
    const int64_t whole_map = std::max(size_x, size_y);
    int64_t m = -1;
    if (half_width >= static_cast<double>(whole_map)) {
      m = whole_map;
    } else if (half_width >= 0.0) {
      m = static_cast<int64_t>(half_width);
    }

    bool found = false;
    int64_t best_d = std::numeric_limits<int64_t>::max();
    unsigned int best_x = 0;
    unsigned int best_y = 0;
    if (m >= 0) {
      // Clipping the loop bounds to the map visits the same cells in the same order as
      // skipping off-map cells would, without walking a window larger than the map.
      const int64_t y_begin = std::max<int64_t>(0, my - m);
      const int64_t y_end = std::min<int64_t>(size_y - 1, my + m);
      const int64_t x_begin = std::max<int64_t>(0, mx - m);
      const int64_t x_end = std::min<int64_t>(size_x - 1, mx + m);
      for (int64_t y = y_begin; y <= y_end; ++y) {
        for (int64_t x = x_begin; x <= x_end; ++x) {
          const int64_t d = (x > mx ? x - mx : mx - x) + (y > my ? y - my : my - y);
          // Strictly smaller only: the first of equally near cells in row-major order stays.
          // Testing the distance first spares the danger query for cells that could not win.
          if (d < best_d && !grid->inDanger(static_cast<unsigned int>(x),
                                            static_cast<unsigned int>(y), danger_level)) {
            best_d = d;
            best_x = static_cast<unsigned int>(x);
            best_y = static_cast<unsigned int>(y);
            found = true;
          }
        }
      }
    }
    if (!found) {
      ORVIK_ERROR("Cloud could not find the best pose");
      return false;
    }
    costmap->mapToWorld(best_x, best_y, out.pose.position.x, out.pose.position.y);
    return true;
  }
};

}  // namespace orvik_nav2_planner::astar
