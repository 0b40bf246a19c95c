// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "nav2_core/global_planner.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "orvik_nav2_plugins/grid_map_cache.hpp"
#include "orvik_nav2_plugins/plan_failure.hpp"
#include "orvik_nav2_plugins/planner_grid_settings.hpp"

namespace orvik_nav2_plugins {

/// The previous A* planner (searchv2) as a Nav2 global planner, for setups tuned on it.
/// Options: `<name>.cost_flag` (false), `<name>.start_radius` and `<name>.goal_radius` (0.0 m:
/// a blocked endpoint is not moved), `<name>.danger_level` (0), plus the grid settings of
/// PlannerGridSettings.
class LegacyAstarPlanner : public nav2_core::GlobalPlanner {
 public:
  LegacyAstarPlanner() = default;
  ~LegacyAstarPlanner() override = default;

  /// @throw as Astar2Planner::configure.
  void configure(const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent, std::string name,
                 std::shared_ptr<tf2_ros::Buffer> tf,
                 std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros) override;
  void cleanup() override;
  void activate() override;
  void deactivate() override;

  /// @throw nav2_core::PlannerException, by value, naming the reason when there is no path.
  nav_msgs::msg::Path createPlan(const geometry_msgs::msg::PoseStamped& start,
                                 const geometry_msgs::msg::PoseStamped& goal) override;

 private:
  std::string name_;
  rclcpp::Logger logger_{rclcpp::get_logger("LegacyAstarPlanner")};
  rclcpp::Clock::SharedPtr clock_;
  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros_;
  bool cost_flag_{false};
  double start_radius_{0.0};
  double goal_radius_{0.0};
  int danger_level_{0};
  PlannerGridSettings grid_settings_;
  GridMapCache grid_maps_;
  std::unique_ptr<orvik_nav2_planner::astar::AstarPlanner> planner_;
};

}  // namespace orvik_nav2_plugins
