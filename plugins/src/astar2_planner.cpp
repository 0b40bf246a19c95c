// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_plugins/astar2_planner.hpp"

#include <stdexcept>
#include <utility>

#include "nav2_core/exceptions.hpp"
#include "orvik_nav2_plugins/costmap_snapshot.hpp"
#include "orvik_nav2_plugins/plan_failure.hpp"
#include "orvik_nav2_plugins/plugin_parameters.hpp"
#include "planned_path.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace orvik_nav2_plugins {

namespace {

/// Reads every option of a planning request that a parameter file can set, defaulting to the
/// library's own defaults. The robot's velocity and a reference path belong to one request,
/// not to the configuration, and keep their defaults.
orvik_nav2_planner::astar2::AstarOptions readOptions(
    const rclcpp_lifecycle::LifecycleNode::SharedPtr& node, const std::string& name) {
  orvik_nav2_planner::astar2::AstarOptions o;
  o.check_spin_direction =
      declareAndRead(node, name, "check_spin_direction", o.check_spin_direction);
  o.search_spin_free_point =
      declareAndRead(node, name, "search_spin_free_point", o.search_spin_free_point);
  o.cost_flag = declareAndRead(node, name, "cost_flag", o.cost_flag);
  o.start_fuzzy_radius = declareAndRead(node, name, "start_fuzzy_radius", o.start_fuzzy_radius);
  o.goal_fuzzy_radius = declareAndRead(node, name, "goal_fuzzy_radius", o.goal_fuzzy_radius);
  o.goal_tolerance = declareAndRead(node, name, "goal_tolerance", o.goal_tolerance);
  o.check_goal_reachable =
      declareAndRead(node, name, "check_goal_reachable", o.check_goal_reachable);
  o.spin_penalty = declareAndRead(node, name, "spin_penalty", o.spin_penalty);
  o.danger_level = declareAndRead(node, name, "danger_level", o.danger_level);
  o.priority_preference = declareAndRead(node, name, "priority_preference", o.priority_preference);
  o.outside_penalty = declareAndRead(node, name, "outside_penalty", o.outside_penalty);
  o.boundary_weight = declareAndRead(node, name, "boundary_weight", o.boundary_weight);
  o.center_weight = declareAndRead(node, name, "center_weight", o.center_weight);
  o.center_distance = declareAndRead(node, name, "center_distance", o.center_distance);
  o.cost_weight = declareAndRead(node, name, "cost_weight", o.cost_weight);
  o.target_label = declareAndRead(node, name, "target_label", o.target_label);
  return o;
}

}  // namespace

void Astar2Planner::configure(const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent,
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
  options_ = readOptions(node, name_);
  grid_settings_.read(node, name_);
  RCLCPP_INFO(logger_, "Configured %s of type orvik_nav2_plugins::Astar2Planner", name_.c_str());
}

void Astar2Planner::cleanup() {
  RCLCPP_INFO(logger_, "Cleaning up %s of type orvik_nav2_plugins::Astar2Planner", name_.c_str());
  planner_.reset();
  planner_map_.reset();
  grid_maps_.clear();
}

void Astar2Planner::activate() {
  RCLCPP_INFO(logger_, "Activating %s of type orvik_nav2_plugins::Astar2Planner", name_.c_str());
}

void Astar2Planner::deactivate() {
  RCLCPP_INFO(logger_, "Deactivating %s of type orvik_nav2_plugins::Astar2Planner", name_.c_str());
}

nav_msgs::msg::Path Astar2Planner::createPlan(const geometry_msgs::msg::PoseStamped& start,
                                              const geometry_msgs::msg::PoseStamped& goal) {
  if (!costmap_ros_) {
    throw nav2_core::PlannerException("Astar2Planner " + name_ + " is not configured");
  }
  auto map = currentGridMap(*costmap_ros_, grid_settings_, grid_maps_, "Astar2Planner " + name_);
  if (map != planner_map_) {
    planner_ = std::make_unique<orvik_nav2_planner::astar2::AstarPlanner>(name_, map);
    planner_map_ = map;
  }

  orvik_nav2_protocol::msg::Path result;
  if (!planner_->searchPath(start, goal, options_, result)) {
    PlanRequest request{start, goal, options_.danger_level, options_.start_fuzzy_radius,
                        options_.goal_fuzzy_radius};
    throw nav2_core::PlannerException("Astar2Planner " + name_ + " failed: " +
                                      describePlanFailure(*map->getMultiGridMap(), request));
  }

  std_msgs::msg::Header header;
  header.frame_id = costmap_ros_->getGlobalFrameID();
  header.stamp = clock_->now();
  return stampedPath(result.poses, header);
}

}  // namespace orvik_nav2_plugins

PLUGINLIB_EXPORT_CLASS(orvik_nav2_plugins::Astar2Planner, nav2_core::GlobalPlanner)
