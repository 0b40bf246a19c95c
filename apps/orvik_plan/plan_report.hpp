// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orvik_plan/plan_arguments.hpp"
#include "orvik_plan/plan_model.hpp"

namespace orvik_plan {

/// Geometry of the map a run used.
struct MapInfo {
  std::string source;
  std::string frame{"map"};
  unsigned int size_x{0};
  unsigned int size_y{0};
  double resolution{0.0};
  double origin_x{0.0};
  double origin_y{0.0};
};

/// Everything one planning run produced, as written to the summary, the JSON and the CSV.
struct PlanReport {
  PlanArguments arguments;
  MapInfo map;
  geometry_msgs::msg::PoseStamped start;
  std::optional<geometry_msgs::msg::PoseStamped> goal;
  /// The options as the planner received them (field name to value).
  nlohmann::json options;
  PlanOutcome outcome;
  std::vector<StepOutcome> steps;
  /// The route after the last step (the planner's paths when there is no step).
  std::vector<PathRecord> final_paths;
  std::string json_file;
  std::string csv_file;
  std::string png_file;
  int png_scale{0};
  /// Why the picture was drawn smaller than asked or skipped; empty when it was not.
  std::string png_note;
};

nlohmann::json poseToJson(const geometry_msgs::msg::PoseStamped& pose);
nlohmann::json pathToJson(const PathRecord& path);
nlohmann::json reportToJson(const PlanReport& report);

/// Writes text to a file atomically (writeFileAtomically), creating its folder.
/// @throw ToolError with kExitOutputFailed when it cannot be written.
void writeTextFile(const std::string& path, const std::string& text);

/// One line per pose: path index, role, pose index, x, y, yaw.
std::string pathsToCsv(const std::vector<PathRecord>& paths);

/// The one-screen summary printed after a run.
std::string summaryText(const PlanReport& report);

}  // namespace orvik_plan
