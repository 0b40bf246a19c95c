// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <queue>
#include <random>
#include <vector>

#include "orvik_nav2_gridmap/map_loader.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "planner_test_support.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarNode;
using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_test::Cell;
using orvik_test::cellPose;
using orvik_test::pathCells;
using Path = orvik_nav2_protocol::msg::Path;

// Cheapest step cost from `from` to `to` under the planner's own move rule (any 8-neighbour not
// in danger, diagonal 1.414), by Dijkstra; infinity when unreachable.
double dijkstraCost(const orvik_nav2_gridmap::MultiGridMap& grid, Cell from, Cell to) {
  auto costmap = grid.getCostmap();
  const int sx = static_cast<int>(costmap->getSizeInCellsX());
  const int sy = static_cast<int>(costmap->getSizeInCellsY());
  std::vector<double> dist(static_cast<std::size_t>(sx * sy),
                           std::numeric_limits<double>::infinity());
  using Item = std::pair<double, int>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
  dist[static_cast<std::size_t>(from.y * sx + from.x)] = 0.0;
  queue.push({0.0, from.y * sx + from.x});
  while (!queue.empty()) {
    const auto [d, index] = queue.top();
    queue.pop();
    if (d > dist[static_cast<std::size_t>(index)]) {
      continue;
    }
    const int x = index % sx;
    const int y = index / sx;
    for (int dx = -1; dx <= 1; ++dx) {
      for (int dy = -1; dy <= 1; ++dy) {
        const int nx = x + dx;
        const int ny = y + dy;
        if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= sx || ny >= sy ||
            grid.inDanger(static_cast<unsigned int>(nx), static_cast<unsigned int>(ny), 0)) {
          continue;
        }
        const double nd = d + ((dx != 0 && dy != 0) ? 1.414 : 1.0);
        const std::size_t n = static_cast<std::size_t>(ny * sx + nx);
        if (nd < dist[n]) {
          dist[n] = nd;
          queue.push({nd, ny * sx + nx});
        }
      }
    }
  }
  return dist[static_cast<std::size_t>(to.y * sx + to.x)];
}

double stepCost(const std::vector<Cell>& cells) {
  double cost = 0.0;
  for (std::size_t i = 1; i < cells.size(); ++i) {
    const bool diagonal = cells[i].x != cells[i - 1].x && cells[i].y != cells[i - 1].y;
    cost += diagonal ? 1.414 : 1.0;
  }
  return cost;
}

TEST(AstarSearchOracle, FindsAPathExactlyWhenBreadthFirstSearchReachesTheGoal) {
  std::mt19937 rng(1234);
  int found = 0;
  int refused = 0;
  for (unsigned int seed = 0; seed < 150; ++seed) {
    const unsigned int sx = 6 + seed % 17;
    const unsigned int sy = 5 + (seed * 7) % 13;
    const double density = 0.15 + 0.3 * ((seed % 5) / 4.0);
    auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
        orvik_test::randomCostmap(sx, sy, density, seed), orvik_nav2_gridmap::GridMapConfig{});
    const auto& grid = *map->getMultiGridMap();
    std::vector<Cell> free_cells;
    for (unsigned int y = 0; y < sy; ++y) {
      for (unsigned int x = 0; x < sx; ++x) {
        if (!grid.inDanger(x, y, 0)) {
          free_cells.push_back({static_cast<int>(x), static_cast<int>(y)});
        }
      }
    }
    if (free_cells.size() < 2) {
      continue;
    }
    AstarPlanner planner("oracle", map);
    for (int query = 0; query < 4; ++query) {
      const Cell s = free_cells[rng() % free_cells.size()];
      const Cell g = free_cells[rng() % free_cells.size()];
      Path path;
      const bool ok = planner.searchPath(cellPose(map, s.x, s.y), cellPose(map, g.x, g.y),
                                         AstarOptions(), path);
      const bool reachable = orvik_test::bfsReachable(grid, s, g, 0);
      ASSERT_EQ(ok, reachable) << "seed " << seed << " from " << s.x << "," << s.y << " to " << g.x
                               << "," << g.y;
      if (!ok) {
        ++refused;
        EXPECT_TRUE(path.poses.empty());
        continue;
      }
      ++found;
      const std::vector<Cell> cells = pathCells(map, path);
      ASSERT_FALSE(cells.empty());
      EXPECT_EQ(cells.front(), s);
      EXPECT_EQ(cells.back(), g);
      for (std::size_t i = 0; i < cells.size(); ++i) {
        EXPECT_FALSE(grid.inDanger(cells[i].x, cells[i].y, 0));
        if (i > 0) {
          const int dx = std::abs(cells[i].x - cells[i - 1].x);
          const int dy = std::abs(cells[i].y - cells[i - 1].y);
          EXPECT_TRUE(dx <= 1 && dy <= 1 && dx + dy > 0) << "seed " << seed << " step " << i;
        }
      }
      // Opened entries keep their first priority (no decrease-key) and closed nodes are never
      // reopened, so the path may be a little longer than the optimum; a wrong step cost, a
      // detour or a loop would show as far more.
      const double optimum = dijkstraCost(grid, s, g);
      EXPECT_LE(stepCost(cells), optimum * 1.15 + 1.0) << "seed " << seed;
      EXPECT_GE(stepCost(cells), optimum - 1e-9);
    }
  }
  // The sample must exercise both outcomes.
  EXPECT_GT(found, 100);
  EXPECT_GT(refused, 10);
}

