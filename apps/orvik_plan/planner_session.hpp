// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "geometry_msgs/msg/twist.hpp"

#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_plan/plan_model.hpp"

namespace orvik_plan {

/// One planner of the build, with its options read, ready to answer requests on one map.
class PlannerSession {
 public:
  /// @param planner "astar2" or "legacy"; @param options_yaml and @param reference_file as on
  ///        the command line (either may be empty).
  /// @throw ToolError for a planner this build lacks, or options it cannot read.
  PlannerSession(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map, const std::string& planner,
                 const std::string& options_yaml, const std::string& reference_file);
  ~PlannerSession();
  PlannerSession(const PlannerSession&) = delete;
  PlannerSession& operator=(const PlannerSession&) = delete;

  /// Runs one request; `keep_trace` false skips gathering the trace image (batch mode).
  PlanOutcome run(const std::string& request, const geometry_msgs::msg::PoseStamped& start,
                  const std::optional<geometry_msgs::msg::PoseStamped>& goal, bool keep_trace);

  /// The options as the planner receives them, by field name.
  nlohmann::json optionsJson() const;
  /// Current velocity given in the options (zero for the legacy planner).
  geometry_msgs::msg::Twist velocity() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvik_plan
