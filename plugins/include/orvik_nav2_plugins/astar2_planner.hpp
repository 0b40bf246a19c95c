// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "nav2_core/global_planner.hpp"
#include "orvik_nav2_planner/astar_options.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_plugins/grid_map_cache.hpp"
#include "orvik_nav2_plugins/planner_grid_settings.hpp"

namespace orvik_nav2_plugins {

/// The grid A* planner v2 as a Nav2 global planner. Options are `<name>.<AstarOptions field>`
/// with the library's defaults, plus the grid settings of PlannerGridSettings.
class Astar2Planner : public nav2_core::GlobalPlanner {
 public:
  Astar2Planner() = default;
  ~Astar2Planner() override = default;

  /// @throw std::runtime_error "Unable to lock node!" when the parent node is gone;
  ///        rclcpp::exceptions::InvalidParameterTypeException for an option of the wrong type.
  void configure(const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent, std::string name,
                 std::shared_ptr<tf2_ros::Buffer> tf,
                 std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros) override;
  void cleanup() override;
  void activate() override;
  void deactivate() override;

  /// The path from start to goal in the costmap's frame, every pose stamped like the path.
  /// @throw nav2_core::PlannerException, by value, naming the reason when there is none.
  nav_msgs::msg::Path createPlan(const geometry_msgs::msg::PoseStamped& start,
                                 const geometry_msgs::msg::PoseStamped& goal) override;

 private:
  std::string name_;
  rclcpp::Logger logger_{rclcpp::get_logger("Astar2Planner")};
  rclcpp::Clock::SharedPtr clock_;
  std::shared_ptr<nav2_costmap_2d::Costmap2DROS> costmap_ros_;
  orvik_nav2_planner::astar2::AstarOptions options_;
  PlannerGridSettings grid_settings_;
  GridMapCache grid_maps_;
  // The planner is bound to one grid map; a new map gets a new planner.
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> planner_map_;
  std::unique_ptr<orvik_nav2_planner::astar2::AstarPlanner> planner_;
};

}  // namespace orvik_nav2_plugins
