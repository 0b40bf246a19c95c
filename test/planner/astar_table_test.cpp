// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <vector>

#include "orvik_nav2_planner/astar_table.hpp"
#include "planner_test_support.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarNode;
using orvik_nav2_planner::astar2::AstarTable;

std::shared_ptr<orvik_nav2_gridmap::GridMapROS> openMap(int side) {
  return orvik_test::gridMapFromAscii(std::vector<std::string>(side, std::string(side, '.')));
}

std::vector<std::pair<int, int>> offsetsOf(const AstarNode* centre,
                                           const std::vector<AstarNode*>& nodes) {
  std::vector<std::pair<int, int>> out;
  for (const AstarNode* n : nodes) {
    out.emplace_back(n->x - centre->x, n->y - centre->y);
  }
  return out;
}

TEST(AstarTable, InteriorNeighboursComeInTheFixedOffsetOrder) {
  AstarTable table(openMap(5));
  AstarNode* centre = table.findOrCreate(2, 2);
  std::vector<AstarNode*> neighbors;
  table.getNeighbors(centre, neighbors, nullptr, 0);
  const std::vector<std::pair<int, int>> expected = {{-1, 0}, {-1, 1}, {-1, -1}, {0, 1},
                                                     {0, -1}, {1, 0},  {1, 1},   {1, -1}};
  EXPECT_EQ(offsetsOf(centre, neighbors), expected);
  for (const AstarNode* n : neighbors) {
    EXPECT_EQ(n->index, n->x + n->y * 5);
  }
}

TEST(AstarTable, CornerCellYieldsThreeNeighboursAndEdgeCellFive) {
  AstarTable table(openMap(4));
  std::vector<AstarNode*> neighbors;
  table.getNeighbors(table.findOrCreate(0, 0), neighbors, nullptr, 0);
  EXPECT_EQ(neighbors.size(), 3u);
  neighbors.clear();
  table.getNeighbors(table.findOrCreate(3, 3), neighbors, nullptr, 0);
  EXPECT_EQ(neighbors.size(), 3u);
  neighbors.clear();
  table.getNeighbors(table.findOrCreate(0, 2), neighbors, nullptr, 0);
  EXPECT_EQ(neighbors.size(), 5u);
  neighbors.clear();
  table.getNeighbors(table.findOrCreate(2, 3), neighbors, nullptr, 0);
  EXPECT_EQ(neighbors.size(), 5u);
}

TEST(AstarTable, DangerousNeighbourIsNeitherReturnedNorCreatedAtThatLevelOnly) {
  // Level 0 needs 0.12 m clearance, level 1 none: the cell next to the wall is in danger only
  // at level 0.
  orvik_nav2_gridmap::GridMapConfig config;
  config.danger_clearances = {0.12, 0.0};
  auto map = orvik_test::gridMapFromAscii({"....#", ".....", "....."}, config);
  ASSERT_TRUE(map->getMultiGridMap()->inDanger(3, 2, 0));
  ASSERT_FALSE(map->getMultiGridMap()->inDanger(3, 2, 1));
  AstarTable table(map);
  std::vector<AstarNode*> neighbors;
  table.getNeighbors(table.findOrCreate(2, 1), neighbors, nullptr, 0);
  for (const AstarNode* n : neighbors) {
    EXPECT_FALSE(n->x == 3 && n->y == 2);
  }
  EXPECT_EQ(table.find(3, 2), nullptr);
  neighbors.clear();
  table.getNeighbors(table.findOrCreate(2, 1), neighbors, nullptr, 1);
  EXPECT_NE(table.find(3, 2), nullptr);
}

// The table asks inDanger once per cell and keeps the answer until the level changes or the
// table is cleared; asked at one level after another, the neighbours must each time be exactly
// the in-map 8-neighbours that inDanger calls usable at that level, in the fixed order.
TEST(AstarTable, NeighboursAreTheUsableCellsAtEachLevelInTurn) {
  const std::vector<std::pair<int, int>> order = {{-1, 0}, {-1, 1}, {-1, -1}, {0, 1},
                                                  {0, -1}, {1, 0},  {1, 1},   {1, -1}};
  for (unsigned int seed = 1; seed <= 4; ++seed) {
    const auto costmap = orvik_test::randomCostmap(11 + 9 * seed, 9 + 8 * seed, 0.15, seed);
    orvik_nav2_gridmap::GridMapConfig config;
    config.danger_clearances = {0.07, 0.0, 0.12};
    auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, config);
    const auto& grid = *map->getMultiGridMap();
    AstarTable table(map);
    const int size_x = table.sizeX();
    const int size_y = table.sizeY();
    for (int level : {0, 1, 2, 7, 1, -3}) {
      for (int y = 0; y < size_y; ++y) {
        for (int x = 0; x < size_x; ++x) {
          AstarNode* centre = table.findOrCreate(x, y);
          std::vector<std::pair<int, int>> expected;
          for (const auto& [dx, dy] : order) {
            const int nx = x + dx;
            const int ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < size_x && ny < size_y &&
                !grid.inDanger(static_cast<unsigned>(nx), static_cast<unsigned>(ny), level)) {
              expected.emplace_back(dx, dy);
            }
          }
          std::vector<AstarNode*> neighbors;
          table.getNeighbors(centre, neighbors, nullptr, level);
          ASSERT_EQ(offsetsOf(centre, neighbors), expected)
              << "seed " << seed << " level " << level << " cell " << x << "," << y;
        }
      }
    }
  }
}

