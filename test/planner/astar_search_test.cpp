// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

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

// Tie-breaking: two mirror-image routes around the wall cost the same, and the open list must
// pick the one pushed last among equal priorities ((2,1) rises above (0,1)).
TEST(AstarSearchTieBreaking, EqualRoutesAroundAPillarGoThroughTheLaterPushedSide) {
  auto map = orvik_test::gridMapFromAscii({"...", ".#.", "..."});
  AstarPlanner planner("ties", map);
  Path path;
  ASSERT_TRUE(planner.searchPath(cellPose(map, 1, 0), cellPose(map, 1, 2), AstarOptions(), path));
  EXPECT_EQ(pathCells(map, path), (std::vector<Cell>{{1, 0}, {2, 1}, {1, 2}}));
}

TEST(AstarSearchTieBreaking, DiagonalFirstWhenItsPriorityIsLower) {
  auto map = orvik_test::gridMapFromAscii({"...", "..."});
  AstarPlanner planner("diag", map);
  Path path;
  ASSERT_TRUE(planner.searchPath(cellPose(map, 0, 0), cellPose(map, 2, 1), AstarOptions(), path));
  EXPECT_EQ(pathCells(map, path), (std::vector<Cell>{{0, 0}, {1, 1}, {2, 1}}));
}

TEST(AstarSearchTieBreaking, SameRowOnAFreeMapIsTheStraightRun) {
  auto map = orvik_test::gridMapFromAscii(std::vector<std::string>(5, std::string(9, '.')));
  AstarPlanner planner("row", map);
  Path path;
  ASSERT_TRUE(planner.searchPath(cellPose(map, 1, 2), cellPose(map, 7, 2), AstarOptions(), path));
  std::vector<Cell> expected;
  for (int x = 1; x <= 7; ++x) {
    expected.push_back({x, 2});
  }
  EXPECT_EQ(pathCells(map, path), expected);
}

TEST(AstarSearchResult, PosesCarryFrameCentresAndGoalOrientationOnlyAtTheEnd) {
  auto map = orvik_test::gridMapFromAscii(std::vector<std::string>(4, std::string(6, '.')));
  AstarPlanner planner("msg", map);
  Path path;
  path.goal_tolerance = 9.0f;
  const auto goal = cellPose(map, 5, 3, 1.0);
  ASSERT_TRUE(planner.searchPath(cellPose(map, 0, 0, -2.0), goal, AstarOptions(), path));
  EXPECT_EQ(path.header.frame_id, "map");
  ASSERT_GE(path.poses.size(), 2u);
  for (std::size_t i = 0; i < path.poses.size(); ++i) {
    const auto& pose = path.poses[i];
    EXPECT_EQ(pose.header.frame_id, "map");
    EXPECT_EQ(pose.header.stamp.sec, 0);
    // Cell centres: half a cell beyond a multiple of the resolution.
    EXPECT_NEAR(std::fmod(pose.pose.position.x, 0.05), 0.025, 1e-9);
    EXPECT_NEAR(std::fmod(pose.pose.position.y, 0.05), 0.025, 1e-9);
    EXPECT_EQ(pose.pose.position.z, 0.0);
    if (i + 1 < path.poses.size()) {
      EXPECT_EQ(pose.pose.orientation.w, 1.0);
      EXPECT_EQ(pose.pose.orientation.z, 0.0);
    }
  }
  EXPECT_EQ(path.poses.back().pose.orientation, goal.pose.orientation);
  EXPECT_FLOAT_EQ(path.goal_tolerance, 0.3f);
}

TEST(AstarSearchResult, ToleranceOfAHundredthOrLessLeavesTheFieldAlone) {
  auto map = orvik_test::gridMapFromAscii({"....", "...."});
  AstarPlanner planner("tol", map);
  AstarOptions options;
  options.goal_tolerance = 0.01;
  Path path;
  path.goal_tolerance = 4.5f;
  ASSERT_TRUE(planner.searchPath(cellPose(map, 0, 0), cellPose(map, 3, 1), options, path));
  EXPECT_FLOAT_EQ(path.goal_tolerance, 4.5f);
}

TEST(AstarSearchResult, SameCellGivesOnePoseWithTheGoalOrientation) {
  auto map = orvik_test::gridMapFromAscii({"...", "...", "..."});
  AstarPlanner planner("same", map);
  Path path;
  const auto goal = cellPose(map, 1, 1, 0.7);
  ASSERT_TRUE(planner.searchPath(cellPose(map, 1, 1), goal, AstarOptions(), path));
  ASSERT_EQ(path.poses.size(), 1u);
  EXPECT_EQ(path.poses[0].pose.orientation, goal.pose.orientation);
  EXPECT_EQ(planner.expandedCount(), 1u);
}

