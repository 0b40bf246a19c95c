// SPDX-License-Identifier: Apache-2.0
#include <chrono>
#include <cmath>
#include <stdexcept>

#include "nav2_core/exceptions.hpp"
#include "orvik_nav2_planner/orvik_constrained_smoother.hpp"
#include "orvik_plan/post_steps.hpp"
#include "orvik_plan/tool_error.hpp"
#include "rclcpp/exceptions.hpp"

namespace orvik_plan {

StepOutcome runConstrainedStep(const PostConfig& config, const PostContext& context,
                               const std::vector<PathRecord>& paths) {
  StepOutcome outcome;
  outcome.name = "constrained";
  outcome.time_limit = TimeLimitRecord{config.constrained_max_time, false, {}};
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>(
      "orvik_plan", rclcpp::NodeOptions().parameter_overrides(config.constrained_parameters));
  orvik_nav2_planner::OrvikConstrainedSmoother smoother;
  try {
    smoother.configure(node, "constrained_smoother");
  } catch (const rclcpp::exceptions::InvalidParameterTypeException& e) {
    throw ToolError(std::string("constrained_smoother: ") + e.what());
  } catch (const std::runtime_error& e) {
    throw ToolError(std::string("constrained_smoother: ") + e.what());
  }
  const auto costmap = context.map->getMultiGridMap()->getCostmap();
  for (const PathRecord& in : paths) {
    if (const std::string note = tooLongForStep(in, "constrained"); !note.empty()) {
      outcome.ok = false;
      outcome.notes.push_back(note);
      outcome.paths.push_back(in);
      continue;
    }
    nav_msgs::msg::Path path;
    path.header.frame_id = context.map->getGlobalFrame();
    path.poses = in.poses;
    // Grid paths carry no headings between their ends, and the smoother reads the driving
    // direction from them: give each pose the heading towards the next, as a planner plugin
    // would. The last pose keeps its heading (written yaw-only: a cut pose carries the turning
    // angle in its x component).
    if (!path.poses.empty()) {
      auto& last = path.poses.back().pose.orientation;
      const double last_yaw = 2.0 * std::atan2(last.z, last.w);
      orientAlongPath(path.poses);
      path.poses.back().pose.orientation = yawToQuaternion(last_yaw);
    }
    PathRecord out = in;
    const auto begin = std::chrono::steady_clock::now();
    try {
      smoother.smooth(costmap, path, rclcpp::Duration::from_seconds(config.constrained_max_time));
      out.poses = path.poses;
    } catch (nav2_core::PlannerException* e) {
      outcome.ok = false;
      outcome.notes.push_back(in.role + ": " + e->what() + "; kept as it was");
      delete e;
    } catch (const std::exception& e) {
      outcome.ok = false;
      outcome.notes.push_back(in.role + ": " + e.what() + "; kept as it was");
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    // Ceres checks its time limit between iterations and stops once it has passed: a solve that
    // ended earlier was bounded by its iterations or converged, the same on any machine.
    if (seconds >= config.constrained_max_time) {
      outcome.time_limit->reached = true;
      outcome.time_limit->cut_short.push_back(in.role);
      outcome.notes.push_back(in.role + ": stopped by the time limit (max_time " +
                              std::to_string(config.constrained_max_time) +
                              " s): the result depends on the machine's speed");
    }
    outcome.paths.push_back(std::move(out));
  }
  return outcome;
}

}  // namespace orvik_plan
