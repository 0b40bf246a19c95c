// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "class_loader/class_loader_core.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"
#include "support/grid_fixtures.hpp"

namespace orvik_test {

/// A plugin made as pluginlib makes one: from the class registered under its type name.
template <class Base>
std::shared_ptr<Base> createPlugin(const std::string& type) {
  return std::shared_ptr<Base>(class_loader::impl::createInstance<Base>(type, nullptr));
}

/// A server node with the given parameter overrides, as a parameter file would set them.
inline std::shared_ptr<nav2_util::LifecycleNode> serverNode(
    const std::string& name, const std::vector<rclcpp::Parameter>& overrides = {}) {
  return std::make_shared<nav2_util::LifecycleNode>(
      name, "", rclcpp::NodeOptions().parameter_overrides(overrides));
}

/// The smoothers_world map as Nav2's global costmap would hold it: static layer (unknown
/// tracked) plus an inflation layer for a robot of `inscribed_radius`. Null without the shared
/// maps folder.
inline std::shared_ptr<nav2_costmap_2d::Costmap2D> inflatedSmoothersWorld(double inscribed_radius) {
  const std::string dir = sharedMapsDir();
  if (dir.empty()) {
    return nullptr;
  }
  orvik_nav2_gridmap::GridMapConfig config;
  config.robot_radius = inscribed_radius;
  config.inflation.enabled = true;
  config.inflation.inscribed_radius = inscribed_radius;
  config.inflation.inflation_radius = 0.55;
  config.inflation.cost_scaling_factor = 3.0;
  const auto map =
      orvik_nav2_gridmap::loadRosMap(dir + "/smoothers_world/smoothers_world.yaml", config);
  return std::make_shared<nav2_costmap_2d::Costmap2D>(*map->getMultiGridMap()->getCostmap());
}

inline geometry_msgs::msg::PoseStamped mapPose(double x, double y, double yaw = 0.0) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = std::sin(yaw / 2.0);
  pose.pose.orientation.w = std::cos(yaw / 2.0);
  return pose;
}

}  // namespace orvik_test
