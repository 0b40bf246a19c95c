// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"

namespace orvik_nav2_gridmap {

/// Inflation as Nav2's inflation layer computes it, applied once when the map is built.
struct InflationConfig {
  bool enabled{false};
  double inscribed_radius{0.0};   // metres; 0 takes it from the footprint
  double inflation_radius{0.55};  // metres
  double cost_scaling_factor{3.0};
};

/// How a grid map interprets its costmap and the robot that moves on it.
struct GridMapConfig {
  std::string global_frame{"map"};
  /// Robot footprint polygon in the robot frame (metres, x forward); at least three points.
  /// Empty: a circle of robot_radius.
  std::vector<geometry_msgs::msg::Point> footprint;
  double robot_radius{0.0};
  /// Minimum obstacle distance in metres per danger level; level 0 is the strictest. Levels
  /// past the end use the last entry, negative levels the first. Empty (the default): every
  /// level uses the footprint's inscribed radius, which keeps the whole footprint off obstacle
  /// cells (Nav2's "inscribed" cost); MultiGridMap::getConfig reports the value it chose. A
  /// configured clearance below that radius is used as given, with a warning.
  std::vector<double> danger_clearances;
  /// Unknown cells (cost 255) count as obstacles for distances, danger and collisions.
  bool unknown_is_obstacle{true};
  InflationConfig inflation;
};

}  // namespace orvik_nav2_gridmap
