// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cmath>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"

namespace orvik_test {

inline geometry_msgs::msg::PoseStamped poseAt(double x, double y) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  return pose;
}

inline std::vector<geometry_msgs::msg::PoseStamped> pathThrough(
    const std::vector<std::pair<double, double>>& points) {
  std::vector<geometry_msgs::msg::PoseStamped> path;
  for (const auto& [x, y] : points) {
    path.push_back(poseAt(x, y));
  }
  return path;
}

/// Poses `spacing` apart along the straight legs between the vertices; every vertex is a pose.
/// Leg lengths must be multiples of the spacing.
inline std::vector<geometry_msgs::msg::PoseStamped> polylinePath(
    const std::vector<std::pair<double, double>>& vertices, double spacing) {
  std::vector<geometry_msgs::msg::PoseStamped> path;
  if (vertices.empty()) {
    return path;
  }
  path.push_back(poseAt(vertices.front().first, vertices.front().second));
  for (size_t v = 1; v < vertices.size(); ++v) {
    const auto [ax, ay] = vertices[v - 1];
    const auto [bx, by] = vertices[v];
    const int steps = static_cast<int>(std::lround(std::hypot(bx - ax, by - ay) / spacing));
    for (int s = 1; s <= steps; ++s) {
      const double t = static_cast<double>(s) / steps;
      path.push_back(poseAt(ax + (bx - ax) * t, ay + (by - ay) * t));
    }
  }
  return path;
}

/// The path east from (0, 0) to (5, 0), then turning to (5, turn_y * 5), 0.05 m apart; the
/// coordinates are exact multiples of 1/20.
inline std::vector<geometry_msgs::msg::PoseStamped> eastThenTurnPath(double turn_y) {
  std::vector<geometry_msgs::msg::PoseStamped> path;
  for (int i = 0; i <= 100; ++i) {
    path.push_back(poseAt(i / 20.0, 0.0));
  }
  for (int k = 1; k <= 100; ++k) {
    path.push_back(poseAt(5.0, turn_y * k / 20.0));
  }
  return path;
}

}  // namespace orvik_test
