// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/fuzzy_point.hpp"
#include "planner_test_support.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarNode;
using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_nav2_planner::astar2::fuzzyPoint;
using orvik_test::Cell;

// A map that is lethal everywhere except the listed cells; resolution 0.05 m.
std::shared_ptr<orvik_nav2_gridmap::GridMapROS> blockedMapExcept(unsigned int sx, unsigned int sy,
                                                                 const std::vector<Cell>& open) {
  nav2_costmap_2d::Costmap2D costmap(sx, sy, 0.05, 0.0, 0.0, nav2_costmap_2d::LETHAL_OBSTACLE);
  for (const Cell& c : open) {
    costmap.setCost(c.x, c.y, nav2_costmap_2d::FREE_SPACE);
  }
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap,
                                                          orvik_nav2_gridmap::GridMapConfig{});
}

Cell moved(const std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map, Cell from, double radius,
           bool* ok = nullptr) {
  AstarNode node;
  node.index = from.x + from.y * 100;
  node.x = from.x;
  node.y = from.y;
  const bool result = fuzzyPoint(map, &node, radius, 0);
  if (ok != nullptr) {
    *ok = result;
  }
  EXPECT_EQ(node.index, from.x + from.y * 100) << "the index must not follow the move";
  return {node.x, node.y};
}

TEST(FuzzyPoint, UsableCellStaysWhateverTheRadius) {
  auto map = blockedMapExcept(5, 5, {{2, 2}, {1, 2}});
  for (double radius : {0.0, 0.05, 0.2, 10.0, std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(moved(map, {2, 2}, radius), (Cell{2, 2}));
  }
}

TEST(FuzzyPoint, EqualDistanceGoesToTheLowerRow) {
  auto map = blockedMapExcept(5, 5, {{1, 2}, {2, 1}});
  EXPECT_EQ(moved(map, {2, 2}, 0.1), (Cell{2, 1}));
}

TEST(FuzzyPoint, EarlierRowWinsAtDistanceTwoUnlessACloserCellExists) {
  auto map = blockedMapExcept(6, 5, {{1, 1}, {0, 2}});
  EXPECT_EQ(moved(map, {2, 2}, 0.1), (Cell{1, 1}));
  auto closer = blockedMapExcept(6, 5, {{1, 1}, {0, 2}, {3, 2}});
  EXPECT_EQ(moved(closer, {2, 2}, 0.1), (Cell{3, 2}));
}

TEST(FuzzyPoint, WindowOverTheBorderScansOnlyTheMap) {
  auto map = blockedMapExcept(4, 4, {{3, 3}});
  EXPECT_EQ(moved(map, {0, 0}, 0.2), (Cell{3, 3}));
  bool ok = true;
  moved(map, {0, 0}, 0.1, &ok);
  EXPECT_FALSE(ok);
}

TEST(FuzzyPoint, NonFiniteAndHugeRadiiStayBoundedAndFindTheNearestCell) {
  auto map = blockedMapExcept(30, 20, {{29, 0}, {25, 19}});
  EXPECT_EQ(moved(map, {0, 19}, std::numeric_limits<double>::infinity()), (Cell{25, 19}));
  EXPECT_EQ(moved(map, {0, 19}, 1e300), (Cell{25, 19}));
  EXPECT_EQ(moved(map, {0, 19}, std::numeric_limits<double>::max()), (Cell{25, 19}));
  bool ok = true;
  moved(map, {0, 19}, std::numeric_limits<double>::quiet_NaN(), &ok);
  EXPECT_FALSE(ok);
}

TEST(FuzzyPoint, AgreesWithABruteForceScanOnRandomMaps) {
  std::mt19937 rng(77);
  for (unsigned int seed = 0; seed < 60; ++seed) {
    const unsigned int sx = 5 + seed % 11;
    const unsigned int sy = 4 + seed % 9;
    auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
        orvik_test::randomCostmap(sx, sy, 0.75, seed), orvik_nav2_gridmap::GridMapConfig{});
    const auto& grid = *map->getMultiGridMap();
    for (int query = 0; query < 10; ++query) {
      const Cell from{static_cast<int>(rng() % sx), static_cast<int>(rng() % sy)};
      const double radius = 0.05 * (rng() % 6) + 0.01;
      const int h = static_cast<int>(radius / 0.05);
      // Candidates sorted by distance, then row, then column.
      std::vector<std::tuple<int, int, int>> candidates;
      for (int y = 0; y < static_cast<int>(sy); ++y) {
        for (int x = 0; x < static_cast<int>(sx); ++x) {
          if (std::abs(x - from.x) <= h && std::abs(y - from.y) <= h && !grid.inDanger(x, y, 0)) {
            candidates.emplace_back(std::abs(x - from.x) + std::abs(y - from.y), y, x);
          }
        }
      }
      std::sort(candidates.begin(), candidates.end());
      bool ok = false;
      const Cell result = moved(map, from, radius, &ok);
      if (!grid.inDanger(from.x, from.y, 0)) {
        EXPECT_TRUE(ok);
        EXPECT_EQ(result, from);
      } else if (candidates.empty()) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(result, from);
      } else {
        EXPECT_TRUE(ok);
        EXPECT_EQ(result, (Cell{std::get<2>(candidates[0]), std::get<1>(candidates[0])}))
            << "seed " << seed << " query " << query;
      }
    }
  }
}

