// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/batch_quality.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

orvik_plan::QueryResult solvedWith(double turning, double curvature, double clearance,
                                   uint32_t max_cost, double mean_cost) {
  orvik_plan::QueryResult r;
  r.solved = true;
  orvik_path_quality::PathQuality q;
  q.total_turning_rad = turning;
  q.max_curvature = curvature;
  q.min_clearance_m = clearance;
  q.max_cost = max_cost;
  q.mean_cost = mean_cost;
  r.quality = q;
  return r;
}

TEST(BatchQuality, SummarisesSolvedQueriesOnly) {
  std::vector<orvik_plan::QueryResult> results = {
      solvedWith(1.0, 4.0, 0.5, 10, 2.0), solvedWith(3.0, 2.0, 0.2, 40, 6.0),
      solvedWith(2.0, 9.0, std::numeric_limits<double>::quiet_NaN(), 0,
                 std::numeric_limits<double>::quiet_NaN())};
  // A failed query with figures left over must not count.
  auto failed = solvedWith(100.0, 100.0, 0.0, 254, 254.0);
  failed.solved = false;
  results.push_back(failed);

  const auto s = orvik_plan::summariseQuality("file", results);
  EXPECT_EQ(s.measured, 3u);
  EXPECT_DOUBLE_EQ(s.median_turning_rad, 2.0);
  EXPECT_DOUBLE_EQ(s.median_max_curvature, 4.0);
  // Clearance and mean cost over the paths that passed cells of the map.
  EXPECT_DOUBLE_EQ(s.min_clearance_m, 0.2);
  EXPECT_DOUBLE_EQ(s.median_clearance_m, 0.2);
  EXPECT_DOUBLE_EQ(s.max_cost, 40.0);
  EXPECT_DOUBLE_EQ(s.median_mean_cost, 2.0);

  const std::string table = orvik_plan::formatQualityTable({s});
  EXPECT_NE(table.find("file"), std::string::npos);
  EXPECT_NE(table.find("0.200"), std::string::npos);
  EXPECT_EQ(orvik_plan::formatQualityTable({orvik_plan::summariseQuality("none", {failed})}), "");
  EXPECT_TRUE(orvik_plan::qualitySummaryToJson(s)["min_clearance_m"].is_number());
}

}  // namespace
