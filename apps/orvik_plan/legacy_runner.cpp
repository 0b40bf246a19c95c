// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/legacy_runner.hpp"

#include <chrono>
#include <cmath>

#include "orvik_plan/log_capture.hpp"
#include "orvik_plan/pose_text.hpp"
#include "orvik_plan/strict_yaml.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

LegacyOptions loadLegacyOptions(const std::string& yaml_path, const std::string& reference_file,
                                const std::string& frame) {
  LegacyOptions o;
  std::string file = reference_file;
  if (!yaml_path.empty()) {
    const YamlSection yaml = YamlSection::loadFile(yaml_path);
    yaml.requireOnlyKeys(
        {"cost_flag", "start_radius", "goal_radius", "danger_level", "path_constraint"});
    o.cost_flag = yaml.getBool("cost_flag").value_or(o.cost_flag);
    o.start_radius = yaml.getDouble("start_radius").value_or(o.start_radius);
    o.goal_radius = yaml.getDouble("goal_radius").value_or(o.goal_radius);
    o.danger_level = yaml.getInt("danger_level").value_or(o.danger_level);
    const YamlSection constraint = yaml.getSection("path_constraint");
    constraint.requireOnlyKeys({"file", "cost", "distance"});
    if (file.empty()) {
      file = constraint.getString("file").value_or("");
    }
    o.constraint.cost = constraint.getDouble("cost").value_or(0.0);
    o.constraint.distance = constraint.getDouble("distance").value_or(0.0);
    if (o.constraint.cost < 0.0 || o.constraint.distance < 0.0) {
      throw ToolError(yaml_path + ": path_constraint cost and distance must not be negative");
    }
  }
  if (!file.empty()) {
    o.has_constraint = true;
    o.constraint_file = file;
    o.constraint.path.header.frame_id = frame;
    o.constraint.path.poses = readPoseFile(file, frame);
  }
  return o;
}

nlohmann::json legacyOptionsToJson(const LegacyOptions& o) {
  nlohmann::json j = {{"cost_flag", o.cost_flag},
                      {"start_radius", o.start_radius},
                      {"goal_radius", o.goal_radius},
                      {"danger_level", o.danger_level}};
  if (o.has_constraint) {
    j["path_constraint"] = {{"file", o.constraint_file},
                            {"poses", o.constraint.path.poses.size()},
                            {"cost", o.constraint.cost},
                            {"distance", o.constraint.distance}};
  } else {
    j["path_constraint"] = nullptr;
  }
  return j;
}

LegacyRunner::LegacyRunner(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map)
    : map_(std::move(map)) {
  const auto costmap = map_->getMultiGridMap()->getCostmap();
  diagonal_m_ = std::hypot(costmap->getSizeInCellsX() * costmap->getResolution(),
                           costmap->getSizeInCellsY() * costmap->getResolution());
}

PlanOutcome LegacyRunner::run(const geometry_msgs::msg::PoseStamped& start,
                              const geometry_msgs::msg::PoseStamped& goal,
                              const LegacyOptions& options) {
  PlanOutcome outcome;
  LogCapture log;
  if (options.has_constraint) {
    planner_.setPathConstraint(start, options.constraint, map_);
  }
  nav_msgs::msg::Path path;
  const auto begin = std::chrono::steady_clock::now();
  // A radius beyond the map's diagonal searches the same cells; capping it keeps the window
  // arithmetic small.
  outcome.found = planner_.searchv2(
      map_, start, goal, path, options.cost_flag, std::min(options.start_radius, diagonal_m_),
      std::min(options.goal_radius, diagonal_m_), options.danger_level);
  const auto end = std::chrono::steady_clock::now();
  outcome.search_time_ms = std::chrono::duration<double, std::milli>(end - begin).count();
  outcome.nodes_expanded = planner_.closedNodes().size();
  outcome.nodes_opened = planner_.openNodes().size();
  // The legacy planner keeps no trace image; its node table shows the same thing.
  const auto costmap = map_->getMultiGridMap()->getCostmap();
  const int size_x = static_cast<int>(costmap->getSizeInCellsX());
  const int size_y = static_cast<int>(costmap->getSizeInCellsY());
  outcome.trace_codes = cv::Mat::zeros(size_y, size_x, CV_8UC1);
  for (const auto& entry : planner_.openNodes()) {
    const auto& node = entry.second;
    const int x = static_cast<int>(node->x);
    const int y = static_cast<int>(node->y);
    if (x >= 0 && y >= 0 && x < size_x && y < size_y) {
      outcome.trace_codes.at<uint8_t>(y, x) = 127;
    }
  }
  if (outcome.found) {
    outcome.paths.push_back({"direct", path.poses, std::nullopt});
  } else {
    std::string logged;
    for (const auto& line : log.lines()) {
      logged += (logged.empty() ? "" : "; ") + line;
    }
    outcome.reason = logged.empty() ? "the goal cannot be reached from the start"
                                    : "the planner reports: " + logged;
  }
  return outcome;
}

}  // namespace orvik_plan
