// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "orvik_plan/plan_model.hpp"

namespace orvik_plan {

/// Arguments of the legacy planner's searchv2 and its optional path constraint.
struct LegacyOptions {
  bool cost_flag{false};
  double start_radius{0.0};
  double goal_radius{0.0};
  int danger_level{0};
  bool has_constraint{false};
  orvik_nav2_planner::astar::PathConstraint constraint;
  std::string constraint_file;
};

/// Reads the legacy options YAML: cost_flag, start_radius, goal_radius, danger_level and
/// path_constraint (file, cost, distance); `reference_file` replaces the file in the YAML.
/// @throw ToolError for an unreadable file, an unknown key or a value of the wrong type.
LegacyOptions loadLegacyOptions(const std::string& yaml_path, const std::string& reference_file,
                                const std::string& frame);
nlohmann::json legacyOptionsToJson(const LegacyOptions& options);

/// Runs searchv2 of the legacy planner and reports it like the A* v2 runner does.
class LegacyRunner {
 public:
  explicit LegacyRunner(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map);
  PlanOutcome run(const geometry_msgs::msg::PoseStamped& start,
                  const geometry_msgs::msg::PoseStamped& goal, const LegacyOptions& options);

 private:
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  orvik_nav2_planner::astar::AstarPlanner planner_;
  double diagonal_m_{0.0};
};

}  // namespace orvik_plan
