// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/batch_statistics.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using orvik_plan::percentile;
using orvik_plan::QueryResult;

TEST(BatchStatistics, PercentileIsTheNearestRank) {
  // Worked by hand: for 20 values 1..20, the 95th percentile is the 19th value.
  std::vector<double> values;
  for (int i = 20; i >= 1; --i) {
    values.push_back(i);
  }
  EXPECT_EQ(percentile(values, 95.0), 19.0);
  EXPECT_EQ(percentile(values, 50.0), 10.0);
  EXPECT_EQ(percentile(values, 100.0), 20.0);
  EXPECT_EQ(percentile(values, 0.0), 1.0);
  EXPECT_EQ(percentile({7.0}, 95.0), 7.0);
  EXPECT_TRUE(std::isnan(percentile({}, 50.0)));
}

QueryResult result(bool solved, double ms, std::size_t nodes, double length, double optimum) {
  QueryResult r;
  r.solved = solved;
  r.time_ms = ms;
  r.nodes_expanded = nodes;
  r.length_cells = length;
  r.optimal_length = optimum;
  return r;
}

TEST(BatchStatistics, SummaryCountsAndRatiosUseOnlyUsableQueries) {
  const std::vector<QueryResult> results = {
      result(true, 1.0, 10, 9.0, 10.0), result(true, 3.0, 30, 10.0, 10.0),
      result(false, 5.0, 50, 0.0, 10.0),  // failed: no ratio, no nodes
      result(true, 2.0, 20, 0.0, 0.0),    // start = goal: no ratio
  };
  const auto s = orvik_plan::summarise("x", results);
  EXPECT_EQ(s.queries, 4u);
  EXPECT_EQ(s.solved, 3u);
  EXPECT_EQ(s.failed, 1u);
  EXPECT_EQ(s.median_ms, 2.0);
  EXPECT_EQ(s.p95_ms, 5.0);
  EXPECT_EQ(s.median_nodes, 20.0);
  EXPECT_EQ(s.with_optimum, 2u);
  EXPECT_DOUBLE_EQ(s.ratio_min, 0.9);
  EXPECT_DOUBLE_EQ(s.ratio_max, 1.0);
  EXPECT_DOUBLE_EQ(s.ratio_mean, 0.95);
  EXPECT_TRUE(std::isnan(orvik_plan::lengthRatio(results[2])));
}

TEST(BatchStatistics, TableCarriesTheCornerCuttingNoteOnlyWithAnOptimum) {
  auto with = orvik_plan::summarise("scen", {result(true, 1.0, 1, 1.0, 1.0)});
  auto without = orvik_plan::summarise("csv", {result(true, 1.0, 1, 1.0, NAN)});
  EXPECT_NE(orvik_plan::formatBatchTable({with}).find("forbids cutting corners"),
            std::string::npos);
  EXPECT_EQ(orvik_plan::formatBatchTable({without}).find("forbids"), std::string::npos);
  EXPECT_NE(orvik_plan::formatBatchTable({without}).find("csv"), std::string::npos);
}

}  // namespace
