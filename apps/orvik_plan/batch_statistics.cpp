// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/batch_statistics.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <sstream>

#include "orvik_plan/path_quality_report.hpp"

namespace orvik_plan {

double lengthRatio(const QueryResult& r) {
  if (!r.solved || !std::isfinite(r.optimal_length) || r.optimal_length <= 0.0) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return r.length_cells / r.optimal_length;
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  std::sort(values.begin(), values.end());
  const double rank = std::ceil(p / 100.0 * static_cast<double>(values.size()));
  const std::size_t index =
      static_cast<std::size_t>(std::clamp(rank, 1.0, static_cast<double>(values.size()))) - 1;
  return values[index];
}

BatchSummary summarise(const std::string& name, const std::vector<QueryResult>& results) {
  BatchSummary s;
  s.name = name;
  s.queries = results.size();
  std::vector<double> times, nodes, ratios;
  for (const auto& r : results) {
    times.push_back(r.time_ms);
    if (r.solved) {
      ++s.solved;
      nodes.push_back(static_cast<double>(r.nodes_expanded));
    } else {
      ++s.failed;
    }
    const double ratio = lengthRatio(r);
    if (std::isfinite(ratio)) {
      ratios.push_back(ratio);
    }
  }
  s.median_ms = percentile(times, 50.0);
  s.p95_ms = percentile(times, 95.0);
  s.median_nodes = percentile(nodes, 50.0);
  s.p95_nodes = percentile(nodes, 95.0);
  s.with_optimum = ratios.size();
  if (!ratios.empty()) {
    s.ratio_min = *std::min_element(ratios.begin(), ratios.end());
    s.ratio_max = *std::max_element(ratios.begin(), ratios.end());
    s.ratio_median = percentile(ratios, 50.0);
    s.ratio_mean = std::accumulate(ratios.begin(), ratios.end(), 0.0) / ratios.size();
  }
  return s;
}

std::string formatBatchTable(const std::vector<BatchSummary>& rows) {
  std::ostringstream out;
  bool any_optimum = false;
  std::size_t name_width = 8;
  for (const auto& r : rows) {
    any_optimum = any_optimum || r.with_optimum > 0;
    name_width = std::max(name_width, r.name.size());
  }
  char buffer[512];
  std::snprintf(buffer, sizeof(buffer), "%-*s %7s %7s %6s %9s %9s %10s %10s",
                static_cast<int>(name_width), "scenario", "queries", "solved", "failed",
                "median ms", "p95 ms", "med. nodes", "p95 nodes");
  out << buffer;
  if (any_optimum) {
    out << "   ratio min  median    mean     max";
  }
  out << "\n";
  for (const auto& r : rows) {
    std::snprintf(buffer, sizeof(buffer), "%-*s %7zu %7zu %6zu %9.2f %9.2f %10.0f %10.0f",
                  static_cast<int>(name_width), r.name.c_str(), r.queries, r.solved, r.failed,
                  r.median_ms, r.p95_ms, r.median_nodes, r.p95_nodes);
    out << buffer;
    if (r.with_optimum > 0) {
      std::snprintf(buffer, sizeof(buffer), "   %9.4f %7.4f %7.4f %7.4f", r.ratio_min,
                    r.ratio_median, r.ratio_mean, r.ratio_max);
      out << buffer;
    }
    out << "\n";
  }
  if (any_optimum) {
    out << "Note: the published optimum forbids cutting corners (a diagonal step needs both "
           "side cells free) and\ncounts sqrt(2) per diagonal; our planner only needs the "
           "target cell free, so it may cut corners\nand a ratio below 1 is expected. Lengths "
           "are measured between cell centres.\n";
  }
  return out.str();
}

nlohmann::json queryResultToJson(const QueryResult& r) {
  nlohmann::json j = {{"index", r.index},
                      {"line", r.line},
                      {"bucket", r.bucket},
                      {"solved", r.solved},
                      {"time_ms", r.time_ms},
                      {"nodes_expanded", r.nodes_expanded},
                      {"length_cells", r.length_cells}};
  j["optimal_length"] =
      std::isfinite(r.optimal_length) ? nlohmann::json(r.optimal_length) : nlohmann::json();
  const double ratio = lengthRatio(r);
  j["length_ratio"] = std::isfinite(ratio) ? nlohmann::json(ratio) : nlohmann::json();
  if (!r.reason.empty()) {
    j["reason"] = r.reason;
  }
  if (r.quality) {
    j["quality"] = qualityToJson(*r.quality);
  }
  return j;
}

nlohmann::json summaryToJson(const BatchSummary& s) {
  auto number = [](double v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(); };
  return {{"name", s.name},
          {"queries", s.queries},
          {"solved", s.solved},
          {"failed", s.failed},
          {"median_ms", number(s.median_ms)},
          {"p95_ms", number(s.p95_ms)},
          {"median_nodes_expanded", number(s.median_nodes)},
          {"p95_nodes_expanded", number(s.p95_nodes)},
          {"queries_with_optimum", s.with_optimum},
          {"ratio_min", number(s.ratio_min)},
          {"ratio_median", number(s.ratio_median)},
          {"ratio_mean", number(s.ratio_mean)},
          {"ratio_max", number(s.ratio_max)}};
}

}  // namespace orvik_plan