TEST(AstarTable, SkipAllAppendsNothingButCreatesTheNodes) {
  AstarTable table(openMap(3));
  std::vector<AstarNode*> neighbors;
  table.getNeighbors(
      table.findOrCreate(1, 1), neighbors, [](const AstarNode*) { return true; }, 0);
  EXPECT_TRUE(neighbors.empty());
  EXPECT_EQ(table.size(), 9u);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_NE(table.find(x, y), nullptr);
    }
  }
}

TEST(AstarTable, NeighboursAreAppendedAfterExistingEntries) {
  AstarTable table(openMap(3));
  AstarNode sentinel;
  std::vector<AstarNode*> neighbors{&sentinel};
  table.getNeighbors(table.findOrCreate(0, 0), neighbors, nullptr, 0);
  ASSERT_EQ(neighbors.size(), 4u);
  EXPECT_EQ(neighbors.front(), &sentinel);
}

TEST(AstarTable, BacktraceRunsFromTheNodeToTheStartAndAppends) {
  AstarTable table(openMap(4));
  AstarNode* a = table.findOrCreate(0, 0);
  AstarNode* b = table.findOrCreate(1, 1);
  AstarNode* c = table.findOrCreate(2, 1);
  b->parent = a;
  c->parent = b;
  std::vector<AstarNode*> path;
  table.backtracePath(a, path);
  EXPECT_EQ(path, std::vector<AstarNode*>({a}));
  table.backtracePath(c, path);
  EXPECT_EQ(path, std::vector<AstarNode*>({a, c, b, a}));
  table.backtracePath(nullptr, path);
  EXPECT_EQ(path.size(), 4u);
}

// The walk follows parent links and nothing else: a chain longer than what the table created
// (here: nodes the table never made, on an empty table) is followed to its end, and a chain
// that loops back ends before its first repeated node instead of hanging.
TEST(AstarTable, BacktraceFollowsAnyChainToItsRootAndStopsAtALoop) {
  AstarTable table(openMap(4));
  std::vector<AstarNode> chain(300);
  for (std::size_t i = 1; i < chain.size(); ++i) {
    chain[i].parent = &chain[i - 1];
  }
  std::vector<AstarNode*> path;
  table.backtracePath(&chain.back(), path);
  ASSERT_EQ(path.size(), chain.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    EXPECT_EQ(path[i], &chain[chain.size() - 1 - i]);
  }

  // Loops of every length entered after every number of nodes, on the same 12 nodes.
  for (std::size_t before = 0; before < 6; ++before) {
    for (std::size_t loop = 1; loop <= 6; ++loop) {
      std::vector<AstarNode> nodes(before + loop);
      for (std::size_t i = 0; i + 1 < nodes.size(); ++i) {
        nodes[i].parent = &nodes[i + 1];
      }
      nodes.back().parent = &nodes[before];
      path.clear();
      table.backtracePath(&nodes.front(), path);
      ASSERT_EQ(path.size(), nodes.size()) << before << " before a loop of " << loop;
      for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(path[i], &nodes[i]);
      }
    }
  }
}

TEST(AstarTable, ClearGivesFreshNodesWithStableAddressesWhileGrowing) {
  AstarTable table(openMap(200));
  AstarNode* first = table.findOrCreate(5, 5);
  first->g = 7.0;
  first->closed = true;
  first->opened = true;
  // Touch every cell: the first node must not move while the table grows.
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 200; ++x) {
      table.findOrCreate(x, y);
    }
  }
  EXPECT_EQ(table.findOrCreate(5, 5), first);
  EXPECT_EQ(first->g, 7.0);
  EXPECT_EQ(table.size(), 40000u);
  table.clear();
  EXPECT_EQ(table.size(), 0u);
  EXPECT_EQ(table.memoryBytes(), 0u);
  EXPECT_EQ(table.find(5, 5), nullptr);
  AstarNode* fresh = table.findOrCreate(5, 5);
  EXPECT_EQ(fresh->g, 0.0);
  EXPECT_FALSE(fresh->closed);
  EXPECT_FALSE(fresh->opened);
  EXPECT_EQ(fresh->parent, nullptr);
  EXPECT_EQ(fresh->index, 5 + 5 * 200);
}

TEST(AstarTable, CellsOffTheMapHaveNoNode) {
  AstarTable table(openMap(3));
  EXPECT_EQ(table.findOrCreate(-1, 0), nullptr);
  EXPECT_EQ(table.findOrCreate(0, 3), nullptr);
  EXPECT_EQ(table.find(3, 0), nullptr);
  EXPECT_EQ(table.size(), 0u);
}

TEST(AstarTable, NullMapIsRefused) {
  EXPECT_THROW(AstarTable table(nullptr), std::invalid_argument);
}

}  // namespace
