// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_plugins/gradient_smoother.hpp"

#include <cmath>
#include <stdexcept>
#include <utility>

#include "geometry_msgs/msg/twist.hpp"
#include "nav2_core/exceptions.hpp"
#include "pluginlib/class_list_macros.hpp"

namespace orvik_nav2_plugins {

namespace {

bool isFinite(const geometry_msgs::msg::PoseStamped& pose) {
  const auto& p = pose.pose.position;
  const auto& q = pose.pose.orientation;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

/// PathSmoother needs a map to exist; configure only wants its options declared and checked,
/// before the first costmap has arrived. One free cell does for that.
std::shared_ptr<orvik_nav2_gridmap::GridMapROS> placeholderMap() {
  const nav2_costmap_2d::Costmap2D one_cell(1, 1, 0.05, 0.0, 0.0);
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(one_cell,
                                                          orvik_nav2_gridmap::GridMapConfig{});
}

}  // namespace

void GradientSmoother::configure(
    const rclcpp_lifecycle::LifecycleNode::WeakPtr& parent, std::string name,
    std::shared_ptr<tf2_ros::Buffer> /*tf*/,
    std::shared_ptr<nav2_costmap_2d::CostmapSubscriber> costmap_sub,
    std::shared_ptr<nav2_costmap_2d::FootprintSubscriber> /*footprint_sub*/) {
  auto node = parent.lock();
  if (!node) {
    throw std::runtime_error("Unable to lock node!");
  }
  node_ = parent;
  name_ = std::move(name);
  logger_ = node->get_logger();
  costmap_sub_ = std::move(costmap_sub);
  // Declares and checks the options now, as Nav2 plugins do, rather than at the first path.
  makeSmoother(placeholderMap());
  RCLCPP_INFO(logger_, "Configured %s of type orvik_nav2_plugins::GradientSmoother", name_.c_str());
}

std::unique_ptr<PathSmoother> GradientSmoother::makeSmoother(
    std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map) {
  auto smoother = std::make_unique<PathSmoother>(node_, std::move(map));
  smoother->config(node_, name_);
  return smoother;
}

void GradientSmoother::cleanup() {
  RCLCPP_INFO(logger_, "Cleaning up %s of type orvik_nav2_plugins::GradientSmoother",
              name_.c_str());
  smoother_.reset();
  smoother_map_.reset();
  grid_maps_.clear();
}

void GradientSmoother::activate() {
  RCLCPP_INFO(logger_, "Activating %s of type orvik_nav2_plugins::GradientSmoother", name_.c_str());
}

void GradientSmoother::deactivate() {
  RCLCPP_INFO(logger_, "Deactivating %s of type orvik_nav2_plugins::GradientSmoother",
              name_.c_str());
}

bool GradientSmoother::smooth(nav_msgs::msg::Path& path, const rclcpp::Duration& /*max_time*/) {
  if (!costmap_sub_) {
    throw nav2_core::PlannerException("GradientSmoother " + name_ + " is not configured");
  }
  for (const auto& pose : path.poses) {
    if (!isFinite(pose)) {
      throw nav2_core::PlannerException("GradientSmoother " + name_ +
                                        ": the path has a pose that is not finite");
    }
  }
  if (path.poses.size() <= 2) {
    return true;
  }

  auto costmap = costmap_sub_->getCostmap();
  orvik_nav2_gridmap::GridMapConfig config;
  config.global_frame = path.header.frame_id;
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map;
  try {
    map = grid_maps_.update(*costmap, config);
  } catch (const std::invalid_argument& error) {
    throw nav2_core::PlannerException("GradientSmoother " + name_ +
                                      ": cannot use the costmap: " + error.what());
  }
  if (map != smoother_map_ || !smoother_) {
    smoother_ = makeSmoother(map);
    smoother_map_ = map;
  }

  smoother_->setOriginalPath(path);
  smoother_->setCurrentData(path.poses.front(), geometry_msgs::msg::Twist());
  smoother_->smoothPath();
  nav_msgs::msg::Path smoothed;
  if (!smoother_->getSmoothedNavPath(smoothed)) {
    throw nav2_core::PlannerException("GradientSmoother " + name_ +
                                      ": the path is too long or too far out to resample");
  }
  smoothed.header = path.header;
  for (auto& pose : smoothed.poses) {
    pose.header = path.header;
  }
  path = std::move(smoothed);
  return true;
}

}  // namespace orvik_nav2_plugins

PLUGINLIB_EXPORT_CLASS(orvik_nav2_plugins::GradientSmoother, nav2_core::Smoother)
