// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_plan/plan_model.hpp"
#include "orvik_plan/post_config.hpp"

namespace orvik_plan {

/// What every post-processing step needs besides the paths.
struct PostContext {
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map;
  /// The robot's pose and velocity at the start of the first path.
  geometry_msgs::msg::PoseStamped start;
  geometry_msgs::msg::Twist velocity;
};

/// Longest path a post-processing step takes on: 1 km at 5 cm cells, far beyond any route a
/// robot drives in one go, and bounded so that no input keeps a step busy for hours. A longer
/// path is kept as it was, with a note naming the limit.
constexpr std::size_t kMaxPostPathPoses = 20000;

/// The note for a path the step leaves alone because of kMaxPostPathPoses; empty when it is
/// short enough.
inline std::string tooLongForStep(const PathRecord& path, const std::string& step) {
  if (path.poses.size() <= kMaxPostPathPoses) {
    return "";
  }
  return path.role + ": " + std::to_string(path.poses.size()) + " poses, more than the " + step +
         " step's limit of " + std::to_string(kMaxPostPathPoses) + "; kept as it was";
}

// Each step works on every path of the route separately and returns the new route. Only the
// steps whose library is part of the build are defined.

/// PathSmoother with the gradient_smoother parameters.
StepOutcome runGradientStep(const PostConfig& config, const PostContext& context,
                            const std::vector<PathRecord>& paths);
/// DouglasPeuker analysis, then the cut at sunny.corner_index where that corner exists.
StepOutcome runSunnyStep(const PostConfig& config, const PostContext& context,
                         const std::vector<PathRecord>& paths);
/// OrvikConstrainedSmoother with the constrained_smoother parameters.
/// @throw ToolError when the parameters are refused by the smoother.
StepOutcome runConstrainedStep(const PostConfig& config, const PostContext& context,
                               const std::vector<PathRecord>& paths);

}  // namespace orvik_plan
