// SPDX-License-Identifier: Apache-2.0
// Batch mode: every query is run, the table sums them up, --json lists each one.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <queue>

#include "apps/tool_runner.hpp"
#include "support/grid_fixtures.hpp"

namespace {

using namespace orvik_plan_test;

// A small Moving AI map: row 0 is the top row. Two wall pieces touch diagonally, so a planner
// that may cut corners finds shorter paths than the benchmark rule allows.
const std::vector<std::string> kRows = {
    "..........", "..@@@.....", ".....@....", ".....@....", "..........", "@@@@@@@@.@",
};

/// Octile shortest path without corner cutting (both side cells must be free for a diagonal),
/// the rule of the published Moving AI lengths; an independent Dijkstra over kRows.
double benchmarkOptimum(int sx, int sy, int gx, int gy) {
  const int h = static_cast<int>(kRows.size());
  const int w = static_cast<int>(kRows[0].size());
  auto free = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < w && y < h && kRows[y][x] == '.';
  };
  std::vector<double> dist(w * h, std::numeric_limits<double>::infinity());
  using Entry = std::pair<double, int>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
  dist[sy * w + sx] = 0.0;
  open.push({0.0, sy * w + sx});
  while (!open.empty()) {
    const auto [d, i] = open.top();
    open.pop();
    if (d > dist[i]) {
      continue;
    }
    const int x = i % w, y = i / w;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if ((dx == 0 && dy == 0) || !free(x + dx, y + dy)) {
          continue;
        }
        if (dx != 0 && dy != 0 && (!free(x + dx, y) || !free(x, y + dy))) {
          continue;
        }
        const double nd = d + (dx != 0 && dy != 0 ? std::sqrt(2.0) : 1.0);
        const int j = (y + dy) * w + x + dx;
        if (nd < dist[j]) {
          dist[j] = nd;
          open.push({nd, j});
        }
      }
    }
  }
  return dist[gy * w + gx];
}

std::string scenarioLine(int sx, int sy, int gx, int gy) {
  const double optimum = benchmarkOptimum(sx, sy, gx, gy);
  char line[160];
  std::snprintf(line, sizeof(line), "%d\tmaps/test/tiny.map\t10\t6\t%d\t%d\t%d\t%d\t%.8f\n",
                static_cast<int>(optimum / 4), sx, sy, gx, gy, optimum);
  return line;
}

TEST(OrvikPlanBatch, HandMadeScenarioIsSolvedNoLongerThanTheBenchmarkOptimum) {
  TempDir dir;
  std::string map = "type octile\nheight 6\nwidth 10\nmap\n";
  for (const auto& row : kRows) {
    map += row + "\n";
  }
  dir.write("tiny.map", map);
  const std::string scen =
      dir.write("tiny.map.scen", "version 1\n" + scenarioLine(0, 0, 9, 4) +
                                     scenarioLine(4, 2, 6, 1) + scenarioLine(0, 4, 8, 5) + "\n");
  const ToolRun run = runTool({"--batch", scen, "--json", "batch.json"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out.find('\r'), std::string::npos) << "no progress bar without a terminal";
  EXPECT_NE(run.out.find("forbids cutting corners"), std::string::npos);

  const auto json = readJson(dir.path() / "batch.json");
  const auto& queries = json["scenarios"][0]["queries"];
  ASSERT_EQ(queries.size(), 3u);
  for (const auto& q : queries) {
    EXPECT_TRUE(q["solved"].get<bool>());
    // Any benchmark path is a path for us too. The planner keeps an open-list entry at its
    // first priority, so it is near-optimal rather than exact: allow 1 % above the optimum.
    EXPECT_LE(q["length_ratio"].get<double>(), 1.01) << q;
  }
  EXPECT_GT(queries[0]["length_ratio"].get<double>(), 0.7);
  EXPECT_GT(queries[2]["length_ratio"].get<double>(), 0.7);
  // (4,2) to (6,1) squeezes between the two diagonally touching walls: one diagonal and one
  // straight step for us, a detour round the wall for the benchmark.
  EXPECT_NEAR(queries[1]["length_cells"].get<double>(), 1.0 + std::sqrt(2.0), 1e-9);
  EXPECT_NEAR(queries[1]["optimal_length"].get<double>(), 7.0, 1e-6);
  EXPECT_EQ(json["scenarios"][0]["summary"]["solved"].get<int>(), 3);
}

TEST(OrvikPlanBatch, SharedMovingAiScenarioSolvesEveryQuery) {
  const std::string maps = orvik_test::sharedMapsDir();
  if (maps.empty()) {
    GTEST_SKIP() << "third-party maps not present";
  }
  TempDir dir;
  const ToolRun run = runTool(
      {"--batch", maps + "/movingai/dao/arena.map.scen", "--every", "4", "--json", "arena.json"},
      dir.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const auto json = readJson(dir.path() / "arena.json");
  const auto& summary = json["scenarios"][0]["summary"];
  EXPECT_EQ(summary["queries"].get<int>(), 40);
  EXPECT_EQ(summary["solved"].get<int>(), 40);
  EXPECT_LE(summary["ratio_max"].get<double>(), 1.01);
  EXPECT_GT(summary["ratio_min"].get<double>(), 0.5);
  EXPECT_NE(run.out.find("arena.map.scen"), std::string::npos);
}

TEST(OrvikPlanBatch, CsvQueriesOnARosMapReportFailuresAndExitOne) {
  TempDir dir;
  const std::string csv = dir.write("queries.csv",
                                    "sx,sy,syaw,gx,gy,gyaw\n"
                                    "1.0,2.35,0,5.0,2.35,0\n"
                                    "7.2,6.0,0,1.0,4.05,3.14\n"
                                    "# the goal is inside a rack\n"
                                    "1.0,2.35,0,3.0,1.5,0\n");
  const ToolRun run =
      runTool({"--batch", csv, "--map", dataDir() + "/demo_warehouse.yaml", "--grid-config",
               dataDir() + "/demo_warehouse_gridmap.yaml", "--json", "csv.json"},
              dir.path());
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("line 5: not solved"), std::string::npos) << run.out;
  const auto json = readJson(dir.path() / "csv.json");
  const auto& queries = json["scenarios"][0]["queries"];
  ASSERT_EQ(queries.size(), 3u);
  EXPECT_TRUE(queries[0]["solved"].get<bool>());
  EXPECT_NEAR(queries[0]["length_cells"].get<double>(), 80.0, 1e-6) << "straight along the aisle";
  EXPECT_TRUE(queries[1]["solved"].get<bool>());
  EXPECT_FALSE(queries[2]["solved"].get<bool>());
  EXPECT_TRUE(queries[0]["length_ratio"].is_null()) << "CSV queries have no optimum";
}

TEST(OrvikPlanBatch, MalformedScenarioNamesTheLine) {
  TempDir dir;
  const std::string scen = dir.write("bad.map.scen", "version 1\n0\ttiny.map\t10\t6\t0\t0\n");
  const ToolRun run = runTool({"--batch", scen}, dir.path());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("bad.map.scen:2"), std::string::npos) << run.err;
}

}  // namespace
