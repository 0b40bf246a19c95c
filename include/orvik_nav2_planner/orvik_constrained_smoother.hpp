// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "nav2_constrained_smoother/options.hpp"
#include "nav2_constrained_smoother/smoother.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav_msgs/msg/path.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace orvik_nav2_planner {

/**
 * Smooths a planned path with Nav2's Ceres-based constrained smoother. Parameters are read from
 * the caller's lifecycle node under "<name>." (solver settings under "<name>.optimizer."); the
 * costmap is handed in on every call.
 *
 * Threads: one smoother per thread; an instance takes no locks and serves one request at a
 * time. The costmap handed in is only read and may be shared with other smoothers.
 */
class OrvikConstrainedSmoother {
 public:
  OrvikConstrainedSmoother();
  ~OrvikConstrainedSmoother();
  OrvikConstrainedSmoother(const OrvikConstrainedSmoother&) = delete;
  OrvikConstrainedSmoother& operator=(const OrvikConstrainedSmoother&) = delete;

  /**
   * Builds a fresh optimiser and (re)reads its parameters; may be called again to reconfigure.
   * @throw std::runtime_error "Unable to lock node!" when parent has expired, or
   *        "Invalid parameter: cost_check_points" / "Invalid parameter: linear_solver_type"
   * @throw rclcpp::exceptions::InvalidParameterTypeException on a parameter of the wrong type
   */
  void configure(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& parent, std::string name);

  /**
   * Replaces the poses of path by the smoothed ones, all with the first pose's header and a
   * yaw-only orientation. Paths of fewer than two poses are returned untouched.
   * @return true whenever it returns
   * @throw nav2_core::PlannerException* (allocated with new; the catcher deletes it) when Ceres
   *        finds no usable solution, or when the smoother is not configured, the costmap is null
   *        or empty, or a pose is not finite; path is then left as it was
   */
  bool smooth(std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap, nav_msgs::msg::Path& path,
              const rclcpp::Duration& max_time);

 private:
  /// Logs the reason and throws a new PlannerException when the request cannot be smoothed.
  void rejectUnusableRequest(const nav2_costmap_2d::Costmap2D* costmap,
                             const nav_msgs::msg::Path& path) const;

  std::string name_;
  rclcpp::Logger logger_{rclcpp::get_logger("OrvikConstrainedSmoother")};
  std::unique_ptr<nav2_constrained_smoother::Smoother> smoother_;
  nav2_constrained_smoother::SmootherParams smoother_params_;
  nav2_constrained_smoother::OptimizerParams optimizer_params_;
};

}  // namespace orvik_nav2_planner
