// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/path_quality_report.hpp"

#include <cmath>
#include <cstdio>

namespace orvik_plan {

void measurePaths(const orvik_nav2_gridmap::GridMapROS& map, std::vector<PathRecord>& paths,
                  bool cost_flag) {
  for (auto& path : paths) {
    path.quality = orvik_path_quality::measurePathQuality(map, path.poses, cost_flag);
  }
}

namespace {

bool costFlagOf(const nlohmann::json& options) {
  const auto flag = options.find("cost_flag");
  return flag != options.end() && flag->is_boolean() && flag->get<bool>();
}

}  // namespace

orvik_path_quality::PathQuality measuredRoute(const orvik_nav2_gridmap::GridMapROS& map,
                                              std::vector<PathRecord> paths,
                                              const nlohmann::json& options) {
  measurePaths(map, paths, costFlagOf(options));
  return routeQuality(paths);
}

void measureReport(const orvik_nav2_gridmap::GridMapROS& map, PlanReport& report) {
  const bool cost_flag = costFlagOf(report.options);
  measurePaths(map, report.outcome.paths, cost_flag);
  for (auto& step : report.steps) {
    measurePaths(map, step.paths, cost_flag);
  }
  measurePaths(map, report.final_paths, cost_flag);
}

nlohmann::json qualityToJson(const orvik_path_quality::PathQuality& q) {
  auto number = [](double v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(); };
  return {{"length_m", q.length_m},           {"total_turning_rad", q.total_turning_rad},
          {"max_curvature", q.max_curvature}, {"min_clearance_m", number(q.min_clearance_m)},
          {"max_cost", q.max_cost},           {"mean_cost", number(q.mean_cost)},
          {"cells_passed", q.cells_passed},   {"off_map_length_m", q.off_map_length_m}};
}

std::string qualityText(const orvik_path_quality::PathQuality& q) {
  char text[256];
  std::snprintf(text, sizeof(text),
                "length %.2f m, turning %.2f rad, max curvature %.2f 1/m, clearance %.3f m, "
                "cost max %u mean %.1f",
                q.length_m, q.total_turning_rad, q.max_curvature, q.min_clearance_m, q.max_cost,
                q.mean_cost);
  std::string line(text);
  if (q.off_map_length_m > 0.0) {
    std::snprintf(text, sizeof(text), ", %.2f m off the map", q.off_map_length_m);
    line += text;
  }
  return line;
}

orvik_path_quality::PathQuality routeQuality(const std::vector<PathRecord>& paths) {
  std::vector<orvik_path_quality::PathQuality> measured;
  for (const auto& path : paths) {
    if (path.quality) {
      measured.push_back(*path.quality);
    }
  }
  return orvik_path_quality::combinePathQualities(measured);
}

}  // namespace orvik_plan
