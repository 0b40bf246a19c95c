// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_plugins/planner_grid_settings.hpp"

#include "orvik_nav2_plugins/plugin_parameters.hpp"

namespace orvik_nav2_plugins {

void PlannerGridSettings::read(const rclcpp_lifecycle::LifecycleNode::SharedPtr& node,
                               const std::string& plugin) {
  danger_clearances_ = declareAndRead(node, plugin, "danger_clearances", std::vector<double>{});
  unknown_is_obstacle_ = declareAndRead(node, plugin, "unknown_is_obstacle", true);
}

orvik_nav2_gridmap::GridMapConfig PlannerGridSettings::configFor(
    nav2_costmap_2d::Costmap2DROS& costmap_ros) const {
  orvik_nav2_gridmap::GridMapConfig config;
  config.global_frame = costmap_ros.getGlobalFrameID();
  config.footprint = costmap_ros.getRobotFootprint();
  config.danger_clearances = danger_clearances_;
  if (config.danger_clearances.empty()) {
    config.danger_clearances = {costmap_ros.getLayeredCostmap()->getInscribedRadius()};
  }
  config.unknown_is_obstacle = unknown_is_obstacle_;
  config.inflation.enabled = false;
  return config;
}

}  // namespace orvik_nav2_plugins
