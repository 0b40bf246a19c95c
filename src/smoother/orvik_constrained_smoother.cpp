// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/orvik_constrained_smoother.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

#include "Eigen/Core"
#include "nav2_core/exceptions.hpp"
#include "orvik/logger.hpp"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace orvik_nav2_planner {

OrvikConstrainedSmoother::OrvikConstrainedSmoother() = default;

OrvikConstrainedSmoother::~OrvikConstrainedSmoother() = default;

void OrvikConstrainedSmoother::configure(
    const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& parent, std::string name) {
  auto node = parent.lock();
  if (!node) {
    throw std::runtime_error("Unable to lock node!");
  }

  name_ = std::move(name);
  logger_ = node->get_logger();

  smoother_ = std::make_unique<nav2_constrained_smoother::Smoother>();
  optimizer_params_.get(node.get(), name_);
  smoother_params_.get(node.get(), name_);
  smoother_->initialize(optimizer_params_);
}

bool OrvikConstrainedSmoother::smooth(std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap,
                                      nav_msgs::msg::Path& path, const rclcpp::Duration& max_time) {
  if (path.poses.size() < 2) {
    return true;
  }
  rejectUnusableRequest(costmap.get(), path);

  std::vector<Eigen::Vector3d> path_world;
  path_world.reserve(path.poses.size());
  Eigen::Vector2d start_dir;
  Eigen::Vector2d end_dir;
  for (size_t i = 0; i < path.poses.size(); i++) {
    const auto& pose = path.poses[i].pose;
    const double yaw = tf2::getYaw(pose.orientation);
    const Eigen::Vector2d orientation(std::cos(yaw), std::sin(yaw));
    if (i + 1 == path.poses.size()) {
      // The goal keeps the direction of travel that reached it.
      path_world.emplace_back(pose.position.x, pose.position.y, path_world.back()[2]);
      end_dir = orientation;
      break;
    }
    const auto& next_position = path.poses[i + 1].pose.position;
    const Eigen::Vector2d to_next(next_position.x - pose.position.x,
                                  next_position.y - pose.position.y);
    const bool reversing = smoother_params_.reversing_enabled && orientation.dot(to_next) < 0;
    path_world.emplace_back(pose.position.x, pose.position.y, reversing ? -1 : 1);
    if (i == 0) {
      start_dir = orientation;
    } else if (i == 1 && !smoother_params_.keep_start_orientation) {
      // A free start heading must not turn the first step into a cusp.
      path_world[0][2] = path_world[1][2];
    }
  }

  smoother_params_.max_time = max_time.seconds();

  // Poses far out (1e300 m) overflow the residuals; the solver may then stop on non-finite
  // positions and still report success. Such a result is no usable solution either.
  if (!smoother_->smooth(path_world, start_dir, end_dir, costmap.get(), smoother_params_) ||
      !std::all_of(path_world.begin(), path_world.end(),
                   [](const Eigen::Vector3d& point) { return point.allFinite(); })) {
    ORVIK_WARN("{}: failed to smooth plan, Ceres could not find a usable solution to optimize.",
               name_);
    // Thrown by pointer as Nav2's constrained smoother plugin does; callers catch the pointer.
    throw new nav2_core::PlannerException(
        "Failed to smooth plan, Ceres could not find a usable solution.");
  }

  const std_msgs::msg::Header header = path.poses.front().header;
  path.poses.clear();
  path.poses.reserve(path_world.size());
  for (const Eigen::Vector3d& point : path_world) {
    geometry_msgs::msg::PoseStamped pose;
    pose.header = header;
    pose.pose.position.x = point[0];
    pose.pose.position.y = point[1];
    pose.pose.position.z = 0.0;
    pose.pose.orientation.x = 0.0;
    pose.pose.orientation.y = 0.0;
    pose.pose.orientation.z = std::sin(point[2] / 2);
    pose.pose.orientation.w = std::cos(point[2] / 2);
    path.poses.push_back(pose);
  }
  return true;
}

void OrvikConstrainedSmoother::rejectUnusableRequest(const nav2_costmap_2d::Costmap2D* costmap,
                                                     const nav_msgs::msg::Path& path) const {
  // Each of these would crash or feed undefined values into the optimiser; they are reported
  // through the same exception as a failed solve, which callers already handle.
  if (!smoother_) {
    ORVIK_ERROR("{}: cannot smooth plan, the smoother is not configured.", name_);
    throw new nav2_core::PlannerException("Failed to smooth plan, the smoother is not configured.");
  }
  if (costmap == nullptr || costmap->getSizeInCellsX() == 0 || costmap->getSizeInCellsY() == 0) {
    ORVIK_ERROR("{}: cannot smooth plan, the costmap is missing or has no cells.", name_);
    throw new nav2_core::PlannerException(
        "Failed to smooth plan, the costmap is missing or has no cells.");
  }
  for (size_t i = 0; i < path.poses.size(); i++) {
    const auto& pose = path.poses[i].pose;
    if (!std::isfinite(pose.position.x) || !std::isfinite(pose.position.y) ||
        !std::isfinite(tf2::getYaw(pose.orientation))) {
      ORVIK_ERROR("{}: cannot smooth plan, pose {} is not finite.", name_, i);
      throw new nav2_core::PlannerException("Failed to smooth plan, a pose is not finite.");
    }
  }
}

}  // namespace orvik_nav2_planner
