// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace orvik_path_quality {

/// A path position in the map's global frame, metres.
struct PathPoint {
  double x{0.0};
  double y{0.0};
};

/// How good a path is for a robot that drives it, measured on the grid map it was planned on.
/// Only positions count: planned paths carry headings at their ends only.
struct PathQuality {
  std::size_t pose_count{0};
  /// Sum of the straight segments between consecutive poses, metres.
  double length_m{0.0};
  /// Sum over the inner poses of the absolute heading change between the segments before and
  /// after them, radians. Coincident poses are merged first. A straight path scores 0; a small
  /// zig-zag scores high even where its length hardly changes.
  double total_turning_rad{0.0};
  /// Largest turning angle at a pose divided by the mean length of its two segments, 1/m: for
  /// poses spaced along an arc of radius r this is 1 / r.
  double max_curvature{0.0};
  /// Smallest MultiGridMap::getDistance over the cells the path passes, metres; NaN when it
  /// passes no cell on the map.
  double min_clearance_m{0.0};
  /// Largest and mean MultiGridMap::getCost over the cells passed (a cell left and entered
  /// again counts again); 0 and NaN when the path passes no cell on the map.
  uint32_t max_cost{0};
  double mean_cost{0.0};
  /// Cells passed on the map.
  std::size_t cells_passed{0};
  /// Length of the path outside the map, metres (not in the clearance or the costs).
  double off_map_length_m{0.0};
};

/// Measures a path. The cells passed are every cell the straight segments between consecutive
/// points cross; a segment through a cell corner passes diagonally, touching neither side cell,
/// so a grid path passes exactly its own cells. The map is read through getDistance, getCost and
/// the master costmap's geometry.
/// @param cost_flag passed to getCost (true adds the extra cost layer, as the planners do).
/// @throw std::invalid_argument for a non-finite coordinate (naming the point) or a map without
///        layers.
PathQuality measurePathQuality(const orvik_nav2_gridmap::GridMapROS& map,
                               const std::vector<PathPoint>& points, bool cost_flag = false);

/// The same for the positions of a pose list.
PathQuality measurePathQuality(const orvik_nav2_gridmap::GridMapROS& map,
                               const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                               bool cost_flag = false);

/// The figures of a route of several paths driven one after the other: sums of lengths, turning
/// and cells, the extremes of curvature, clearance and cost, and the mean cost over every cell
/// passed. The turn in place between two paths is not counted.
PathQuality combinePathQualities(const std::vector<PathQuality>& paths);

}  // namespace orvik_path_quality