TEST(FuzzyNodeAndCheck, RadiusBelowOneCellFailsWithBothErrorLines) {
  auto map = blockedMapExcept(5, 5, {{1, 2}});
  AstarPlanner planner("fz", map);
  AstarNode* node = planner.getTable()->findOrCreate(2, 2);
  orvik_test::LogCapture log;
  EXPECT_FALSE(planner.fuzzyNodeAndCheck(node, 0.04, 0));
  EXPECT_TRUE(log.contains(spdlog::level::err, "Cloud could not find the best node"));
  EXPECT_TRUE(log.contains(spdlog::level::err,
                           "AstarPlanner::fuzzyPoint fuzzyNode failed, error code is 101100011"));
}

TEST(FuzzyNodeAndCheck, TinyRadiusRefusesADangerousCellWithoutSearching) {
  auto map = blockedMapExcept(5, 5, {{1, 2}});
  AstarPlanner planner("fz", map);
  AstarNode* node = planner.getTable()->findOrCreate(2, 2);
  orvik_test::LogCapture log;
  EXPECT_FALSE(planner.fuzzyNodeAndCheck(node, 0.001, 0));
  EXPECT_TRUE(log.contains(spdlog::level::err, "pose(2 2) is not valid:"));
  EXPECT_FALSE(log.mentions("Cloud could not find the best node"));
}

TEST(FuzzyNodeAndCheck, MovedEndpointsShapeThePathAndThePublishedPoses) {
  // Start (0, 0) and goal (4, 0) are walls; of the free cells one step away, those in row 0
  // come first: (1, 0) and (3, 0).
  auto map = orvik_test::gridMapFromAscii({".....", ".....", "#...#"});
  AstarPlanner planner("moved", map);
  AstarOptions options;
  options.start_fuzzy_radius = 0.06;
  options.goal_fuzzy_radius = 0.06;
  orvik_nav2_protocol::msg::Path path;
  auto trace = orvik_communicator::CommunicatorEngine::GetInstance()->getMicroUnitTrace();
  const std::size_t before = trace->localEndPoseCount();
  ASSERT_TRUE(planner.searchPath(orvik_test::cellPose(map, 0, 0), orvik_test::cellPose(map, 4, 0),
                                 options, path));
  const auto cells = orvik_test::pathCells(map, path);
  EXPECT_EQ(cells.front(), (Cell{1, 0}));
  EXPECT_EQ(cells.back(), (Cell{3, 0}));
  EXPECT_EQ(trace->localEndPoseCount(), before + 1);
  const auto [start, goal] = trace->lastLocalEndPose();
  EXPECT_DOUBLE_EQ(start.pose.position.x, 0.075);
  EXPECT_DOUBLE_EQ(start.pose.position.y, 0.025);
  EXPECT_DOUBLE_EQ(goal.pose.position.x, 0.175);
  EXPECT_DOUBLE_EQ(goal.pose.position.y, 0.025);
  EXPECT_EQ(start.header.frame_id, "map");
}

}  // namespace