TEST(AstarSearchResult, SameCellNearAnObstacleFailsTheGoalCheck) {
  auto map = orvik_test::gridMapFromAscii({"...", "..#", "..."});
  AstarPlanner planner("same", map);
  AstarOptions options;
  options.check_goal_reachable = true;
  Path path;
  orvik_test::LogCapture log;
  EXPECT_FALSE(planner.searchPath(cellPose(map, 1, 1), cellPose(map, 1, 1), options, path));
  EXPECT_TRUE(log.contains(spdlog::level::err, "AstarPlanner(same): can not reach goal"));
  EXPECT_TRUE(path.poses.empty());
}

TEST(AstarSearchResult, EnclosedGoalExhaustsTheOpenListWithoutAnErrorLine) {
  auto map = orvik_test::gridMapFromAscii({".......", "...###.", "...#.#.", "...###.", "......."});
  AstarPlanner planner("enclosed", map);
  Path path;
  orvik_test::LogCapture log;
  EXPECT_FALSE(planner.searchPath(cellPose(map, 0, 0), cellPose(map, 4, 2), AstarOptions(), path));
  EXPECT_EQ(log.text().find("[ERROR]"), std::string::npos) << log.text();
  // Every free cell outside the box was reached.
  EXPECT_EQ(planner.expandedCount(), 35u - 9u);
}

TEST(AstarSearchResult, TwoIdenticalRequestsGiveIdenticalPaths) {
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      orvik_test::randomCostmap(60, 60, 0.25, 3), orvik_nav2_gridmap::GridMapConfig{});
  AstarPlanner planner("twice", map);
  AstarOptions options;
  options.start_fuzzy_radius = 0.5;
  options.goal_fuzzy_radius = 0.5;
  Path first;
  Path second;
  const bool ok1 = planner.searchPath(cellPose(map, 1, 1), cellPose(map, 58, 57), options, first);
  const bool ok2 = planner.searchPath(cellPose(map, 1, 1), cellPose(map, 58, 57), options, second);
  ASSERT_TRUE(ok1);
  EXPECT_EQ(ok1, ok2);
  EXPECT_EQ(first, second);
  AstarPlanner other("twice", map);
  Path third;
  ASSERT_TRUE(other.searchPath(cellPose(map, 1, 1), cellPose(map, 58, 57), options, third));
  EXPECT_EQ(first, third);
}

TEST(AstarSearchInput, NonFiniteOrFarAwayEndpointsFailWithTheConversionLines) {
  auto map = orvik_test::gridMapFromAscii({"...", "..."});
  AstarPlanner planner("bad", map);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const auto good = cellPose(map, 1, 1);
  for (const auto& [x, y] : std::vector<std::pair<double, double>>{
           {nan, 0.01}, {0.01, nan}, {inf, 0.01}, {-inf, 0.01}, {1e300, 0.01}, {0.01, 0.2}}) {
    auto bad = good;
    bad.pose.position.x = x;
    bad.pose.position.y = y;
    Path path;
    {
      orvik_test::LogCapture log;
      EXPECT_FALSE(planner.searchPath(bad, good, AstarOptions(), path));
      EXPECT_TRUE(log.contains(spdlog::level::err, "convert point from world to map failed"));
      EXPECT_TRUE(log.contains(spdlog::level::err,
                               "AstarPlanner(bad): setStartNode convertPoseToAstarNode failed"));
    }
    {
      orvik_test::LogCapture log;
      EXPECT_FALSE(planner.searchPath(good, bad, AstarOptions(), path));
      EXPECT_TRUE(log.contains(spdlog::level::err,
                               "AstarPlanner(bad): setGoalNode convertPoseToAstarNode failed"));
    }
    EXPECT_TRUE(path.poses.empty());
  }
}

TEST(AstarSearchInput, ConvertLeavesTheNodeUntouchedOnFailure) {
  auto map = orvik_test::gridMapFromAscii({"..", ".."});
  AstarPlanner planner("conv", map);
  AstarNode* node = nullptr;
  auto pose = cellPose(map, 0, 0);
  pose.pose.position.x = -1.0;
  EXPECT_FALSE(planner.convertPoseToAstarNode(pose, &node));
  EXPECT_EQ(node, nullptr);
  ASSERT_TRUE(planner.convertPoseToAstarNode(cellPose(map, 1, 0), &node));
  EXPECT_EQ(node->x, 1);
  EXPECT_EQ(node->y, 0);
}

TEST(AstarSearchInput, NullMapIsRefusedAtConstruction) {
  EXPECT_THROW(AstarPlanner("null", nullptr), std::invalid_argument);
}

