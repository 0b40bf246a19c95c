// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "legacy_test_support.hpp"
#include "orvik_nav2_planner/deprecated/fuzzy_point.hpp"
#include "support/grid_fixtures.hpp"

namespace {

using legacy_test::cellPose;
using legacy_test::LogCapture;
using orvik_nav2_planner::astar::FuzzyPoint;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

/// A square map of walls with the given free cells; `resolution` metres per cell.
legacy_test::GridMapPtr wallsWithFreeCells(int side, const std::vector<std::pair<int, int>>& free,
                                           double resolution) {
  std::vector<std::string> rows(side, std::string(side, '#'));
  for (const auto& [x, y] : free) {
    rows[side - 1 - y][x] = '.';
  }
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      orvik_test::costmapFromAscii(rows, resolution), orvik_nav2_gridmap::GridMapConfig{});
}

std::pair<int, int> cellOf(const legacy_test::GridMapPtr& map,
                           const geometry_msgs::msg::PoseStamped& pose) {
  unsigned int x = 0;
  unsigned int y = 0;
  EXPECT_TRUE(map->getMultiGridMap()->getCostmap()->worldToMap(pose.pose.position.x,
                                                               pose.pose.position.y, x, y));
  return {static_cast<int>(x), static_cast<int>(y)};
}

TEST(LegacyFuzzyPoint, PoseOnFreeCellIsKeptUnchangedNotSnapped) {
  auto map = wallsWithFreeCells(5, {{2, 2}}, 0.05);
  auto pose = cellPose(map, 2, 2, 0.4);
  pose.pose.position.x += 0.013;
  pose.pose.position.z = 0.3;
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(FuzzyPoint::fuzzyPoint(pose, map, out, 0, 0.5));
  EXPECT_EQ(out, pose);
}

TEST(LegacyFuzzyPoint, MovedPoseTakesCellCentreAndKeepsHeaderHeightAndOrientation) {
  auto map = wallsWithFreeCells(11, {{8, 5}}, 0.05);
  auto pose = cellPose(map, 5, 5, 1.2);
  pose.pose.position.x += 0.01;
  pose.pose.position.z = 0.7;
  pose.header.stamp.sec = 42;
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(FuzzyPoint::fuzzyPoint(pose, map, out, 0, 0.25));
  const auto centre = cellPose(map, 8, 5);
  EXPECT_DOUBLE_EQ(out.pose.position.x, centre.pose.position.x);
  EXPECT_DOUBLE_EQ(out.pose.position.y, centre.pose.position.y);
  EXPECT_EQ(out.pose.position.z, 0.7);
  EXPECT_EQ(out.pose.orientation, pose.pose.orientation);
  EXPECT_EQ(out.header, pose.header);
}

TEST(LegacyFuzzyPoint, QuarterMetreAtFiveCentimetresSearchesElevenByElevenWindow) {
  // Free cells at Manhattan distance 5 (inside, on the window's edge) and 6 (outside).
  auto edge = wallsWithFreeCells(15, {{7, 2}}, 0.05);
  auto beyond = wallsWithFreeCells(15, {{7, 1}}, 0.05);
  auto corner = wallsWithFreeCells(15, {{12, 12}}, 0.05);  // in the window, d = 10
  geometry_msgs::msg::PoseStamped out;
  EXPECT_TRUE(FuzzyPoint::fuzzyPoint(cellPose(edge, 7, 7), edge, out, 0, 0.25));
  EXPECT_EQ(cellOf(edge, out), std::make_pair(7, 2));
  EXPECT_FALSE(FuzzyPoint::fuzzyPoint(cellPose(beyond, 7, 7), beyond, out, 0, 0.25));
  EXPECT_TRUE(FuzzyPoint::fuzzyPoint(cellPose(corner, 7, 7), corner, out, 0, 0.25));
  EXPECT_EQ(cellOf(corner, out), std::make_pair(12, 12));
}

