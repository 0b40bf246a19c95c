// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "legacy_test_support.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "support/grid_fixtures.hpp"

namespace {

using legacy_test::cellPose;
using legacy_test::LogCapture;
using legacy_test::pathCells;
using orvik_nav2_planner::astar::AstarNode;
using orvik_nav2_planner::astar::AstarPlanner;
using orvik_nav2_planner::astar::PathConstraint;
using Cells = std::vector<std::pair<int, int>>;

legacy_test::GridMapPtr openMap(int w, int h, double resolution = 0.05) {
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      nav2_costmap_2d::Costmap2D(w, h, resolution, 0.0, 0.0, 0),
      orvik_nav2_gridmap::GridMapConfig{});
}

PathConstraint constraintThrough(const legacy_test::GridMapPtr& map, const Cells& cells,
                                 double distance, double cost = 3.0) {
  PathConstraint constraint;
  constraint.cost = cost;
  constraint.distance = distance;
  constraint.path.header.frame_id = "map";
  for (const auto& [x, y] : cells) {
    constraint.path.poses.push_back(cellPose(map, x, y));
  }
  return constraint;
}

/// Corridor as a set of cells, decoded with the map's width.
std::set<std::pair<int, int>> corridor(const AstarPlanner& planner, int width) {
  std::set<std::pair<int, int>> cells;
  for (int index : planner.constraintCells()) {
    cells.emplace(index % width, index / width);
  }
  return cells;
}

std::set<std::pair<int, int>> rectangle(int x0, int x1, int y0, int y1) {
  std::set<std::pair<int, int>> cells;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      cells.emplace(x, y);
    }
  }
  return cells;
}

double costAt(AstarPlanner& planner, const legacy_test::GridMapPtr& map, double x, double y) {
  auto node = std::make_shared<AstarNode>();
  node->x = x;
  node->y = y;
  return planner.getPathConsistencyCost(node, map);
}

TEST(LegacyPathConstraint, NoConstraintCostsNothing) {
  auto map = openMap(10, 10);
  AstarPlanner planner;
  EXPECT_FALSE(planner.hasConstraint());
  EXPECT_EQ(costAt(planner, map, 3, 3), 0.0);
  EXPECT_EQ(costAt(planner, map, -4, 1e12), 0.0);
}

TEST(LegacyPathConstraint, BlocksStartAtPoseCellsWithinRunningLengthSkippingTheFirstPose) {
  auto map = openMap(20, 20);
  AstarPlanner planner;
  // distance 0.17 m at 0.05 m: blocks of ceil(1.7) = 2 cells; the running length passes
  // 0.17 m after the fourth step, so (6, 5) and later poses add nothing.
  const auto constraint = constraintThrough(
      map, {{2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}, {7, 5}, {8, 5}, {9, 5}}, 0.17);
  planner.setPathConstraint(cellPose(map, 2, 5), constraint, map);
  EXPECT_TRUE(planner.hasConstraint());
  EXPECT_EQ(corridor(planner, 20), rectangle(3, 6, 5, 6));
  EXPECT_EQ(costAt(planner, map, 3, 5), 0.0);
  EXPECT_EQ(costAt(planner, map, 6, 6), 0.0);
  EXPECT_EQ(costAt(planner, map, 2, 5), 3.0);
  EXPECT_EQ(costAt(planner, map, 7, 5), 3.0);
  EXPECT_EQ(costAt(planner, map, 4, 4), 3.0);
}

TEST(LegacyPathConstraint, PathIsShortenedToStartAtThePoseNearestTheRobot) {
  auto map = openMap(20, 20);
  AstarPlanner planner;
  const auto constraint =
      constraintThrough(map, {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}}, 0.12);
  auto robot = cellPose(map, 4, 3);
  planner.setPathConstraint(robot, constraint, map);
  ASSERT_EQ(planner.pathConstraint().path.poses.size(), 3u);
  EXPECT_EQ(planner.pathConstraint().path.poses.front(), constraint.path.poses[3]);
  EXPECT_EQ(planner.pathConstraint().cost, 3.0);
  EXPECT_EQ(planner.pathConstraint().path.header.frame_id, "map");
  // n = ceil(1.2) = 2: the blocks of the two poses after the nearest.
  EXPECT_EQ(corridor(planner, 20), rectangle(5, 7, 1, 2));
}

