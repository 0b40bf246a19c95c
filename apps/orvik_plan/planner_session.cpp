// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/planner_session.hpp"

#include "orvik_plan/tool_error.hpp"

#include "orvik_plan/astar2_runner.hpp"
#include "orvik_plan/astar_options_yaml.hpp"
#include "orvik_plan/legacy_runner.hpp"

namespace orvik_plan {

struct PlannerSession::Impl {
  std::string planner;
  Astar2Options astar_options;
  std::unique_ptr<Astar2Runner> astar;
  LegacyOptions legacy_options;
  std::unique_ptr<LegacyRunner> legacy;
};

PlannerSession::PlannerSession(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map,
                               const std::string& planner, const std::string& options_yaml,
                               const std::string& reference_file)
    : impl_(std::make_unique<Impl>()) {
  impl_->planner = planner;
  const std::string frame = map->getGlobalFrame();
  if (planner == "astar2") {
    impl_->astar_options = loadAstar2Options(options_yaml, reference_file, frame);
    impl_->astar = std::make_unique<Astar2Runner>(map);
    return;
  }
  if (planner == "legacy") {
    impl_->legacy_options = loadLegacyOptions(options_yaml, reference_file, frame);
    impl_->legacy = std::make_unique<LegacyRunner>(map);
    return;
  }
  throw ToolError("planner '" + planner + "' is not available in this build");
}

PlannerSession::~PlannerSession() = default;

PlanOutcome PlannerSession::run(const std::string& request,
                                const geometry_msgs::msg::PoseStamped& start,
                                const std::optional<geometry_msgs::msg::PoseStamped>& goal,
                                bool keep_trace) {
  if (impl_->astar) {
    return impl_->astar->run(request, start, goal, impl_->astar_options.options, keep_trace);
  }
  if (impl_->legacy && goal) {
    return impl_->legacy->run(start, *goal, impl_->legacy_options);
  }
  throw ToolError("no planner for this request");
}

nlohmann::json PlannerSession::optionsJson() const {
  if (impl_->astar) {
    return astar2OptionsToJson(impl_->astar_options);
  }
  if (impl_->legacy) {
    return legacyOptionsToJson(impl_->legacy_options);
  }
  return nlohmann::json::object();
}

geometry_msgs::msg::Twist PlannerSession::velocity() const {
  geometry_msgs::msg::Twist twist;
  if (impl_->astar) {
    twist.linear.x = impl_->astar_options.options.linear_velocity;
    twist.angular.z = impl_->astar_options.options.angular_velocity;
  }
  return twist;
}

}  // namespace orvik_plan