TEST(LegacyFuzzyPoint, ThirtyCentimetresAtTenCentimetresTruncatesToTwoCells) {
  // 0.3 / 0.1 is just below 3 in double arithmetic.
  auto three_away = wallsWithFreeCells(9, {{7, 4}}, 0.1);
  auto two_away = wallsWithFreeCells(9, {{6, 4}}, 0.1);
  geometry_msgs::msg::PoseStamped out;
  LogCapture capture;
  EXPECT_FALSE(FuzzyPoint::fuzzyPoint(cellPose(three_away, 4, 4), three_away, out, 0, 0.3));
  EXPECT_EQ(capture.count(spdlog::level::err, "Cloud could not find the best pose"), 1);
  EXPECT_TRUE(FuzzyPoint::fuzzyPoint(cellPose(two_away, 4, 4), two_away, out, 0, 0.3));
  EXPECT_EQ(cellOf(two_away, out), std::make_pair(6, 4));
  EXPECT_TRUE(FuzzyPoint::fuzzyPoint(cellPose(three_away, 4, 4), three_away, out, 0, 0.30001));
  EXPECT_EQ(cellOf(three_away, out), std::make_pair(7, 4));
}

TEST(LegacyFuzzyPoint, EqualDistanceLowerRowWinsWhateverTheColumns) {
  // (6, 4) and (4, 6) are both two cells from (5, 5); row 4 is visited first.
  auto map = wallsWithFreeCells(11, {{4, 6}, {6, 4}}, 0.05);
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(FuzzyPoint::fuzzyPoint(cellPose(map, 5, 5), map, out, 0, 0.25));
  EXPECT_EQ(cellOf(map, out), std::make_pair(6, 4));
}

TEST(LegacyFuzzyPoint, EqualDistanceInOneRowLowerColumnWins) {
  auto map = wallsWithFreeCells(11, {{7, 5}, {3, 5}, {5, 7}}, 0.05);
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(FuzzyPoint::fuzzyPoint(cellPose(map, 5, 5), map, out, 0, 0.25));
  EXPECT_EQ(cellOf(map, out), std::make_pair(3, 5));
}

TEST(LegacyFuzzyPoint, NearerCellWinsOverEarlierVisitedFartherCell) {
  auto map = wallsWithFreeCells(11, {{0, 0}, {5, 2}, {6, 6}}, 0.05);
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(FuzzyPoint::fuzzyPoint(cellPose(map, 5, 5), map, out, 0, 0.5));
  EXPECT_EQ(cellOf(map, out), std::make_pair(6, 6));
}

TEST(LegacyFuzzyPoint, WindowIsClippedAtTheMapEdge) {
  auto map = wallsWithFreeCells(6, {{5, 0}}, 0.05);
  geometry_msgs::msg::PoseStamped out;
  ASSERT_TRUE(FuzzyPoint::fuzzyPoint(cellPose(map, 5, 5), map, out, 0, 0.25));
  EXPECT_EQ(cellOf(map, out), std::make_pair(5, 0));
}

TEST(LegacyFuzzyPoint, RadiusBelowOneCellOrNegativeFails) {
  auto map = wallsWithFreeCells(5, {{3, 2}}, 0.05);
  geometry_msgs::msg::PoseStamped out;
  for (double radius : {0.0, 0.049, -0.01, -0.2, -kInf}) {
    LogCapture capture;
    EXPECT_FALSE(FuzzyPoint::fuzzyPoint(cellPose(map, 2, 2), map, out, 0, radius)) << radius;
    EXPECT_EQ(capture.count(spdlog::level::err, "Cloud could not find the best pose"), 1);
  }
}

TEST(LegacyFuzzyPoint, HugeOrInfiniteRadiusSearchesTheWholeMapWithoutOverflow) {
  auto map = wallsWithFreeCells(40, {{39, 39}, {0, 39}}, 0.05);
  for (double radius : {1e9, 1e300, std::numeric_limits<double>::max(), kInf}) {
    geometry_msgs::msg::PoseStamped out;
    ASSERT_TRUE(FuzzyPoint::fuzzyPoint(cellPose(map, 1, 0), map, out, 0, radius)) << radius;
    EXPECT_EQ(cellOf(map, out), std::make_pair(0, 39)) << radius;
  }
}

