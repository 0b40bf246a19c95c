// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <fmt/format.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "legacy_test_support.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "support/grid_fixtures.hpp"

namespace {

using legacy_test::cellPose;
using legacy_test::LogCapture;
using legacy_test::pathCells;
using orvik_nav2_planner::astar::AstarPlanner;
using Cells = std::vector<std::pair<int, int>>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// (1, 1) is a wall with free cells around it; the right half is free.
const std::vector<std::string> kMap = {"......", "......", ".#....", "......"};

// A request that fails must leave no poses behind, whatever the path held before.
nav_msgs::msg::Path prefilledPath() {
  nav_msgs::msg::Path path;
  path.header.frame_id = "caller";
  path.poses.resize(3);
  return path;
}

TEST(LegacyAstarEndpoints, StartOnDangerCellWithZeroRadiusFailsWithWarning) {
  auto map = orvik_test::gridMapFromAscii(kMap);
  AstarPlanner planner;
  auto path = prefilledPath();
  LogCapture capture;
  EXPECT_FALSE(
      planner.searchv2(map, cellPose(map, 1, 1), cellPose(map, 4, 3), path, false, 0.0, 0));
  EXPECT_TRUE(path.poses.empty());
  EXPECT_EQ(path.header.frame_id, "caller");
  const double distance = map->getMultiGridMap()->getDistance(1, 1);
  EXPECT_EQ(capture.count(spdlog::level::warn,
                          fmt::format("起点不可达，像素坐标：1 1;离障碍物最小距离{}", distance)),
            1);
}

TEST(LegacyAstarEndpoints, GoalOnDangerCellFailsWithWarningAfterStartWasSet) {
  auto map = orvik_test::gridMapFromAscii(kMap);
  AstarPlanner planner;
  auto path = prefilledPath();
  LogCapture capture;
  EXPECT_FALSE(
      planner.searchv2(map, cellPose(map, 5, 3), cellPose(map, 1, 1), path, false, -1.0, 0));
  EXPECT_TRUE(path.poses.empty());
  const double distance = map->getMultiGridMap()->getDistance(1, 1);
  EXPECT_EQ(capture.count(spdlog::level::warn,
                          fmt::format("终点不可达，像素坐标：1 1;离障碍物最小距离{}", distance)),
            1);
  EXPECT_EQ(planner.startNode()->x, 5.0);
  EXPECT_EQ(planner.startNode()->y, 3.0);
}

TEST(LegacyAstarEndpoints, FailedStartLeavesGoalNodeOnItsPreviousCell) {
  auto map = orvik_test::gridMapFromAscii(kMap);
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  ASSERT_TRUE(planner.searchv2(map, cellPose(map, 0, 0), cellPose(map, 3, 2), path, false, 0.0, 0));
  EXPECT_FALSE(
      planner.searchv2(map, cellPose(map, 1, 1), cellPose(map, 5, 0), path, false, 0.0, 0));
  EXPECT_EQ(planner.goalNode()->x, 3.0);
  EXPECT_EQ(planner.goalNode()->y, 2.0);
}

TEST(LegacyAstarEndpoints, EndpointsOffTheMapFailWithTheirErrorCodes) {
  auto map = orvik_test::gridMapFromAscii(kMap);
  AstarPlanner planner;
  auto path = prefilledPath();
  LogCapture capture;
  auto off = cellPose(map, 0, 0);
  off.pose.position.x = -0.01;
  EXPECT_FALSE(planner.searchv2(map, off, cellPose(map, 4, 3), path, false, 0.0, 0));
  EXPECT_TRUE(path.poses.empty());
  EXPECT_EQ(
      capture.count(spdlog::level::err, "AstarPlanner::setStart failed, error code is 101100005"),
      1);
  path = prefilledPath();
  EXPECT_FALSE(planner.searchv2(map, cellPose(map, 4, 3), off, path, false, 0.0, 0));
  EXPECT_TRUE(path.poses.empty());
  EXPECT_EQ(capture.count(spdlog::level::err,
                          "AstarPlanner::setGoal failed worldToMap, error code is 101100005"),
            1);
}

TEST(LegacyAstarEndpoints, NonFiniteCoordinatesAreRefusedAsOffTheMap) {
  auto map = orvik_test::gridMapFromAscii(kMap);
  AstarPlanner planner;
  for (double bad : {kNaN, std::numeric_limits<double>::infinity(), -1e300}) {
    auto path = prefilledPath();
    auto pose = cellPose(map, 2, 2);
    pose.pose.position.y = bad;
    EXPECT_FALSE(planner.searchv2(map, pose, cellPose(map, 4, 3), path, false, 0.0, 0));
    EXPECT_FALSE(planner.searchv2(map, cellPose(map, 4, 3), pose, path, false, 0.2, 0));
    EXPECT_FALSE(planner.searchv2(map, pose, cellPose(map, 4, 3), path, false, 0.2, 0));
    EXPECT_TRUE(path.poses.empty());
  }
}

TEST(LegacyAstarEndpoints, MissingMapFailsWithoutTouchingTheNodes) {
  AstarPlanner planner;
  auto path = prefilledPath();
  geometry_msgs::msg::PoseStamped pose;
  LogCapture capture;
  EXPECT_FALSE(planner.searchv2(nullptr, pose, pose, path, false, 0.5, 0));
  EXPECT_TRUE(path.poses.empty());
  EXPECT_FALSE(planner.setStart(nullptr, pose, 0.5, 0));
  EXPECT_FALSE(planner.setGoal(nullptr, pose, 0.0, 0));
  EXPECT_EQ(capture.problems(), 3);
}

TEST(LegacyAstarEndpoints, BlockedStartMovesToNearestFreeCellWithinRadius) {
  auto map = orvik_test::gridMapFromAscii(kMap);
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  // 0.05 m cells, radius 0.06 m: a 3 x 3 window; (1, 0) is the first free cell at distance 1.
  ASSERT_TRUE(
      planner.searchv2(map, cellPose(map, 1, 1), cellPose(map, 4, 0), path, false, 0.06, 0.0, 0));
  EXPECT_EQ(pathCells(map, path), (Cells{{1, 0}, {2, 0}, {3, 0}, {4, 0}}));
}

TEST(LegacyAstarEndpoints, FuzzyFailuresReportTheirOwnErrorCodes) {
  auto map = orvik_test::gridMapFromAscii({"###.", "###.", "###.", "...."});
  AstarPlanner planner;
  LogCapture capture;
  auto path = prefilledPath();
  // From (0, 3) a radius of 0.05 m (m = 1) sees only walls.
  EXPECT_FALSE(
      planner.searchv2(map, cellPose(map, 0, 3), cellPose(map, 3, 3), path, false, 0.05, 0));
  EXPECT_TRUE(path.poses.empty());
  EXPECT_EQ(capture.count(spdlog::level::err, "Cloud could not find the best pose"), 1);
  EXPECT_EQ(capture.count(spdlog::level::err,
                          "AstarPlanner::fuzzyPoint setStart failed, error code is 101100011"),
            1);
  EXPECT_FALSE(
      planner.searchv2(map, cellPose(map, 3, 3), cellPose(map, 0, 3), path, false, 0.05, 0));
  EXPECT_EQ(capture.count(spdlog::level::err,
                          "AstarPlanner::fuzzyPoint setGoal failed, error code is 101100012"),
            1);
  // A wider radius for the goal alone reaches the free column.
  ASSERT_TRUE(
      planner.searchv2(map, cellPose(map, 3, 0), cellPose(map, 0, 3), path, false, 0.0, 0.16, 0));
  // (0, 0) and (3, 3) are both three cells away: the lower row wins.
  EXPECT_EQ(pathCells(map, path).back(), std::make_pair(0, 0));
}

TEST(LegacyAstarEndpoints, DangerLevelIsPassedThroughToTheMap) {
  orvik_nav2_gridmap::GridMapConfig config;
  // Level 0 needs 0.12 m (2.4 cells) of clearance, level 1 none.
  config.danger_clearances = {0.12, 0.0};
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      orvik_test::costmapFromAscii({".........", ".........", ".........", "....#....", ".........",
                                    ".........", "........."}),
      config);
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  EXPECT_FALSE(
      planner.searchv2(map, cellPose(map, 3, 3), cellPose(map, 8, 3), path, false, 0.0, 0));
  ASSERT_TRUE(planner.searchv2(map, cellPose(map, 3, 3), cellPose(map, 8, 3), path, false, 0.0, 1));

  nav_msgs::msg::Path strict;
  nav_msgs::msg::Path loose;
  ASSERT_TRUE(
      planner.searchv2(map, cellPose(map, 0, 3), cellPose(map, 8, 3), strict, false, 0.0, 0));
  ASSERT_TRUE(
      planner.searchv2(map, cellPose(map, 0, 3), cellPose(map, 8, 3), loose, false, 0.0, 1));
  for (const auto& [x, y] : pathCells(map, strict)) {
    EXPECT_FALSE(map->getMultiGridMap()->inDanger(x, y, 0)) << x << "," << y;
  }
  auto length = [&](const nav_msgs::msg::Path& path) {
    double sum = 0.0;
    const auto cells = pathCells(map, path);
    for (std::size_t i = 1; i < cells.size(); ++i) {
      sum += std::hypot(cells[i].first - cells[i - 1].first, cells[i].second - cells[i - 1].second);
    }
    return sum;
  };
  EXPECT_GT(length(strict), length(loose) + 1.0);
}

}  // namespace
