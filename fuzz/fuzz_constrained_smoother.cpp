// SPDX-License-Identifier: Apache-2.0
// OrvikConstrainedSmoother: arbitrary paths, tuning and time limits on small costmaps. The
// wrapper reports failure only by throwing nav2_core::PlannerException by pointer (and
// std::runtime_error from configure for invalid parameters); anything else escaping, or a
// non-finite smoothed pose, is a finding.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "fuzz_support.hpp"
#include "nav2_core/exceptions.hpp"
#include "nav_msgs/msg/path.hpp"
#include "orvik_nav2_planner/orvik_constrained_smoother.hpp"
#include "rclcpp/duration.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace {

using orvik_fuzz::awkwardDouble;

constexpr char kName[] = "constrained";

std::shared_ptr<rclcpp_lifecycle::LifecycleNode> fuzzedNode(FuzzedDataProvider& input) {
  const std::string prefix = std::string(kName) + ".";
  std::vector<rclcpp::Parameter> overrides;
  for (const char* key : {"minimum_turning_radius", "w_curve", "w_cost", "w_cost_cusp_multiplier",
                          "cusp_zone_length", "w_dist", "w_smooth"}) {
    if (input.ConsumeBool()) {
      overrides.emplace_back(prefix + key, awkwardDouble(input, -1.0, 50.0));
    }
  }
  if (input.ConsumeBool()) {
    std::vector<double> points(static_cast<size_t>(input.ConsumeIntegralInRange<int>(0, 3)) * 3);
    for (double& value : points) {
      value = awkwardDouble(input, -1.0, 1.0);
    }
    overrides.emplace_back(prefix + "cost_check_points", points);
  }
  overrides.emplace_back(prefix + "path_downsampling_factor",
                         input.ConsumeIntegralInRange<int>(-1, 4));
  overrides.emplace_back(prefix + "path_upsampling_factor",
                         input.ConsumeIntegralInRange<int>(-1, 3));
  overrides.emplace_back(prefix + "reversing_enabled", input.ConsumeBool());
  overrides.emplace_back(prefix + "keep_goal_orientation", input.ConsumeBool());
  overrides.emplace_back(prefix + "keep_start_orientation", input.ConsumeBool());
  if (input.ConsumeBool()) {
    overrides.emplace_back(
        prefix + "optimizer.linear_solver_type",
        std::string(input.ConsumeBool() ? "DENSE_QR" : "SPARSE_NORMAL_CHOLESKY"));
  }
  for (const char* key : {"optimizer.param_tol", "optimizer.fn_tol", "optimizer.gradient_tol"}) {
    if (input.ConsumeBool()) {
      overrides.emplace_back(prefix + key, awkwardDouble(input, 0.0, 1e-3));
    }
  }
  // The iteration limit is the caller's time budget; a small one keeps runs fast.
  overrides.emplace_back(prefix + "optimizer.max_iterations",
                         input.ConsumeIntegralInRange<int>(-1, 30));
  if (std::getenv("ORVIK_FUZZ_VERBOSE") != nullptr) {
    for (const auto& parameter : overrides) {
      std::fprintf(stderr, "parameter %s = %s\n", parameter.get_name().c_str(),
                   parameter.value_to_string().c_str());
    }
  }
  rclcpp::NodeOptions options;
  options.parameter_overrides(overrides);
  return std::make_shared<rclcpp_lifecycle::LifecycleNode>("fuzz_constrained", options);
}

nav_msgs::msg::Path fuzzedPath(FuzzedDataProvider& input,
                               const nav2_costmap_2d::Costmap2D& costmap) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  const int count = input.ConsumeIntegralInRange<int>(0, 30);
  for (int i = 0; i < count; ++i) {
    auto pose = orvik_fuzz::awkwardPose(input, costmap);
    pose.header.stamp.sec = i;
    path.poses.push_back(pose);
  }
  return path;
}

/// Whether the smoother can use the path: it reads x, y and the yaw of each pose.
bool allFinite(const nav_msgs::msg::Path& path) {
  for (const auto& stamped : path.poses) {
    const auto& pose = stamped.pose;
    if (!std::isfinite(pose.position.x) || !std::isfinite(pose.position.y) ||
        !std::isfinite(tf2::getYaw(pose.orientation))) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvik_fuzz::quietLogging();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  auto costmap = std::make_shared<nav2_costmap_2d::Costmap2D>(orvik_fuzz::smallCostmap(input, 30));
  if (input.ConsumeIntegralInRange<int>(0, 15) == 0) {
    costmap.reset();
  }
  const auto node = fuzzedNode(input);
  orvik_nav2_planner::OrvikConstrainedSmoother smoother;
  if (input.ConsumeIntegralInRange<int>(0, 15) != 0) {
    try {
      smoother.configure(node, kName);
    } catch (const std::runtime_error& error) {
      // Documented refusals of invalid parameters; the smoother must then refuse to run.
    }
  }
  nav_msgs::msg::Path path = fuzzedPath(input, costmap ? *costmap : nav2_costmap_2d::Costmap2D());
  const nav_msgs::msg::Path original = path;
  if (std::getenv("ORVIK_FUZZ_VERBOSE") != nullptr) {
    for (const auto& stamped : path.poses) {
      const auto& pose = stamped.pose;
      std::fprintf(stderr, "pose %.17g %.17g yaw %.17g\n", pose.position.x, pose.position.y,
                   tf2::getYaw(pose.orientation));
    }
  }
  const rclcpp::Duration max_time =
      rclcpp::Duration::from_seconds(input.ConsumeFloatingPointInRange(-0.01, 0.05));
  try {
    ORVIK_FUZZ_CHECK(smoother.smooth(costmap, path, max_time), "smooth returned false");
  } catch (nav2_core::PlannerException* error) {
    delete error;
    ORVIK_FUZZ_CHECK(orvik_fuzz::samePoses(path.poses, original.poses),
                     "a failed smooth changed the path");
    return 0;
  }
  if (original.poses.size() < 2) {
    ORVIK_FUZZ_CHECK(orvik_fuzz::samePoses(path.poses, original.poses),
                     "a path of %zu poses was changed", original.poses.size());
    return 0;
  }
  ORVIK_FUZZ_CHECK(allFinite(original), "a path with non-finite poses was smoothed");
  ORVIK_FUZZ_CHECK(!path.poses.empty(), "smoothing lost every pose");
  for (const auto& pose : path.poses) {
    ORVIK_FUZZ_CHECK(orvik_fuzz::isFinitePose(pose), "the smoothed path has non-finite poses");
  }
  for (const auto& pose : path.poses) {
    ORVIK_FUZZ_CHECK(pose.header == original.poses.front().header,
                     "a smoothed pose lacks the first pose's header");
  }
  return 0;
}
