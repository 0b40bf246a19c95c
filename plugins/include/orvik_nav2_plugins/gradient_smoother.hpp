// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "nav2_core/smoother.hpp"
#include "orvik_nav2_planner/path_smoother.hpp"
#include "orvik_nav2_plugins/grid_map_cache.hpp"

namespace orvik_nav2_plugins {

/// The gradient path smoother (PathSmoother) as a Nav2 smoother. Its options are the
/// library's, under `<name>.`; it smooths on the costmap that smoother_server shares, with
/// the robot taken to stand still at the first pose.
class GradientSmoother : public nav2_core::Smoother {
 public:
  GradientSmoother() = default;
  ~GradientSmoother() override = default;

  /// @throw std::runtime_error "Unable to lock node!" when the parent node is gone;
  ///        rclcpp::exceptions::InvalidParameterTypeException for an option of the wrong type.
  void configure(const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent, std::string name,
                 std::shared_ptr<tf2_ros::Buffer> tf,
                 std::shared_ptr<nav2_costmap_2d::CostmapSubscriber> costmap_sub,
                 std::shared_ptr<nav2_costmap_2d::FootprintSubscriber> footprint_sub) override;
  void cleanup() override;
  void activate() override;
  void deactivate() override;

  /// Smooths the path in place, keeping its header (copied into every pose). Paths of two
  /// poses or fewer come back unchanged. The number of sweeps is fixed by `max_iterations`,
  /// so the time limit is not consulted and the result is always complete.
  /// @return true
  /// @throw nav2_core::PlannerException, by value, when the path cannot be smoothed (a pose
  ///        that is not finite, say); std::runtime_error "Costmap is not available" before
  ///        the first costmap.
  bool smooth(nav_msgs::msg::Path& path, const rclcpp::Duration& max_time) override;

 private:
  /// A PathSmoother on `map` with this plugin's options read from the node.
  std::unique_ptr<PathSmoother> makeSmoother(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map);

  std::string name_;
  rclcpp::Logger logger_{rclcpp::get_logger("GradientSmoother")};
  rclcpp_lifecycle::LifecycleNode::WeakPtr node_;
  std::shared_ptr<nav2_costmap_2d::CostmapSubscriber> costmap_sub_;
  GridMapCache grid_maps_;
  // PathSmoother is bound to one grid map; a new map gets a new smoother.
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> smoother_map_;
  std::unique_ptr<PathSmoother> smoother_;
};

}  // namespace orvik_nav2_plugins
