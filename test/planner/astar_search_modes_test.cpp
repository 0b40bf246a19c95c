// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include <fmt/format.h>
#include <vector>

#include "orvik_nav2_planner/astar_planner.hpp"
#include "planner_test_support.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarNode;
using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_nav2_planner::astar2::ReferencePath;
using orvik_test::Cell;
using orvik_test::cellPose;
using orvik_test::pathCells;
using MultiPaths = orvik_nav2_protocol::msg::MultiPaths;
using Path = orvik_nav2_protocol::msg::Path;

geometry_msgs::msg::Point point(double x, double y) {
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  return p;
}

orvik_nav2_gridmap::GridMapConfig longRobot() {
  orvik_nav2_gridmap::GridMapConfig config;
  config.footprint = {point(0.3, 0.08), point(-0.3, 0.08), point(-0.3, -0.08), point(0.3, -0.08)};
  // Danger on obstacle cells only, so that the cells next to a wall stay usable endpoints.
  config.danger_clearances = {0.0};
  return config;
}

// 100 x 60 cells: a corridor six cells wide (rows 27 to 32) from x = 1 to 49, opening into a
// walled room (x 50 to 98, y 1 to 58) where a full turn is free. With `room` false the corridor
// ends in a wall instead.
std::shared_ptr<orvik_nav2_gridmap::GridMapROS> corridorAndRoom(bool room) {
  nav2_costmap_2d::Costmap2D costmap(100, 60, 0.05, 0.0, 0.0, nav2_costmap_2d::LETHAL_OBSTACLE);
  for (unsigned int y = 27; y <= 32; ++y) {
    for (unsigned int x = 1; x < 50; ++x) {
      costmap.setCost(x, y, nav2_costmap_2d::FREE_SPACE);
    }
  }
  if (room) {
    for (unsigned int y = 1; y < 59; ++y) {
      for (unsigned int x = 50; x < 99; ++x) {
        costmap.setCost(x, y, nav2_costmap_2d::FREE_SPACE);
      }
    }
  }
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, longRobot());
}

TEST(SearchPaths, BlockedRotationInACorridorGivesForwardAndBackwardLegs) {
  auto map = corridorAndRoom(true);
  AstarPlanner planner("modes", map);
  AstarOptions options;
  options.search_spin_free_point = true;
  MultiPaths paths;
  orvik_test::LogCapture log;
  // Facing +x towards the room, goal behind.
  const auto start = cellPose(map, 30, 29, 0.0);
  ASSERT_TRUE(planner.searchPaths(start, cellPose(map, 5, 29), options, paths));
  ASSERT_EQ(paths.paths.size(), 2u) << log.text();
  const auto forward = pathCells(map, paths.paths[0]);
  const auto backward = pathCells(map, paths.paths[1]);
  EXPECT_EQ(forward.front(), (Cell{30, 29}));
  EXPECT_GE(forward.back().x, 50) << "the turn must happen in the room";
  // Accepted either outright (over 0.8 m clear) or after a full-turn check (0.6 to 0.8 m).
  EXPECT_GE(map->getMultiGridMap()->getDistance(forward.back().x, forward.back().y), 0.6);
  EXPECT_EQ(backward.front(), forward.back());
  EXPECT_EQ(backward.back(), (Cell{5, 29}));
  EXPECT_FLOAT_EQ(paths.paths[0].goal_tolerance, 0.1f);
  EXPECT_EQ(paths.paths[0].poses.back().pose.orientation.w, 1.0);
  EXPECT_TRUE(log.contains(spdlog::level::info,
                           "AstarPlanner(modes): search try to findSpinFreePointForward"));
  EXPECT_TRUE(
      log.contains(spdlog::level::info, "AstarPlanner(modes): find forward path successfully"));
  EXPECT_TRUE(
      log.contains(spdlog::level::info, "AstarPlanner(modes): search try to find backward path"));
  // The start position is logged as given, in full precision.
  EXPECT_TRUE(log.contains(
      spdlog::level::info,
      fmt::format("Current pose is ({},{})", start.pose.position.x, start.pose.position.y)));
  EXPECT_TRUE(log.contains(spdlog::level::info, "Recieved goal pose is (0.275,1.475)"));
}

TEST(SearchPaths, WithoutSpinFreePointTheDirectPathIsReturnedAlone) {
  auto map = corridorAndRoom(true);
  AstarPlanner planner("modes", map);
  AstarOptions options;
  options.check_spin_direction = true;
  MultiPaths paths;
  ASSERT_TRUE(
      planner.searchPaths(cellPose(map, 30, 29, 0.0), cellPose(map, 5, 29), options, paths));
  ASSERT_EQ(paths.paths.size(), 1u);
  EXPECT_TRUE(paths.paths[0].spin_blocked_on_path);
  EXPECT_EQ(pathCells(map, paths.paths[0]).back(), (Cell{5, 29}));
}