TEST(LegacyFuzzyPoint, NotANumberRadiusFailsInsteadOfSearching) {
  auto map = wallsWithFreeCells(5, {{3, 2}}, 0.05);
  geometry_msgs::msg::PoseStamped out;
  LogCapture capture;
  EXPECT_FALSE(FuzzyPoint::fuzzyPoint(cellPose(map, 2, 2), map, out, 0, kNaN));
  EXPECT_EQ(capture.count(spdlog::level::err, "Cloud could not find the best pose"), 1);
}

TEST(LegacyFuzzyPoint, PoseOffTheMapLogsPositionOriginAndResolution) {
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      orvik_test::costmapFromAscii({"...", "..."}, 0.1, 1.5, -2.0),
      orvik_nav2_gridmap::GridMapConfig{});
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = 0.5;
  pose.pose.position.y = 0.25;
  geometry_msgs::msg::PoseStamped out;
  LogCapture capture;
  EXPECT_FALSE(FuzzyPoint::fuzzyPoint(pose, map, out, 0, 0.3));
  EXPECT_EQ(capture.count(spdlog::level::err,
                          "FuzzyPoint::fuzzyPoint worldToMap failed, x:0.5, y:0.25, origin_x:1.5, "
                          "origin_y:-2, resolution:0.1"),
            1);
  ASSERT_FALSE(capture.records().empty());
  EXPECT_EQ(capture.records().back().function, "fuzzyPoint");
  EXPECT_EQ(capture.records().back().file,
            "./include/orvik_nav2_planner/deprecated/fuzzy_point.hpp");
  EXPECT_EQ(out, pose);
  pose.pose.position.x = kNaN;
  EXPECT_FALSE(FuzzyPoint::fuzzyPoint(pose, map, out, 0, 0.3));
}

TEST(LegacyFuzzyPoint, MissingMapFails) {
  geometry_msgs::msg::PoseStamped pose;
  geometry_msgs::msg::PoseStamped out;
  LogCapture capture;
  EXPECT_FALSE(FuzzyPoint::fuzzyPoint(pose, nullptr, out, 0, 0.3));
  EXPECT_EQ(capture.problems(), 1);
}

TEST(LegacyFuzzyPoint, MatchesBruteForceNearestFreeCellOnRandomMaps) {
  for (unsigned int seed = 1; seed <= 60; ++seed) {
    auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
        orvik_test::randomCostmap(13, 11, 0.75, seed, 0.05), orvik_nav2_gridmap::GridMapConfig{});
    const auto grid = map->getMultiGridMap();
    const int cx = static_cast<int>(seed % 13);
    const int cy = static_cast<int>((seed * 7) % 11);
    if (!grid->inDanger(cx, cy, 0)) {
      continue;
    }
    const int m = static_cast<int>(seed % 5);
    // Oracle: of all free cells with Chebyshev distance <= m, the smallest (Manhattan
    // distance, row, column).
    std::tuple<int, int, int> best{1 << 30, 0, 0};
    for (int y = 0; y < 11; ++y) {
      for (int x = 0; x < 13; ++x) {
        if (std::abs(x - cx) <= m && std::abs(y - cy) <= m && !grid->inDanger(x, y, 0)) {
          best = std::min(best, std::make_tuple(std::abs(x - cx) + std::abs(y - cy), y, x));
        }
      }
    }
    geometry_msgs::msg::PoseStamped out;
    const bool found = FuzzyPoint::fuzzyPoint(cellPose(map, cx, cy), map, out, 0, 0.05 * m + 0.01);
    ASSERT_EQ(found, std::get<0>(best) < (1 << 30)) << seed;
    if (found) {
      EXPECT_EQ(cellOf(map, out), std::make_pair(std::get<2>(best), std::get<1>(best))) << seed;
    }
  }
}

}  // namespace
