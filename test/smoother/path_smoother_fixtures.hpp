// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav_msgs/msg/path.hpp"
#include "orvik_nav2_planner/path_smoother.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "support/grid_fixtures.hpp"

namespace orvik_test {

/// A lifecycle node with the given parameter overrides, as a launch file would set them.
inline rclcpp_lifecycle::LifecycleNode::SharedPtr smootherNode(
    const std::vector<rclcpp::Parameter>& overrides = {}) {
  rclcpp::NodeOptions options;
  options.parameter_overrides(overrides);
  return std::make_shared<rclcpp_lifecycle::LifecycleNode>("smoother_test", options);
}

/// An obstacle-free map of width x height cells at `resolution`, origin (0, 0).
inline std::shared_ptr<orvik_nav2_gridmap::GridMapROS> openMap(unsigned int width,
                                                               unsigned int height,
                                                               double resolution = 0.05) {
  return gridMapFromAscii(std::vector<std::string>(height, std::string(width, '.')), {},
                          resolution);
}

/// A pose with a yaw quaternion.
inline geometry_msgs::msg::PoseStamped poseAt(double x, double y, double yaw = 0.0) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = std::sin(yaw / 2.0);
  pose.pose.orientation.w = std::cos(yaw / 2.0);
  return pose;
}

/// A path through the given points, headings identity, header frame "map".
inline nav_msgs::msg::Path pathThrough(const std::vector<std::pair<double, double>>& points) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  for (const auto& [x, y] : points) {
    path.poses.push_back(poseAt(x, y));
  }
  return path;
}

inline geometry_msgs::msg::Twist twist(double linear, double angular) {
  geometry_msgs::msg::Twist velocity;
  velocity.linear.x = linear;
  velocity.angular.z = angular;
  return velocity;
}

/// Sum of absolute heading changes along a polyline, in radians.
template <typename PointRange, typename GetX, typename GetY>
double totalTurning(const PointRange& points, GetX get_x, GetY get_y) {
  double turning = 0.0;
  for (size_t i = 1; i + 1 < points.size(); ++i) {
    const double in_x = get_x(points[i]) - get_x(points[i - 1]);
    const double in_y = get_y(points[i]) - get_y(points[i - 1]);
    const double out_x = get_x(points[i + 1]) - get_x(points[i]);
    const double out_y = get_y(points[i + 1]) - get_y(points[i]);
    if (std::hypot(in_x, in_y) < 1e-9 || std::hypot(out_x, out_y) < 1e-9) {
      continue;
    }
    turning += std::abs(std::atan2(in_x * out_y - in_y * out_x, in_x * out_x + in_y * out_y));
  }
  return turning;
}

inline double totalTurning(const std::vector<Pose2d>& poses) {
  return totalTurning(
      poses, [](const Pose2d& p) { return p.x; }, [](const Pose2d& p) { return p.y; });
}

}  // namespace orvik_test
