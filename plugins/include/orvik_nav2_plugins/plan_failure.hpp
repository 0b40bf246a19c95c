// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_gridmap/multi_grid_map.hpp"

namespace orvik_nav2_plugins {

/// What a planner plugin knows about a request when the planner refused it.
struct PlanRequest {
  geometry_msgs::msg::PoseStamped start;
  geometry_msgs::msg::PoseStamped goal;
  int danger_level{0};
  double start_radius{0.0};  // metres a blocked start may move
  double goal_radius{0.0};   // metres a blocked goal may move
};

/// Why a plan failed, in words for the planner server's log: an endpoint that is not finite,
/// off the map or on a blocked cell (one the planner may not move it off), or else no path.
/// The planners log their own detail; this sentence is what travels in the exception.
std::string describePlanFailure(const orvik_nav2_gridmap::MultiGridMap& map,
                                const PlanRequest& request);

}  // namespace orvik_nav2_plugins