TEST(SearchPaths, NoTurnAroundCellKeepsTheDirectPath) {
  auto map = corridorAndRoom(false);
  AstarPlanner planner("modes", map);
  AstarOptions options;
  options.search_spin_free_point = true;
  MultiPaths paths;
  ASSERT_TRUE(
      planner.searchPaths(cellPose(map, 30, 29, 0.0), cellPose(map, 5, 29), options, paths));
  ASSERT_EQ(paths.paths.size(), 1u);
  EXPECT_TRUE(paths.paths[0].spin_blocked_on_path);
  EXPECT_EQ(pathCells(map, paths.paths[0]).front(), (Cell{30, 29}));
}

TEST(SearchPaths, FailingBackwardLegKeepsTheDirectPath) {
  // The goal is a wall cell: the caller's goal radius moves it, the backward leg's default
  // options (radius 0) cannot.
  auto map = corridorAndRoom(true);
  AstarPlanner planner("modes", map);
  AstarOptions options;
  options.search_spin_free_point = true;
  options.goal_fuzzy_radius = 0.1;
  MultiPaths paths;
  ASSERT_TRUE(
      planner.searchPaths(cellPose(map, 30, 29, 0.0), cellPose(map, 5, 26), options, paths));
  ASSERT_EQ(paths.paths.size(), 1u);
  EXPECT_EQ(pathCells(map, paths.paths[0]).back(), (Cell{5, 27}));
}

TEST(SearchPaths, FailedDirectSearchLeavesThePathsUntouched) {
  auto map = corridorAndRoom(true);
  AstarPlanner planner("modes", map);
  MultiPaths paths;
  paths.paths.resize(1);
  orvik_test::LogCapture log;
  EXPECT_FALSE(
      planner.searchPaths(cellPose(map, 30, 29), cellPose(map, 0, 0), AstarOptions(), paths));
  EXPECT_EQ(paths.paths.size(), 1u);
  EXPECT_TRUE(log.contains(spdlog::level::info, "AstarPlanner(modes): search failed"));
}

TEST(SearchForwardPath, OpenGroundStopsAtTheFirstNodeWithAGrandparent) {
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      nav2_costmap_2d::Costmap2D(80, 80, 0.05, 0.0, 0.0, 0), orvik_nav2_gridmap::GridMapConfig{});
  AstarPlanner planner("fwd", map);
  Path path;
  path.poses.resize(2);  // poses are appended to what the caller passed
  ASSERT_TRUE(planner.searchForwardPath(cellPose(map, 40, 40), AstarOptions(), path));
  ASSERT_EQ(path.poses.size(), 2u + 3u);
  std::vector<Cell> cells = pathCells(map, path);
  cells.erase(cells.begin(), cells.begin() + 2);
  EXPECT_EQ(cells.front(), (Cell{40, 40}));
  // The cheapest node with a grandparent lies two straight steps away in one direction
  // (g = 2, below 1 + 1.414); a bent pair of straight steps reaches a diagonal neighbour,
  // which the start already opened more cheaply.
  const int dx1 = cells[1].x - cells[0].x;
  const int dy1 = cells[1].y - cells[0].y;
  EXPECT_EQ(std::abs(dx1) + std::abs(dy1), 1);
  EXPECT_EQ(cells[2].x - cells[1].x, dx1);
  EXPECT_EQ(cells[2].y - cells[1].y, dy1);
  EXPECT_FLOAT_EQ(path.goal_tolerance, 0.1f);
  EXPECT_EQ(path.poses.back().pose.orientation.w, 1.0);
}

TEST(SearchForwardPath, UnusableStartFails) {
  auto map = corridorAndRoom(true);
  AstarPlanner planner("fwd", map);
  Path path;
  orvik_test::LogCapture log;
  EXPECT_FALSE(planner.searchForwardPath(cellPose(map, 0, 0), AstarOptions(), path));
  EXPECT_TRUE(log.contains(spdlog::level::err, "AstarPlanner(fwd): setStartNode fuzzyNode failed"));
}

