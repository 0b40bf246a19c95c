// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_plugins/legacy_astar_planner.hpp"

#include <stdexcept>
#include <utility>

#include "nav2_core/exceptions.hpp"
#include "orvik_nav2_plugins/costmap_snapshot.hpp"
#include "orvik_nav2_plugins/plugin_parameters.hpp"
#include "planned_path.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace orvik_nav2_plugins {

void LegacyAstarPlanner::configure(const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent,
                                   std::string name, std::shared_ptr<tf2_ros::Buffer> /*tf*/,
                                   std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros) {
  auto node = parent.lock();
  if (!node) {
    throw std::runtime_error("Unable to lock node!");
  }
  name_ = std::move(name);
  logger_ = node->get_logger();
  clock_ = node->get_clock();
  costmap_ros_ = std::move(costmap_ros);
  cost_flag_ = declareAndRead(node, name_, "cost_flag", false);
  start_radius_ = declareAndRead(node, name_, "start_radius", 0.0);
  goal_radius_ = declareAndRead(node, name_, "goal_radius", 0.0);
  danger_level_ = declareAndRead(node, name_, "danger_level", 0);
  grid_settings_.read(node, name_);
  planner_ = std::make_unique<orvik_nav2_planner::astar::AstarPlanner>();
  RCLCPP_INFO(logger_, "Configured %s of type orvik_nav2_plugins::LegacyAstarPlanner",
              name_.c_str());
}

void LegacyAstarPlanner::cleanup() {
  RCLCPP_INFO(logger_, "Cleaning up %s of type orvik_nav2_plugins::LegacyAstarPlanner",
              name_.c_str());
  planner_.reset();
  grid_maps_.clear();
}

void LegacyAstarPlanner::activate() {
  RCLCPP_INFO(logger_, "Activating %s of type orvik_nav2_plugins::LegacyAstarPlanner",
              name_.c_str());
}

void LegacyAstarPlanner::deactivate() {
  RCLCPP_INFO(logger_, "Deactivating %s of type orvik_nav2_plugins::LegacyAstarPlanner",
              name_.c_str());
}

nav_msgs::msg::Path LegacyAstarPlanner::createPlan(const geometry_msgs::msg::PoseStamped& start,
                                                   const geometry_msgs::msg::PoseStamped& goal) {
  if (!costmap_ros_ || !planner_) {
    throw nav2_core::PlannerException("LegacyAstarPlanner " + name_ + " is not configured");
  }
  auto map =
      currentGridMap(*costmap_ros_, grid_settings_, grid_maps_, "LegacyAstarPlanner " + name_);

  nav_msgs::msg::Path result;
  if (!planner_->searchv2(map, start, goal, result, cost_flag_, start_radius_, goal_radius_,
                          danger_level_)) {
    PlanRequest request{start, goal, danger_level_, start_radius_, goal_radius_};
    throw nav2_core::PlannerException("LegacyAstarPlanner " + name_ + " failed: " +
                                      describePlanFailure(*map->getMultiGridMap(), request));
  }

  std_msgs::msg::Header header;
  header.frame_id = costmap_ros_->getGlobalFrameID();
  header.stamp = clock_->now();
  return stampedPath(result.poses, header);
}

}  // namespace orvik_nav2_plugins

PLUGINLIB_EXPORT_CLASS(orvik_nav2_plugins::LegacyAstarPlanner, nav2_core::GlobalPlanner)
