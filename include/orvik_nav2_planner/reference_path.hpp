// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "nav_msgs/msg/path.hpp"

namespace orvik_nav2_planner::astar2 {

/// A previous path that a search should stay close to. Owned by the caller; a request trims
/// the poses before the one nearest to its start, in place.
///
/// Not to be shared: a request writes to it, so two planners (or two threads) given one record
/// corrupt each other's corridor and may read freed poses. Give every planner, and every
/// request that must see the untrimmed path, its own copy. Taking the start or the goal of a
/// request from its poses is fine: the planner copies both before it trims.
struct ReferencePath {
  /// Poses in the map's global frame; the header is not read.
  nav_msgs::msg::Path path;
  /// Added to each search step into a cell outside the corridor.
  double cost{0.0};
  /// Metres along the path that get a corridor; also the default corridor size.
  double distance{0.0};
  /// Corridor half-width in metres when priority passages are preferred.
  double half_width{0.0};
};

}  // namespace orvik_nav2_planner::astar2
