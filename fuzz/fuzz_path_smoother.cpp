// SPDX-License-Identifier: Apache-2.0
// Gradient PathSmoother: arbitrary paths, robot states and tuning (node parameters and the
// direct config) on small maps, through the whole request: setOriginalPath, setCurrentData,
// smoothPath, getSmoothedNavPath.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav_msgs/msg/path.hpp"
#include "orvik_nav2_planner/path_smoother.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace {

using orvik_fuzz::awkwardDouble;

std::shared_ptr<rclcpp_lifecycle::LifecycleNode> fuzzedNode(FuzzedDataProvider& input) {
  std::vector<rclcpp::Parameter> overrides;
  if (input.ConsumeBool()) {
    overrides.emplace_back("gradient_smoother.min_turn_radius", awkwardDouble(input, -1.0, 3.0));
  }
  if (input.ConsumeBool()) {
    overrides.emplace_back("gradient_smoother.max_obstacle_dis", awkwardDouble(input, -1.0, 2.0));
  }
  if (input.ConsumeBool()) {
    overrides.emplace_back("gradient_smoother.priority_passage_obs_scale",
                           awkwardDouble(input, -1.0, 2.0));
  }
  if (input.ConsumeBool()) {
    overrides.emplace_back("gradient_smoother.priority_passage_smooth_scale",
                           awkwardDouble(input, -1.0, 2.0));
  }
  // The sweep count is the caller's time budget; keep it small enough for many runs a second.
  overrides.emplace_back("gradient_smoother.max_iterations",
                         input.ConsumeIntegralInRange<int>(-2, 40));
  rclcpp::NodeOptions options;
  options.parameter_overrides(overrides);
  return std::make_shared<rclcpp_lifecycle::LifecycleNode>("fuzz_smoother", options);
}

nav_msgs::msg::Path fuzzedPath(FuzzedDataProvider& input,
                               const nav2_costmap_2d::Costmap2D& costmap) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  const int count = input.ConsumeIntegralInRange<int>(0, 24);
  for (int i = 0; i < count; ++i) {
    path.poses.push_back(orvik_fuzz::awkwardPose(input, costmap));
  }
  return path;
}

/// Whether the smoother can use the path: it reads x, y and the yaw (from z and w only).
bool allFinite(const nav_msgs::msg::Path& path) {
  for (const auto& stamped : path.poses) {
    const auto& pose = stamped.pose;
    const double yaw = std::atan2(2.0 * pose.orientation.w * pose.orientation.z,
                                  1.0 - 2.0 * pose.orientation.z * pose.orientation.z);
    if (!std::isfinite(pose.position.x) || !std::isfinite(pose.position.y) || !std::isfinite(yaw)) {
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
  const auto map = orvik_fuzz::smallGridMap(input, 24);
  if (!map) {
    return 0;
  }
  const nav2_costmap_2d::Costmap2D costmap = *map->getMultiGridMap()->getCostmap();
  const auto node = fuzzedNode(input);
  PathSmoother smoother(node, map);
  if (input.ConsumeBool()) {
    // Resample steps below a centimetre only multiply the work per run.
    smoother.config(awkwardDouble(input, -1.0, 2.0), awkwardDouble(input, -1.0, 2.0),
                    awkwardDouble(input, -1.0, 1.0), awkwardDouble(input, -1.0, 3.0),
                    awkwardDouble(input, -1.0, 2.0), awkwardDouble(input, -1.0, 200.0),
                    input.ConsumeBool() ? awkwardDouble(input, 0.01, 0.5)
                                        : input.ConsumeFloatingPointInRange(0.01, 0.5));
  }

  const nav_msgs::msg::Path original = fuzzedPath(input, costmap);
  smoother.setOriginalPath(original);
  geometry_msgs::msg::Twist velocity;
  velocity.linear.x = awkwardDouble(input, -1.0, 1.5);
  velocity.angular.z = awkwardDouble(input, -2.0, 2.0);
  smoother.setCurrentData(orvik_fuzz::awkwardPose(input, costmap), velocity);
  smoother.smoothPath();

  nav_msgs::msg::Path result;
  result.header.frame_id = "untouched";
  result.poses.resize(1);
  const nav_msgs::msg::Path sentinel = result;
  const bool written = smoother.getSmoothedNavPath(result);
  if (original.poses.size() <= 2) {
    ORVIK_FUZZ_CHECK(written && result.header == original.header &&
                         orvik_fuzz::samePoses(result.poses, original.poses),
                     "a path of %zu poses must come back as it was", original.poses.size());
    return 0;
  }
  if (!written) {
    ORVIK_FUZZ_CHECK(
        result.header == sentinel.header && orvik_fuzz::samePoses(result.poses, sentinel.poses),
        "false but the output path was changed");
    return 0;
  }
  ORVIK_FUZZ_CHECK(allFinite(original), "a path with non-finite poses was smoothed");
  ORVIK_FUZZ_CHECK(allFinite(result), "the smoothed path has non-finite poses");
  ORVIK_FUZZ_CHECK(result.poses.size() <= smoother.getSmoothedPath().size(),
                   "more output poses (%zu) than smoothed points (%zu)", result.poses.size(),
                   smoother.getSmoothedPath().size());
  ORVIK_FUZZ_CHECK(smoother.getSmoothedPath().size() == smoother.getResampledPath().size(),
                   "smoothing changed the point count");
  // Smoothing never moves the ends of the resampled path.
  if (!smoother.getSmoothedPath().empty()) {
    const Pose2d& first_in = smoother.getResampledPath().front();
    const Pose2d& first_out = smoother.getSmoothedPath().front();
    const Pose2d& last_in = smoother.getResampledPath().back();
    const Pose2d& last_out = smoother.getSmoothedPath().back();
    ORVIK_FUZZ_CHECK(first_in.x == first_out.x && first_in.y == first_out.y &&
                         last_in.x == last_out.x && last_in.y == last_out.y,
                     "smoothing moved an end of the path");
  }
  return 0;
}
