// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_plugins/plan_failure.hpp"

#include <cmath>
#include <cstdio>

namespace orvik_nav2_plugins {

namespace {

std::string formatPoint(double x, double y) {
  char text[64];
  std::snprintf(text, sizeof(text), "(%.2f, %.2f)", x, y);
  return text;
}

/// Empty when the endpoint is usable or may be moved to a usable cell, else why not.
/// `note` gains a remark when the endpoint is blocked but may be moved.
std::string endpointProblem(const orvik_nav2_gridmap::MultiGridMap& map, const char* which,
                            const geometry_msgs::msg::PoseStamped& pose, int danger_level,
                            double radius, std::string& note) {
  const double x = pose.pose.position.x;
  const double y = pose.pose.position.y;
  if (!std::isfinite(x) || !std::isfinite(y)) {
    return std::string(which) + " pose is not finite";
  }
  unsigned int mx = 0;
  unsigned int my = 0;
  if (!map.getCostmap()->worldToMap(x, y, mx, my)) {
    return std::string(which) + " " + formatPoint(x, y) + " is off the costmap";
  }
  if (!map.inDanger(mx, my, danger_level)) {
    return {};
  }
  const std::string text =
      std::string(which) + " " + formatPoint(x, y) +
      (map.isObstacle(mx, my) ? " is on an obstacle"
                              : " is closer to an obstacle than danger level " +
                                    std::to_string(danger_level) + " allows");
  if (radius > 0.0) {
    // The planner may have moved it and failed later; say so rather than guess.
    char moved[64];
    std::snprintf(moved, sizeof(moved), " (it may move up to %.2f m)", radius);
    note += "; " + text + moved;
    return {};
  }
  return text;
}

}  // namespace

std::string describePlanFailure(const orvik_nav2_gridmap::MultiGridMap& map,
                                const PlanRequest& request) {
  std::string note;
  std::string problem = endpointProblem(map, "start", request.start, request.danger_level,
                                        request.start_radius, note);
  if (problem.empty()) {
    problem =
        endpointProblem(map, "goal", request.goal, request.danger_level, request.goal_radius, note);
  }
  if (!problem.empty()) {
    return problem;
  }
  return "no path found from " +
         formatPoint(request.start.pose.position.x, request.start.pose.position.y) + " to " +
         formatPoint(request.goal.pose.position.x, request.goal.pose.position.y) + note;
}

}  // namespace orvik_nav2_plugins
