// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_plugins/constrained_smoother.hpp"

#include <utility>

#include "nav2_core/exceptions.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace orvik_nav2_plugins {

void ConstrainedSmoother::configure(
    const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent, std::string name,
    std::shared_ptr<tf2_ros::Buffer> /*tf*/,
    std::shared_ptr<nav2_costmap_2d::CostmapSubscriber> costmap_sub,
    std::shared_ptr<nav2_costmap_2d::FootprintSubscriber> /*footprint_sub*/) {
  name_ = std::move(name);
  if (auto node = parent.lock()) {
    logger_ = node->get_logger();
  }
  costmap_sub_ = std::move(costmap_sub);
  auto smoother = std::make_unique<orvik_nav2_planner::OrvikConstrainedSmoother>();
  smoother->configure(parent, name_);
  smoother_ = std::move(smoother);
  RCLCPP_INFO(logger_, "Configured %s of type orvik_nav2_plugins::ConstrainedSmoother",
              name_.c_str());
}

void ConstrainedSmoother::cleanup() {
  RCLCPP_INFO(logger_, "Cleaning up %s of type orvik_nav2_plugins::ConstrainedSmoother",
              name_.c_str());
  smoother_.reset();
}

void ConstrainedSmoother::activate() {
  RCLCPP_INFO(logger_, "Activating %s of type orvik_nav2_plugins::ConstrainedSmoother",
              name_.c_str());
}

void ConstrainedSmoother::deactivate() {
  RCLCPP_INFO(logger_, "Deactivating %s of type orvik_nav2_plugins::ConstrainedSmoother",
              name_.c_str());
}

bool ConstrainedSmoother::smooth(nav_msgs::msg::Path& path, const rclcpp::Duration& max_time) {
  if (!smoother_ || !costmap_sub_) {
    throw nav2_core::PlannerException("ConstrainedSmoother " + name_ + " is not configured");
  }
  auto costmap = costmap_sub_->getCostmap();
  try {
    return smoother_->smooth(costmap, path, max_time);
  } catch (nav2_core::PlannerException* thrown) {
    const std::unique_ptr<nav2_core::PlannerException> owned(thrown);
    throw nav2_core::PlannerException("ConstrainedSmoother " + name_ + ": " + owned->what());
  }
}

}  // namespace orvik_nav2_plugins

PLUGINLIB_EXPORT_CLASS(orvik_nav2_plugins::ConstrainedSmoother, nav2_core::Smoother)