TEST(LegacyPathConstraint, EqualDistancesKeepTheFirstPose) {
  // One-metre cells keep the two distances exactly equal in binary arithmetic.
  auto map = openMap(20, 20, 1.0);
  AstarPlanner planner;
  // The robot sits halfway between (2, 1) and (4, 1).
  planner.setPathConstraint(cellPose(map, 3, 4),
                            constraintThrough(map, {{0, 1}, {2, 1}, {4, 1}, {6, 1}}, 1.0), map);
  ASSERT_EQ(planner.pathConstraint().path.poses.size(), 3u);
  EXPECT_EQ(planner.pathConstraint().path.poses.front(), cellPose(map, 2, 1));
}

TEST(LegacyPathConstraint, NearestPoseLastLeavesActiveConstraintWithEmptyCorridor) {
  auto map = openMap(12, 8);
  AstarPlanner planner;
  planner.setPathConstraint(cellPose(map, 11, 7),
                            constraintThrough(map, {{1, 1}, {4, 4}, {9, 6}}, 2.0, 2.5), map);
  EXPECT_TRUE(planner.hasConstraint());
  EXPECT_TRUE(planner.constraintCells().empty());
  EXPECT_EQ(costAt(planner, map, 9, 6), 2.5);
  // Every step of a search pays the full cost: a straight run of four steps gains 4 x 2.5.
  nav_msgs::msg::Path path;
  ASSERT_TRUE(planner.searchv2(map, cellPose(map, 0, 0), cellPose(map, 4, 0), path, false, 0.0, 0));
  const int goal_index = 0 * 12 + 4;
  ASSERT_EQ(planner.openNodes().count(goal_index), 1u);
  EXPECT_DOUBLE_EQ(planner.openNodes().at(goal_index)->g, 4.0 + 4.0 + 4 * 2.5);
}

TEST(LegacyPathConstraint, ZeroDistanceMarksNoCellsButStaysActive) {
  auto map = openMap(10, 10);
  AstarPlanner planner;
  planner.setPathConstraint(cellPose(map, 0, 0),
                            constraintThrough(map, {{0, 0}, {1, 0}, {2, 0}}, 0.0), map);
  EXPECT_TRUE(planner.hasConstraint());
  EXPECT_TRUE(planner.constraintCells().empty());
  EXPECT_EQ(costAt(planner, map, 1, 0), 3.0);
}

TEST(LegacyPathConstraint, BlockAtLastColumnIsClippedInsteadOfWrappingToNextRows) {
  auto map = openMap(10, 10);
  AstarPlanner planner;
  // n = ceil(0.2 / 0.05 / 2) = 2 at pose (9, 4).
  planner.setPathConstraint(cellPose(map, 8, 4), constraintThrough(map, {{8, 4}, {9, 4}}, 0.2),
                            map);
  EXPECT_EQ(corridor(planner, 10), (std::set<std::pair<int, int>>{{9, 4}, {9, 5}}));
  EXPECT_EQ(costAt(planner, map, 0, 5), 3.0);
  EXPECT_EQ(costAt(planner, map, 0, 6), 3.0);
}

TEST(LegacyPathConstraint, BlockAtLastRowStoresOnlyCellsOfTheMap) {
  auto map = openMap(10, 10);
  AstarPlanner planner;
  planner.setPathConstraint(cellPose(map, 3, 9), constraintThrough(map, {{3, 9}, {4, 9}}, 0.2),
                            map);
  EXPECT_EQ(corridor(planner, 10), (std::set<std::pair<int, int>>{{4, 9}, {5, 9}}));
  for (int index : planner.constraintCells()) {
    EXPECT_GE(index, 0);
    EXPECT_LT(index, 100);
  }
}