TEST(AstarSearchOracle, ParentLinksCarryConsistentCosts) {
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      orvik_test::randomCostmap(40, 40, 0.3, 99), orvik_nav2_gridmap::GridMapConfig{});
  AstarPlanner planner("chain", map);
  AstarOptions options;
  options.start_fuzzy_radius = 0.3;
  options.goal_fuzzy_radius = 0.3;
  Path path;
  ASSERT_TRUE(planner.searchPath(cellPose(map, 0, 0), cellPose(map, 39, 39), options, path));
  const std::vector<Cell> cells = pathCells(map, path);
  // Walk the table from the goal cell: g must grow by exactly the step cost along the parents.
  const AstarNode* node = planner.getTable()->find(cells.back().x, cells.back().y);
  ASSERT_NE(node, nullptr);
  std::size_t steps = 0;
  while (node->parent != nullptr) {
    const AstarNode* parent = node->parent;
    const bool diagonal = node->x != parent->x && node->y != parent->y;
    EXPECT_NEAR(node->g - parent->g, diagonal ? 1.414 : 1.0, 1e-9);
    EXPECT_TRUE(parent->closed);
    node = parent;
    ++steps;
  }
  EXPECT_EQ(steps + 1, cells.size());
  EXPECT_EQ(node->g, 0.0);
}

TEST(AstarSearchOracle, RealScanMapAgreesWithBreadthFirstSearch) {
  const std::string dir = orvik_test::sharedMapsDir();
  if (dir.empty()) {
    GTEST_SKIP() << "shared maps folder absent";
  }
  auto map = orvik_nav2_gridmap::loadRosMap(dir + "/turtlebot3_world/turtlebot3_world.yaml",
                                            orvik_nav2_gridmap::GridMapConfig{});
  const auto& grid = *map->getMultiGridMap();
  const auto costmap = grid.getCostmap();
  std::vector<Cell> free_cells;
  for (unsigned int y = 0; y < costmap->getSizeInCellsY(); y += 3) {
    for (unsigned int x = 0; x < costmap->getSizeInCellsX(); x += 3) {
      if (!grid.inDanger(x, y, 0)) {
        free_cells.push_back({static_cast<int>(x), static_cast<int>(y)});
      }
    }
  }
  ASSERT_GT(free_cells.size(), 100u);
  AstarPlanner planner("tb3", map);
  std::mt19937 rng(5);
  for (int query = 0; query < 12; ++query) {
    const Cell s = free_cells[rng() % free_cells.size()];
    const Cell g = free_cells[rng() % free_cells.size()];
    Path path;
    const bool ok =
        planner.searchPath(cellPose(map, s.x, s.y), cellPose(map, g.x, g.y), AstarOptions(), path);
    ASSERT_EQ(ok, orvik_test::bfsReachable(grid, s, g, 0));
    if (ok) {
      const auto cells = pathCells(map, path);
      EXPECT_EQ(cells.front(), s);
      EXPECT_EQ(cells.back(), g);
      EXPECT_LE(stepCost(cells), dijkstraCost(grid, s, g) * 1.15 + 1.0);
    }
  }
}

}  // namespace

namespace {

// With map costs in the heuristic the priority is inconsistent, so nodes are often reached
// again more cheaply after they were opened. Every node still open at the end must then hold
// the cheapest cost offered by any expanded neighbour, with that neighbour as its parent.
TEST(AstarSearchOracle, OpenNodesKeepTheCheapestCostOfferedByExpandedNeighbours) {
  std::mt19937 rng(8);
  for (unsigned int seed = 0; seed < 20; ++seed) {
    nav2_costmap_2d::Costmap2D costmap(30, 30, 0.05, 0.0, 0.0, 0);
    for (unsigned int y = 0; y < 30; ++y) {
      for (unsigned int x = 0; x < 30; ++x) {
        const unsigned int r = rng() % 100;
        costmap.setCost(
            x, y,
            r < 15 ? nav2_costmap_2d::LETHAL_OBSTACLE : static_cast<unsigned char>(rng() % 200));
      }
    }
    costmap.setCost(0, 0, 0);
    costmap.setCost(29, 29, 0);
    auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
        costmap, orvik_nav2_gridmap::GridMapConfig{});
    AstarPlanner planner("reopen", map);
    AstarOptions options;
    options.cost_weight = 0.05;
    Path path;
    planner.searchPath(cellPose(map, 0, 0), cellPose(map, 29, 29), options, path);
    const auto& table = *planner.getTable();
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 30; ++x) {
        const AstarNode* node = table.find(x, y);
        if (node == nullptr || !node->opened || node->closed) {
          continue;
        }
        double best = std::numeric_limits<double>::infinity();
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const AstarNode* k = table.find(x + dx, y + dy);
            if ((dx == 0 && dy == 0) || k == nullptr || !k->closed) {
              continue;
            }
            best = std::min(best, k->g + ((dx != 0 && dy != 0) ? 1.414 : 1.0));
          }
        }
        ASSERT_NE(node->parent, nullptr);
        EXPECT_TRUE(node->parent->closed);
        EXPECT_NEAR(node->g, best, 1e-9) << "seed " << seed << " at " << x << "," << y;
        const bool diagonal = node->parent->x != x && node->parent->y != y;
        EXPECT_NEAR(node->g, node->parent->g + (diagonal ? 1.414 : 1.0), 1e-9);
      }
    }
  }
}

}  // namespace
