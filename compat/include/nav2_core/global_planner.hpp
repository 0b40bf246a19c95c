// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "nav_msgs/msg/path.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/buffer.h"

namespace nav2_core {

/// The interface planner_server loads its planners through (Humble: createPlan takes no
/// cancel checker).
class GlobalPlanner {
 public:
  using Ptr = std::shared_ptr<GlobalPlanner>;

  virtual ~GlobalPlanner() {}

  virtual void configure(const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent, std::string name,
                         std::shared_ptr<tf2_ros::Buffer> tf,
                         std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros) = 0;
  virtual void cleanup() = 0;
  virtual void activate() = 0;
  virtual void deactivate() = 0;
  virtual nav_msgs::msg::Path createPlan(const geometry_msgs::msg::PoseStamped& start,
                                         const geometry_msgs::msg::PoseStamped& goal) = 0;
};

}  // namespace nav2_core