TEST(LegacyPathConstraint, PosesOffTheMapAddNothingButTheWalkGoesOn) {
  // One-metre cells; distance 6 m gives blocks of 3 cells.
  auto map = openMap(10, 10, 1.0);
  AstarPlanner planner;
  auto constraint = constraintThrough(map, {{1, 1}, {2, 1}, {3, 1}, {4, 1}}, 6.0);
  constraint.path.poses[2].pose.position.y = -0.5;
  planner.setPathConstraint(cellPose(map, 1, 1), constraint, map);
  // Running length 1, 1 + sqrt 5, 1 + 2 sqrt 5 (under 6): poses 1 and 3 mark their blocks,
  // the off-map pose 2 marks nothing.
  EXPECT_EQ(corridor(planner, 10), rectangle(2, 6, 1, 3));
}

TEST(LegacyPathConstraint, EmptyPathLeavesThePreviousConstraintInForce) {
  auto map = openMap(10, 10);
  AstarPlanner planner;
  planner.setPathConstraint(cellPose(map, 1, 1), constraintThrough(map, {{1, 1}, {2, 1}}, 0.1),
                            map);
  const auto before = planner.constraintCells();
  PathConstraint empty;
  empty.cost = 99.0;
  planner.setPathConstraint(cellPose(map, 5, 5), empty, map);
  EXPECT_TRUE(planner.hasConstraint());
  EXPECT_EQ(planner.constraintCells(), before);
  EXPECT_EQ(planner.pathConstraint().cost, 3.0);
}

TEST(LegacyPathConstraint, UnusableCostOrMissingMapIsRefusedAndDropsThePreviousConstraint) {
  auto map = openMap(10, 10);
  AstarPlanner planner;
  LogCapture capture;
  const PathConstraint good = constraintThrough(map, {{1, 1}, {2, 1}, {3, 1}}, 0.2);
  auto expectNoneInForce = [&] {
    EXPECT_FALSE(planner.hasConstraint());
    EXPECT_TRUE(planner.constraintCells().empty());
    EXPECT_TRUE(planner.pathConstraint().path.poses.empty());
    for (int x = 0; x < 10; ++x) {
      for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(costAt(planner, map, x, y), 0.0) << x << "," << y;
      }
    }
  };
  for (double cost :
       {std::numeric_limits<double>::quiet_NaN(), -1.0, std::numeric_limits<double>::infinity()}) {
    planner.setPathConstraint(cellPose(map, 1, 1), good, map);
    ASSERT_TRUE(planner.hasConstraint());
    ASSERT_FALSE(planner.constraintCells().empty());
    planner.setPathConstraint(cellPose(map, 1, 1),
                              constraintThrough(map, {{1, 1}, {2, 1}}, 0.1, cost), map);
    expectNoneInForce();
  }
  planner.setPathConstraint(cellPose(map, 1, 1), good, map);
  ASSERT_TRUE(planner.hasConstraint());
  planner.setPathConstraint(cellPose(map, 1, 1), good, nullptr);
  expectNoneInForce();
  EXPECT_EQ(capture.problems(), 4);
}

TEST(LegacyPathConstraint, NodesOffTheMapOrNotFiniteAreOutsideTheCorridor) {
  auto map = openMap(10, 10);
  AstarPlanner planner;
  // Corridor over the whole of column 9 and more: a cell (-1, y) would alias (9, y - 1).
  planner.setPathConstraint(cellPose(map, 9, 0),
                            constraintThrough(map, {{9, 0}, {9, 1}, {9, 2}, {9, 3}}, 1.0), map);
  ASSERT_EQ(costAt(planner, map, 9, 2), 0.0);
  EXPECT_EQ(costAt(planner, map, -1, 3), 3.0);
  EXPECT_EQ(costAt(planner, map, 10, 2), 3.0);
  EXPECT_EQ(costAt(planner, map, std::numeric_limits<double>::quiet_NaN(), 2), 3.0);
  EXPECT_EQ(costAt(planner, map, 9, 1e30), 3.0);
  EXPECT_EQ(planner.getPathConsistencyCost(nullptr, map), 3.0);
}

