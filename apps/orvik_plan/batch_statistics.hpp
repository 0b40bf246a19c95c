// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include <optional>

#include <nlohmann/json.hpp>

#include "orvik_path_quality/path_quality.hpp"

namespace orvik_plan {

/// The outcome of one batch query.
struct QueryResult {
  std::size_t index{0};
  int line{0};
  int bucket{0};
  bool solved{false};
  double time_ms{0.0};
  std::size_t nodes_expanded{0};
  /// Path length in cells (metres / resolution).
  double length_cells{0.0};
  /// Published optimum in cells; NaN when not known.
  double optimal_length{std::numeric_limits<double>::quiet_NaN()};
  std::string reason;
  /// Quality figures of the route (all its paths), when solved.
  std::optional<orvik_path_quality::PathQuality> quality;
};

/// Length of our path over the published optimum; NaN when there is no usable optimum.
double lengthRatio(const QueryResult& result);

/// Nearest-rank percentile (p in 0..100) of the values; NaN for none.
double percentile(std::vector<double> values, double p);

/// One row of the batch table.
struct BatchSummary {
  std::string name;
  std::size_t queries{0};
  std::size_t solved{0};
  std::size_t failed{0};
  double median_ms{0.0};
  double p95_ms{0.0};
  double median_nodes{0.0};
  double p95_nodes{0.0};
  /// Queries with a usable optimum, and the ratio over them.
  std::size_t with_optimum{0};
  double ratio_min{0.0};
  double ratio_median{0.0};
  double ratio_mean{0.0};
  double ratio_max{0.0};
};

BatchSummary summarise(const std::string& name, const std::vector<QueryResult>& results);

/// The table of rows, with the note on the optimum when any row has one.
std::string formatBatchTable(const std::vector<BatchSummary>& rows);

nlohmann::json queryResultToJson(const QueryResult& result);
nlohmann::json summaryToJson(const BatchSummary& summary);

}  // namespace orvik_plan
