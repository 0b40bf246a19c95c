// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "nav2_core/smoother.hpp"
#include "orvik_nav2_planner/orvik_constrained_smoother.hpp"

namespace orvik_nav2_plugins {

/// The constrained smoother wrapper (OrvikConstrainedSmoother) as a Nav2 smoother. Its options
/// are the wrapper's, under `<name>.` and `<name>.optimizer.`.
class ConstrainedSmoother : public nav2_core::Smoother {
 public:
  ConstrainedSmoother() = default;
  ~ConstrainedSmoother() override = default;

  /// @throw as OrvikConstrainedSmoother::configure.
  void configure(const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent, std::string name,
                 std::shared_ptr<tf2_ros::Buffer> tf,
                 std::shared_ptr<nav2_costmap_2d::CostmapSubscriber> costmap_sub,
                 std::shared_ptr<nav2_costmap_2d::FootprintSubscriber> footprint_sub) override;
  void cleanup() override;
  void activate() override;
  void deactivate() override;

  /// Smooths the path in place on the latest costmap.
  /// @return true whenever it returns
  /// @throw nav2_core::PlannerException by value, carrying the wrapper's reason. The wrapper
  ///        throws it by pointer, which no handler in smoother_server catches (the action would
  ///        hang), so this catches the pointer, frees it and throws a copy by value.
  ///        std::runtime_error "Costmap is not available" before the first costmap.
  bool smooth(nav_msgs::msg::Path& path, const rclcpp::Duration& max_time) override;

 private:
  std::string name_;
  rclcpp::Logger logger_{rclcpp::get_logger("ConstrainedSmoother")};
  std::shared_ptr<nav2_costmap_2d::CostmapSubscriber> costmap_sub_;
  std::unique_ptr<orvik_nav2_planner::OrvikConstrainedSmoother> smoother_;
};

}  // namespace orvik_nav2_plugins
