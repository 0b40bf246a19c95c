// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "orvik_nav2_gridmap/grid_map_config.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace orvik_nav2_plugins {

/// How a planner plugin turns its Costmap2DROS into a grid map: the robot's padded footprint,
/// the danger clearances (level 0 defaults to the layered costmap's inscribed radius) and
/// whether unknown cells block. Inflation is left to the costmap's own inflation layer.
class PlannerGridSettings {
 public:
  /// Declares and reads `<plugin>.danger_clearances` (metres per danger level; empty: the
  /// inscribed radius as the only level) and `<plugin>.unknown_is_obstacle` (true).
  /// @throw rclcpp::exceptions::InvalidParameterTypeException for a value of the wrong type.
  void read(const rclcpp_lifecycle::LifecycleNode::SharedPtr& node, const std::string& plugin);

  /// The grid map configuration for the costmap as it is now. The caller holds its lock.
  orvik_nav2_gridmap::GridMapConfig configFor(nav2_costmap_2d::Costmap2DROS& costmap_ros) const;

 private:
  std::vector<double> danger_clearances_;
  bool unknown_is_obstacle_{true};
};

}  // namespace orvik_nav2_plugins