// Goal check, driven directly on a hand-built node chain.
class CanReachGoalTest : public ::testing::Test {
 protected:
  // Obstacle at (9, 3); the goal (8, 3) is 0.05 m from it.
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_ = orvik_test::gridMapFromAscii(
      {"..........", "..........", "..........", ".........#", "..........", ".........."});
  AstarPlanner planner_{"reach", map_};

  std::vector<AstarNode*> chain(const std::vector<Cell>& cells_goal_first) {
    std::vector<AstarNode*> nodes;
    for (const Cell& c : cells_goal_first) {
      nodes.push_back(planner_.getTable()->findOrCreate(c.x, c.y));
    }
    return nodes;
  }
};

TEST_F(CanReachGoalTest, NegativeToleranceSkipsTheCheck) {
  EXPECT_TRUE(planner_.canReachGoal(chain({{8, 3}}), -0.1));
}

TEST_F(CanReachGoalTest, SingleNodeNearAnObstacleFails) {
  EXPECT_FALSE(planner_.canReachGoal(chain({{8, 3}}), 0.3));
}

TEST_F(CanReachGoalTest, SmallToleranceIsReported) {
  orvik_test::LogCapture log;
  planner_.canReachGoal(chain({{8, 3}, {7, 3}}), 0.1);
  EXPECT_TRUE(
      log.contains(spdlog::level::info, "AstarPlanner(reach): canReachGoal tolerance is 0.1"));
}

TEST_F(CanReachGoalTest, ClearNodeBeyondTheToleranceApproves) {
  // Tolerance 0.05 m = 1 cell: (0, 3) is the first node beyond it and 0.45 m from the wall.
  // A one-cell-long chain would never get that far, so the start is used.
  auto far_map = orvik_test::gridMapFromAscii(std::vector<std::string>(3, std::string(30, '.')));
  AstarPlanner planner("far", far_map);
  std::vector<AstarNode*> nodes;
  for (int x = 20; x >= 0; --x) {
    nodes.push_back(planner.getTable()->findOrCreate(x, 1));
  }
  EXPECT_TRUE(planner.canReachGoal(nodes, 0.05));
}

TEST_F(CanReachGoalTest, EmptyPathIsRefused) {
  EXPECT_FALSE(planner_.canReachGoal({}, 0.3));
}

TEST(AstarSearchTiming, SlowSearchStillReturnsItsPathAndAddsOneInfoLine) {
  // A wall between start and goal, open only at the far end, makes the search flood most of
  // a 1500 x 1500 map: several million node operations, far beyond 100 ms on any machine.
  nav2_costmap_2d::Costmap2D costmap(1500, 1500, 0.05, 0.0, 0.0, 0);
  for (unsigned int y = 0; y < 1499; ++y) {
    costmap.setCost(1497, y, nav2_costmap_2d::LETHAL_OBSTACLE);
  }
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap,
                                                              orvik_nav2_gridmap::GridMapConfig{});
  AstarPlanner planner("slow", map);
  Path path;
  orvik_test::LogCapture log;
  ASSERT_TRUE(
      planner.searchPath(cellPose(map, 0, 0), cellPose(map, 1499, 0), AstarOptions(), path));
  EXPECT_GT(planner.expandedCount(), 1000000u);
  EXPECT_EQ(pathCells(map, path).back(), (Cell{1499, 0}));
  EXPECT_EQ(log.count(spdlog::level::info,
                      "AstarPlanner(slow)::searchPath found path time is too long, search time: "),
            1u);
}

}  // namespace

namespace {

TEST(AstarSearchCost, CostFlagAddsTheExtraLayerToTheHeuristic) {
  // Extra cost 250 on column 4, rows 1 to 3; rows 0 and 4 of that column stay cheap.
  const unsigned int sx = 9;
  const unsigned int sy = 5;
  std::vector<uint8_t> extra(sx * sy, 0);
  for (unsigned int y = 1; y <= 3; ++y) {
    extra[y * sx + 4] = 250;
  }
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      nav2_costmap_2d::Costmap2D(sx, sy, 0.05, 0.0, 0.0, 0), orvik_nav2_gridmap::GridMapConfig{},
      std::vector<int>{}, extra);
  AstarPlanner planner("cost", map);
  auto crossing = [&](bool flag, double weight) {
    AstarOptions options;
    options.cost_flag = flag;
    options.cost_weight = weight;
    Path path;
    EXPECT_TRUE(planner.searchPath(cellPose(map, 0, 2), cellPose(map, 8, 2), options, path));
    for (const Cell& c : pathCells(map, path)) {
      if (c.x == 4) {
        return c.y;
      }
    }
    return -1;
  };
  EXPECT_EQ(crossing(false, 1.0), 2);
  EXPECT_EQ(crossing(true, 0.0), 2);
  const int detour = crossing(true, 1.0);
  EXPECT_TRUE(detour == 0 || detour == 4) << detour;
}

}  // namespace
