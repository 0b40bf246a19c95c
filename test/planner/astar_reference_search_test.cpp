// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "orvik_nav2_planner/astar_planner.hpp"
#include "planner_test_support.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_test::Cell;

// The search transcribed as plainly as possible from its rules: a node per cell in a vector,
// the standard heap algorithms under "a below b when a.f >= b.f", neighbours in the fixed
// order, costs read through the grid map's public queries. The planner's node tiles, unrolled
// neighbour walk and hand-written heap must give exactly the same search.
struct ReferenceResult {
  bool found{false};
  std::size_t expanded{0};
  std::vector<Cell> path;  // start first
};

ReferenceResult referenceSearch(const orvik_nav2_gridmap::MultiGridMap& grid, Cell start, Cell goal,
                                const AstarOptions& options) {
  const auto costmap = grid.getCostmap();
  const int size_x = static_cast<int>(costmap->getSizeInCellsX());
  const int size_y = static_cast<int>(costmap->getSizeInCellsY());
  struct Node {
    double g{0.0};
    int parent{-1};
    bool opened{false};
    bool closed{false};
  };
  struct Entry {
    double f;
    int cell;
  };
  const auto above = [](const Entry& a, const Entry& b) { return a.f >= b.f; };
  const int offsets[8][2] = {{-1, 0}, {-1, 1}, {-1, -1}, {0, 1}, {0, -1}, {1, 0}, {1, 1}, {1, -1}};
  std::vector<Node> nodes(static_cast<std::size_t>(size_x) * size_y);
  std::vector<Entry> open;
  const int start_cell = start.x + start.y * size_x;
  nodes[start_cell].opened = true;
  open.push_back({0.0, start_cell});
  std::push_heap(open.begin(), open.end(), above);
  ReferenceResult result;
  while (!open.empty()) {
    std::pop_heap(open.begin(), open.end(), above);
    const int cell = open.back().cell;
    open.pop_back();
    Node& current = nodes[cell];
    if (current.closed) {
      continue;
    }
    current.closed = true;
    ++result.expanded;
    const int x = cell % size_x;
    const int y = cell / size_x;
    if (x == goal.x && y == goal.y) {
      result.found = true;
      for (int c = cell; c >= 0; c = nodes[c].parent) {
        result.path.push_back({c % size_x, c / size_x});
      }
      std::reverse(result.path.begin(), result.path.end());
      return result;
    }
    for (const auto& offset : offsets) {
      const int nx = x + offset[0];
      const int ny = y + offset[1];
      if (nx < 0 || ny < 0 || nx >= size_x || ny >= size_y ||
          grid.inDanger(nx, ny, options.danger_level)) {
        continue;
      }
      const int next_cell = nx + ny * size_x;
      Node& next = nodes[next_cell];
      if (next.closed) {
        continue;
      }
      const double g_new = current.g + (offset[0] != 0 && offset[1] != 0 ? 1.414 : 1.0);
      if (next.opened && g_new >= next.g) {
        continue;
      }
      next.parent = cell;
      next.g = g_new;
      if (next.opened) {
        continue;
      }
      const double dx = nx - goal.x;
      const double dy = ny - goal.y;
      const double h = options.cost_weight * grid.getCost(nx, ny, options.cost_flag) +
                       std::sqrt(dx * dx + dy * dy);
      next.opened = true;
      open.push_back({next.g + h, next_cell});
      std::push_heap(open.begin(), open.end(), above);
    }
  }
  return result;
}

// Maps from a few cells to several node tiles a side, so that searches cross tile edges, map
// edges and cells next to obstacles; two danger levels with different clearances.
TEST(AstarReferenceSearch, PlannerSearchesExactlyAsAPlainTranscriptionOfItsRules) {
  std::mt19937 rng(20261208);
  int found = 0;
  int compared = 0;
  for (int map_index = 0; map_index < 40; ++map_index) {
    const unsigned int side_x = 3 + rng() % 90;
    const unsigned int side_y = 3 + rng() % 90;
    const double density = (rng() % 4) * 0.08;
    auto map = orvik_test::makeTestGridMap(
        orvik_test::randomGradedCostmap(side_x, side_y, density, 252, rng), {0.08, 0.0});
    const auto& grid = *map->getMultiGridMap();
    AstarPlanner planner("reference", map);
    for (int query = 0; query < 6; ++query) {
      AstarOptions options;
      options.danger_level = static_cast<int>(rng() % 2);
      options.cost_weight = std::vector<double>{0.0, 0.01, 0.05, 1.0}[rng() % 4];
      std::vector<Cell> usable;
      for (unsigned int y = 0; y < side_y; ++y) {
        for (unsigned int x = 0; x < side_x; ++x) {
          if (!grid.inDanger(x, y, options.danger_level)) {
            usable.push_back({static_cast<int>(x), static_cast<int>(y)});
          }
        }
      }
      if (usable.empty()) {
        continue;
      }
      const Cell start = usable[rng() % usable.size()];
      const Cell goal = usable[rng() % usable.size()];
      const ReferenceResult expected = referenceSearch(grid, start, goal, options);
      orvik_nav2_protocol::msg::Path path;
      const bool ok = planner.searchPath(orvik_test::cellPose(map, start.x, start.y),
                                         orvik_test::cellPose(map, goal.x, goal.y), options, path);
      const auto where = ::testing::Message()
                         << "map " << map_index << " (" << side_x << " x " << side_y << ") query "
                         << query << " from " << start.x << "," << start.y << " to " << goal.x
                         << "," << goal.y;
      ASSERT_EQ(ok, expected.found) << where;
      EXPECT_EQ(planner.expandedCount(), expected.expanded) << where;
      if (ok) {
        EXPECT_EQ(orvik_test::pathCells(map, path), expected.path) << where;
        ++found;
      }
      ++compared;
    }
  }
  // The sample must reach both outcomes and mostly succeed.
  EXPECT_GT(compared, 200);
  EXPECT_GT(found, compared / 2);
  EXPECT_LT(found, compared);
}

}  // namespace
