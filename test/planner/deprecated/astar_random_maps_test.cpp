// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "legacy_test_support.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "support/grid_fixtures.hpp"

namespace {

using legacy_test::cellPose;
using legacy_test::pathCells;
using orvik_nav2_planner::astar::AstarPlanner;
using Cells = std::vector<std::pair<int, int>>;

/// The search as it recognised the goal before: only while expanding the goal cell, at the
/// first neighbour that passes the closed, bounds and danger checks. Written with flat arrays
/// instead of shared nodes; it keeps the neighbour order, the sqrt 2 step, the first-key-only
/// open list and the greater-or-equal heap, which together fix the path among equal ones.
/// Returns the cells of the path, or nothing when that rule finds none.
struct OldRuleResult {
  bool found{false};
  Cells cells;
};

OldRuleResult oldGoalRuleSearch(const legacy_test::GridMapPtr& map, int sx, int sy, int gx, int gy,
                                int level) {
  const auto grid = map->getMultiGridMap();
  const int w = static_cast<int>(grid->getCostmap()->getSizeInCellsX());
  const int h = static_cast<int>(grid->getCostmap()->getSizeInCellsY());
  const std::size_t cells = static_cast<std::size_t>(w) * h;
  std::vector<double> g(cells, 0.0);
  std::vector<int> parent(cells, -1);
  std::vector<char> discovered(cells, 0);
  std::vector<char> closed(cells, 0);
  struct Entry {
    int index;
    double key;
  };
  auto order = [](const Entry& a, const Entry& b) { return a.key >= b.key; };
  std::vector<Entry> heap;
  const int s = sy * w + sx;
  g[s] = std::hypot(sx - gx, sy - gy);
  discovered[s] = 1;
  heap.push_back({s, g[s]});
  const int steps[8][2] = {{-1, 0}, {-1, 1}, {-1, -1}, {0, 1}, {0, -1}, {1, 0}, {1, 1}, {1, -1}};
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), order);
    const int i = heap.back().index;
    heap.pop_back();
    closed[i] = 1;
    const int cx = i % w;
    const int cy = i / w;
    for (const auto& step : steps) {
      const int nx = cx + step[0];
      const int ny = cy + step[1];
      if (nx < 0 || ny < 0 || nx >= w || ny >= h) {
        continue;
      }
      const int n = ny * w + nx;
      if (closed[n] || grid->inDanger(nx, ny, level)) {
        continue;
      }
      if (cx == gx && cy == gy) {
        OldRuleResult result{true, {}};
        for (int at = i; at >= 0; at = parent[at]) {
          result.cells.emplace_back(at % w, at / w);
        }
        std::reverse(result.cells.begin(), result.cells.end());
        return result;
      }
      const double ng = g[i] + ((step[0] != 0 && step[1] != 0) ? 1.4142135623730951 : 1.0);
      if (discovered[n]) {
        if (ng < g[n]) {
          g[n] = ng;
          parent[n] = i;
        }
        continue;
      }
      discovered[n] = 1;
      g[n] = ng;
      parent[n] = i;
      heap.push_back({n, grid->getCost(nx, ny, false) + std::hypot(nx - gx, ny - gy) + ng});
      std::push_heap(heap.begin(), heap.end(), order);
    }
  }
  return {};
}

void expectValidPath(const legacy_test::GridMapPtr& map, const Cells& cells, int sx, int sy, int gx,
                     int gy) {
  ASSERT_FALSE(cells.empty());
  EXPECT_EQ(cells.front(), std::make_pair(sx, sy));
  EXPECT_EQ(cells.back(), std::make_pair(gx, gy));
  for (std::size_t i = 0; i < cells.size(); ++i) {
    EXPECT_FALSE(map->getMultiGridMap()->inDanger(cells[i].first, cells[i].second, 0));
    if (i > 0) {
      const int dx = std::abs(cells[i].first - cells[i - 1].first);
      const int dy = std::abs(cells[i].second - cells[i - 1].second);
      EXPECT_TRUE(dx <= 1 && dy <= 1 && dx + dy > 0) << "step " << i;
    }
  }
}

TEST(LegacyAstarRandomMaps, PathExistsExactlyWhenBreadthFirstSearchReachesTheGoal) {
  std::mt19937 rng(20240607);
  int reachable = 0;
  int unreachable = 0;
  for (int trial = 0; trial < 1200; ++trial) {
    const unsigned int w = 4 + rng() % 12;
    const unsigned int h = 3 + rng() % 10;
    const double density = 0.2 + 0.05 * (trial % 8);
    auto map = orvik_test::makeTestGridMap(
        orvik_test::randomCostmap(w, h, density, static_cast<unsigned int>(trial)));
    const int sx = static_cast<int>(rng() % w);
    const int sy = static_cast<int>(rng() % h);
    const int gx = trial % 10 == 0 ? sx : static_cast<int>(rng() % w);
    const int gy = trial % 10 == 0 ? sy : static_cast<int>(rng() % h);
    const auto grid = map->getMultiGridMap();
    if (grid->inDanger(sx, sy, 0) || grid->inDanger(gx, gy, 0)) {
      continue;
    }
    const int steps = legacy_test::bfsSteps(map, sx, sy, gx, gy, 0);
    AstarPlanner planner;
    nav_msgs::msg::Path path;
    const bool found =
        planner.searchv2(map, cellPose(map, sx, sy), cellPose(map, gx, gy), path, false, 0.0, 0);
    ASSERT_EQ(found, steps >= 0) << "trial " << trial;
    if (found) {
      ++reachable;
      const Cells cells = pathCells(map, path);
      expectValidPath(map, cells, sx, sy, gx, gy);
      EXPECT_GE(static_cast<int>(cells.size()), steps + 1);
    } else {
      ++unreachable;
      EXPECT_TRUE(path.poses.empty());
    }
  }
  EXPECT_GT(reachable, 200);
  EXPECT_GT(unreachable, 20);
}

TEST(LegacyAstarRandomMaps, PathIsUnchangedWhereverTheOldGoalRuleSucceeded) {
  std::mt19937 rng(77);
  int same = 0;
  int rescued = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const unsigned int w = 4 + rng() % 14;
    const unsigned int h = 3 + rng() % 12;
    auto map = orvik_test::makeTestGridMap(
        orvik_test::randomGradedCostmap(w, h, 0.15 + 0.05 * (trial % 6), 200, rng));
    const int sx = static_cast<int>(rng() % w);
    const int sy = static_cast<int>(rng() % h);
    const int gx = static_cast<int>(rng() % w);
    const int gy = static_cast<int>(rng() % h);
    const auto grid = map->getMultiGridMap();
    if (grid->inDanger(sx, sy, 0) || grid->inDanger(gx, gy, 0)) {
      continue;
    }
    const OldRuleResult old = oldGoalRuleSearch(map, sx, sy, gx, gy, 0);
    AstarPlanner planner;
    nav_msgs::msg::Path path;
    const bool found =
        planner.searchv2(map, cellPose(map, sx, sy), cellPose(map, gx, gy), path, false, 0.0, 0);
    if (old.found) {
      ASSERT_TRUE(found) << "trial " << trial;
      EXPECT_EQ(pathCells(map, path), old.cells) << "trial " << trial;
      ++same;
    } else if (found) {
      // Only goals the old rule never recognised: every neighbour blocked when it was expanded.
      EXPECT_GE(legacy_test::bfsSteps(map, sx, sy, gx, gy, 0), 0);
      ++rescued;
    }
  }
  EXPECT_GT(same, 100);
  EXPECT_GT(rescued, 3);
}

}  // namespace
