// SPDX-License-Identifier: Apache-2.0
#include <memory>

#include "nav_msgs/msg/path.hpp"
#include "orvik_nav2_planner/path_smoother.hpp"
#include "orvik_plan/post_steps.hpp"
#include "orvik_plan/tool_error.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace orvik_plan {

StepOutcome runGradientStep(const PostConfig& config, const PostContext& context,
                            const std::vector<PathRecord>& paths) {
  StepOutcome outcome;
  outcome.name = "gradient";
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
      "orvik_plan", rclcpp::NodeOptions().parameter_overrides(config.gradient_parameters));
  std::unique_ptr<PathSmoother> smoother;
  try {
    smoother = std::make_unique<PathSmoother>(node, context.map);
  } catch (const rclcpp::exceptions::InvalidParameterTypeException& e) {
    throw ToolError(std::string("gradient_smoother: ") + e.what());
  }
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const PathRecord& in = paths[i];
    if (const std::string note = tooLongForStep(in, "gradient"); !note.empty()) {
      outcome.ok = false;
      outcome.notes.push_back(note);
      outcome.paths.push_back(in);
      continue;
    }
    nav_msgs::msg::Path input;
    input.header.frame_id = context.map->getGlobalFrame();
    input.poses = in.poses;
    smoother->setOriginalPath(input);
    // Later legs start from standstill at their first pose.
    geometry_msgs::msg::PoseStamped pose =
        i == 0 || in.poses.empty() ? context.start : in.poses.front();
    geometry_msgs::msg::Twist velocity = i == 0 ? context.velocity : geometry_msgs::msg::Twist();
    smoother->setCurrentData(pose, velocity);
    smoother->smoothPath();
    nav_msgs::msg::Path output;
    output.header = input.header;
    PathRecord out{in.role, in.poses, in.flags};
    if (smoother->getSmoothedNavPath(output)) {
      out.poses = output.poses;
      for (auto& p : out.poses) {
        p.header.frame_id = input.header.frame_id;
      }
    } else {
      outcome.ok = false;
      outcome.notes.push_back(in.role + ": the smoother returned no path; kept as it was");
    }
    outcome.paths.push_back(std::move(out));
  }
  return outcome;
}

}  // namespace orvik_plan
