// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include "orvik_plan/batch_statistics.hpp"

namespace orvik_plan {

/// Path quality over the solved queries of one batch file.
struct BatchQualitySummary {
  std::string name;
  std::size_t measured{0};
  double median_turning_rad{0.0};
  double median_max_curvature{0.0};
  /// Smallest clearance of any path, and the median of the paths' smallest clearances.
  double min_clearance_m{0.0};
  double median_clearance_m{0.0};
  double max_cost{0.0};
  double median_mean_cost{0.0};
};

BatchQualitySummary summariseQuality(const std::string& name,
                                     const std::vector<QueryResult>& results);

/// The quality table printed below the batch table; empty when no query has figures.
std::string formatQualityTable(const std::vector<BatchQualitySummary>& rows);

nlohmann::json qualitySummaryToJson(const BatchQualitySummary& summary);

}  // namespace orvik_plan
