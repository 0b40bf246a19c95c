// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/batch_quality.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

namespace orvik_plan {

BatchQualitySummary summariseQuality(const std::string& name,
                                     const std::vector<QueryResult>& results) {
  BatchQualitySummary s;
  s.name = name;
  std::vector<double> turning, curvature, clearance, mean_cost;
  for (const auto& r : results) {
    if (!r.solved || !r.quality) {
      continue;
    }
    ++s.measured;
    turning.push_back(r.quality->total_turning_rad);
    curvature.push_back(r.quality->max_curvature);
    if (std::isfinite(r.quality->min_clearance_m)) {
      clearance.push_back(r.quality->min_clearance_m);
    }
    if (std::isfinite(r.quality->mean_cost)) {
      mean_cost.push_back(r.quality->mean_cost);
    }
    s.max_cost = std::max(s.max_cost, static_cast<double>(r.quality->max_cost));
  }
  s.median_turning_rad = percentile(turning, 50.0);
  s.median_max_curvature = percentile(curvature, 50.0);
  s.min_clearance_m = clearance.empty() ? std::numeric_limits<double>::quiet_NaN()
                                        : *std::min_element(clearance.begin(), clearance.end());
  s.median_clearance_m = percentile(clearance, 50.0);
  s.median_mean_cost = percentile(mean_cost, 50.0);
  return s;
}

std::string formatQualityTable(const std::vector<BatchQualitySummary>& rows) {
  std::size_t name_width = 8;
  bool any = false;
  for (const auto& r : rows) {
    name_width = std::max(name_width, r.name.size());
    any = any || r.measured > 0;
  }
  if (!any) {
    return "";
  }
  std::ostringstream out;
  char buffer[512];
  out << "\nPath quality of the solved queries (medians over the paths unless noted):\n";
  std::snprintf(buffer, sizeof(buffer), "%-*s %8s %9s %11s %10s %10s %8s %9s\n",
                static_cast<int>(name_width), "scenario", "measured", "turn rad", "max curv/m",
                "min clear", "med. clear", "max cost", "mean cost");
  out << buffer;
  for (const auto& r : rows) {
    std::snprintf(buffer, sizeof(buffer), "%-*s %8zu %9.3f %11.2f %10.3f %10.3f %8.0f %9.1f\n",
                  static_cast<int>(name_width), r.name.c_str(), r.measured, r.median_turning_rad,
                  r.median_max_curvature, r.min_clearance_m, r.median_clearance_m, r.max_cost,
                  r.median_mean_cost);
    out << buffer;
  }
  out << "min clear: the smallest obstacle distance of any path; max cost: the highest cell cost "
         "any path passes.\n";
  return out.str();
}

nlohmann::json qualitySummaryToJson(const BatchQualitySummary& s) {
  auto number = [](double v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(); };
  return {{"measured", s.measured},
          {"median_total_turning_rad", number(s.median_turning_rad)},
          {"median_max_curvature", number(s.median_max_curvature)},
          {"min_clearance_m", number(s.min_clearance_m)},
          {"median_min_clearance_m", number(s.median_clearance_m)},
          {"max_cost", s.max_cost},
          {"median_mean_cost", number(s.median_mean_cost)}};
}

}  // namespace orvik_plan
