// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>

#include "nav_msgs/msg/path.hpp"

namespace orvik_nav2_planner::astar {

/// Request record of AstarPlanner::setPathConstraint: a reference path that the search should
/// keep to, and what leaving it costs.
struct PathConstraint {
  /// Extra cost of a step onto a cell outside the corridor, in cells (the units of g).
  double cost{0.0};
  /// Reference path, world coordinates in metres.
  nav_msgs::msg::Path path;
  /// Metres along the reference path, from the pose nearest the robot, that the corridor
  /// covers; also sets the corridor's block size, ceil(distance / resolution / 2) cells.
  double distance{0.0};
  /// Kept with the record for callers; the planner never reads it.
  uint64_t spare{0};
};

}  // namespace orvik_nav2_planner::astar