// Oracle: a cell is in the corridor when it lies in the side x side block of some anchor.
std::set<std::pair<int, int>> bruteForceCorridor(const Cells& anchors, long side, int w, int h) {
  std::set<std::pair<int, int>> cells;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (const auto& [ax, ay] : anchors) {
        if (x >= ax && y >= ay && x - ax < side && y - ay < side) {
          cells.emplace(x, y);
          break;
        }
      }
    }
  }
  return cells;
}

TEST(LegacyPathConstraint, WideCorridorsAlongLongPathsMatchTheBlockUnion) {
  const int w = 37;
  const int h = 29;
  auto map = openMap(w, h);
  std::mt19937 rng(5);
  // Few narrow blocks are marked one by one, many wide ones are summed over the map: both
  // must give the union of the blocks.
  for (double distance : {0.5, 2.0, 40.0, 1e12, std::numeric_limits<double>::infinity()}) {
    for (int poses : {3, 40, 400}) {
      Cells cells;
      for (int i = 0; i < poses; ++i) {
        cells.emplace_back(static_cast<int>(rng() % w), static_cast<int>(rng() % h));
      }
      auto constraint = constraintThrough(map, cells, distance);
      AstarPlanner planner;
      planner.setPathConstraint(constraint.path.poses.front(), constraint, map);
      double length = 0.0;
      Cells anchors;
      for (int i = 1; i < poses; ++i) {
        length += std::hypot(
            constraint.path.poses[i].pose.position.x - constraint.path.poses[i - 1].pose.position.x,
            constraint.path.poses[i].pose.position.y -
                constraint.path.poses[i - 1].pose.position.y);
        if (length <= distance) {
          anchors.push_back(cells[i]);
        }
      }
      const double blocks = std::ceil(distance / 0.05 * 0.5);
      const long side = blocks > 1000.0 ? 1000 : static_cast<long>(blocks);
      EXPECT_EQ(corridor(planner, w), bruteForceCorridor(anchors, side, w, h))
          << distance << " " << poses;
    }
  }
}

TEST(LegacyPathConstraint, SearchFollowsTheCorridorWhenLeavingItCostsMore) {
  // Two routes from (0, 1) to (11, 1): straight along row 1 (11 steps) or over the top
  // through row 6 (about 20). The reference path takes the long one.
  auto map = orvik_test::gridMapFromAscii({"............", "............", ".##########.",
                                           ".##########.", ".##########.", ".##########.",
                                           "............", "############"});
  Cells reference;
  for (int y = 1; y <= 6; ++y) {
    reference.emplace_back(0, y);
  }
  for (int x = 1; x <= 11; ++x) {
    reference.emplace_back(x, 6);
  }
  for (int y = 5; y >= 1; --y) {
    reference.emplace_back(11, y);
  }
  const auto start = cellPose(map, 0, 1);
  const auto goal = cellPose(map, 11, 1);

  AstarPlanner free_planner;
  nav_msgs::msg::Path straight;
  ASSERT_TRUE(free_planner.searchv2(map, start, goal, straight, false, 0.0, 0));
  EXPECT_EQ(straight.poses.size(), 12u);

  AstarPlanner costly;
  costly.setPathConstraint(start, constraintThrough(map, reference, 1.1, 5.0), map);
  nav_msgs::msg::Path detour;
  ASSERT_TRUE(costly.searchv2(map, start, goal, detour, false, 0.0, 0));
  int top = 0;
  for (const auto& [x, y] : pathCells(map, detour)) {
    EXPECT_EQ(costAt(costly, map, x, y) == 0.0 || (x == 0 && y == 1), true) << x << "," << y;
    top = std::max(top, y);
  }
  EXPECT_EQ(top, 6);

  // Ten cells off the corridor at 0.5 each still beat the detour.
  AstarPlanner cheap;
  cheap.setPathConstraint(start, constraintThrough(map, reference, 1.1, 0.5), map);
  nav_msgs::msg::Path shortcut;
  ASSERT_TRUE(cheap.searchv2(map, start, goal, shortcut, false, 0.0, 0));
  EXPECT_EQ(pathCells(map, shortcut), pathCells(map, straight));
}

}  // namespace
