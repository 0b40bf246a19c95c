// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_path_quality/path_quality.hpp"
#include "orvik_plan/plan_model.hpp"
#include "orvik_plan/plan_report.hpp"

namespace orvik_plan {

/// Measures every path of the list on the map (see orvik_path_quality::measurePathQuality).
void measurePaths(const orvik_nav2_gridmap::GridMapROS& map, std::vector<PathRecord>& paths,
                  bool cost_flag);

/// Measures the planner's paths, the paths after each step and the final route; the cost is read
/// with the request's cost_flag, as the planner read it.
void measureReport(const orvik_nav2_gridmap::GridMapROS& map, PlanReport& report);

/// The route figures of a planner's paths, read with the cost_flag of `options` (the options as
/// the planner received them).
orvik_path_quality::PathQuality measuredRoute(const orvik_nav2_gridmap::GridMapROS& map,
                                              std::vector<PathRecord> paths,
                                              const nlohmann::json& options);

/// The figures as JSON; NaN (no cell on the map) becomes null.
nlohmann::json qualityToJson(const orvik_path_quality::PathQuality& quality);

/// One line: length, turning, curvature, clearance and costs.
std::string qualityText(const orvik_path_quality::PathQuality& quality);

/// The route figures of a list of measured paths (paths without figures are left out).
orvik_path_quality::PathQuality routeQuality(const std::vector<PathRecord>& paths);

}  // namespace orvik_plan