TEST(SearchForwardPath, SeesTheConstraintOfTheLastOrdinarySearch) {
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      nav2_costmap_2d::Costmap2D(80, 80, 0.05, 0.0, 0.0, 0), orvik_nav2_gridmap::GridMapConfig{});
  AstarPlanner planner("fwd", map);
  ReferencePath reference;
  // A reference leading +y from the start: its anchored corridor covers x 40 to 44 above the
  // start row, and every other step costs 10.
  for (int y = 40; y <= 60; ++y) {
    reference.path.poses.push_back(cellPose(map, 40, y));
  }
  reference.cost = 10.0;
  reference.distance = 0.5;
  AstarOptions options;
  options.use_path_consistency = true;
  options.reference_path = &reference;
  Path ordinary;
  ASSERT_TRUE(planner.searchPath(cellPose(map, 40, 40), cellPose(map, 50, 40), options, ordinary));
  ASSERT_GT(planner.getPathConstraint()->markedCount(), 0u);
  Path path;
  ASSERT_TRUE(planner.searchForwardPath(cellPose(map, 40, 40), options, path));
  const auto cells = pathCells(map, path);
  EXPECT_EQ(cells.back(), (Cell{40, 42})) << "the only cheap two-step run is up the corridor";
  Path plain;
  ASSERT_TRUE(planner.searchForwardPath(cellPose(map, 40, 40), AstarOptions(), plain));
  EXPECT_NE(pathCells(map, plain).back(), (Cell{40, 42}));
}

class CanTurnAroundTest : public ::testing::Test {
 protected:
  // Obstacle at (40, 26): cell (40, 40) is 0.7 m from it, (40, 30) 0.2 m.
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> makeMap(
      const orvik_nav2_gridmap::GridMapConfig& config) {
    nav2_costmap_2d::Costmap2D costmap(80, 80, 0.05, 0.0, 0.0, 0);
    costmap.setCost(40, 26, nav2_costmap_2d::LETHAL_OBSTACLE);
    return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, config);
  }
  std::vector<AstarNode*> chain(AstarPlanner& planner, const std::vector<Cell>& cells) {
    std::vector<AstarNode*> nodes;
    for (const Cell& c : cells) {
      nodes.push_back(planner.getTable()->findOrCreate(c.x, c.y));
      if (nodes.size() > 1) {
        nodes.back()->parent = nodes[nodes.size() - 2];
      }
    }
    return nodes;
  }
};

TEST_F(CanTurnAroundTest, NeedsAGrandparentAndADifferentCellFromTheReference) {
  auto map = makeMap({});
  AstarPlanner planner("turn", map);
  auto nodes = chain(planner, {{60, 60}, {61, 60}, {62, 60}});
  EXPECT_FALSE(planner.canTurnAround(nodes[0]));
  EXPECT_FALSE(planner.canTurnAround(nodes[1]));
  EXPECT_TRUE(planner.canTurnAround(nodes[2]));
  // Back in the cell three steps up the chain: no heading can be taken.
  AstarNode back = *nodes[0];
  back.parent = nodes[2];
  EXPECT_FALSE(planner.canTurnAround(&back));
}

TEST_F(CanTurnAroundTest, MiddleDistanceIsCheckedMarkedAndPublished) {
  orvik_nav2_gridmap::GridMapConfig small;
  small.robot_radius = 0.1;
  auto map = makeMap(small);
  AstarPlanner planner("turn", map);
  auto trace = orvik_communicator::CommunicatorEngine::GetInstance()->getMicroUnitTrace();
  trace->clear();
  // Reference three steps back at (37, 37): heading 45 degrees.
  auto nodes = chain(planner, {{37, 37}, {38, 38}, {39, 39}, {40, 40}});
  ASSERT_NEAR(map->getMultiGridMap()->getDistance(40, 40), 0.7, 1e-6);
  EXPECT_TRUE(planner.canTurnAround(nodes[3]));
  EXPECT_EQ(planner.getTrace()->getTraceMat()->getMat().at<unsigned char>(40, 40), 254);
  const auto published = trace->dirPoses();
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published[0].header.frame_id, "map");
  EXPECT_DOUBLE_EQ(published[0].pose.position.x, 2.025);
  EXPECT_NEAR(published[0].pose.orientation.z, std::sin(M_PI / 8), 1e-12);
  EXPECT_NEAR(published[0].pose.orientation.w, std::cos(M_PI / 8), 1e-12);
}

TEST_F(CanTurnAroundTest, BlockedTurnOrCloseObstacleIsRefusedWithoutMarks) {
  orvik_nav2_gridmap::GridMapConfig big;
  big.footprint = {point(0.9, 0.9), point(-0.9, 0.9), point(-0.9, -0.9), point(0.9, -0.9)};
  auto map = makeMap(big);
  AstarPlanner planner("turn", map);
  auto trace = orvik_communicator::CommunicatorEngine::GetInstance()->getMicroUnitTrace();
  trace->clear();
  auto nodes = chain(planner, {{37, 37}, {38, 38}, {39, 39}, {40, 40}});
  EXPECT_FALSE(planner.canTurnAround(nodes[3]));
  auto close = chain(planner, {{40, 33}, {40, 32}, {40, 31}, {40, 30}});
  EXPECT_FALSE(planner.canTurnAround(close[3]));
  EXPECT_EQ(cv::countNonZero(planner.getTrace()->getTraceMat()->getMat()), 0);
  EXPECT_TRUE(trace->dirPoses().empty());
}

}  // namespace
