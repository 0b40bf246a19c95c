// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "legacy_test_support.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "orvik_nav2_tools/communicator_engine.hpp"
#include "support/grid_fixtures.hpp"

namespace {

using legacy_test::cellPose;
using legacy_test::LogCapture;
using legacy_test::pathCells;
using orvik_nav2_planner::astar::AstarNode;
using orvik_nav2_planner::astar::AstarPlanner;
using Cells = std::vector<std::pair<int, int>>;

constexpr double kSqrt2 = 1.4142135623730951;

const std::vector<std::string> kOpen5x5 = {".....", ".....", ".....", ".....", "....."};

bool plan(AstarPlanner& planner, const legacy_test::GridMapPtr& map,
          const geometry_msgs::msg::PoseStamped& start, const geometry_msgs::msg::PoseStamped& goal,
          nav_msgs::msg::Path& path, double radius = 0.0, int danger_level = 0) {
  return planner.searchv2(map, start, goal, path, false, radius, danger_level);
}

TEST(LegacyAstarMotion, ExpandsEightNeighboursInFixedOrderWithDiagonalRootTwo) {
  auto map = orvik_test::gridMapFromAscii(kOpen5x5);
  AstarPlanner planner;
  auto node = std::make_shared<AstarNode>();
  node->x = 2;
  node->y = 2;
  node->g = 10.0;
  const auto neighbours = planner.motion(node, map);
  const Cells expected = {{1, 2}, {1, 3}, {1, 1}, {2, 3}, {2, 1}, {3, 2}, {3, 3}, {3, 1}};
  ASSERT_EQ(neighbours.size(), 8u);
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(neighbours[i]->x, expected[i].first) << i;
    EXPECT_EQ(neighbours[i]->y, expected[i].second) << i;
    EXPECT_EQ(neighbours[i]->parent, node) << i;
    const bool diagonal = expected[i].first != 2 && expected[i].second != 2;
    EXPECT_EQ(neighbours[i]->g, 10.0 + (diagonal ? kSqrt2 : 1.0)) << i;
  }
}

TEST(LegacyAstarMotion, DoesNotFilterCellsOffTheMap) {
  auto map = orvik_test::gridMapFromAscii(kOpen5x5);
  AstarPlanner planner;
  auto corner = std::make_shared<AstarNode>();
  const auto neighbours = planner.motion(corner, map);
  ASSERT_EQ(neighbours.size(), 8u);
  EXPECT_EQ(neighbours[0]->x, -1.0);
  EXPECT_EQ(neighbours[2]->y, -1.0);
}

TEST(LegacyAstarCritic, AddsCellCostToStraightLineDistanceInCells) {
  // '4' is a cost of 100; the goal sits three columns and four rows away.
  auto map = orvik_test::gridMapFromAscii({".....", ".....", ".....", ".....", ".4..."});
  AstarPlanner planner;
  ASSERT_TRUE(planner.setGoal(map, cellPose(map, 4, 4), 0.0, 0));
  auto node = std::make_shared<AstarNode>();
  node->x = 1;
  node->y = 0;
  EXPECT_DOUBLE_EQ(planner.critic(map, node, false), 100.0 + 5.0);
  node->x = 4;
  node->y = 0;
  EXPECT_DOUBLE_EQ(planner.critic(map, node, false), 4.0);
}

TEST(LegacyAstarCritic, NodeOffTheMapGetsTheMapsOffMapCostInsteadOfUndefinedConversion) {
  auto map = orvik_test::gridMapFromAscii(kOpen5x5);
  AstarPlanner planner;
  auto node = std::make_shared<AstarNode>();
  node->x = -1.0;
  node->y = std::numeric_limits<double>::quiet_NaN();
  const double key = planner.critic(map, node, false);
  EXPECT_TRUE(std::isnan(key) || key >= 255.0);
}

TEST(LegacyAstarSearch, NeighbourGoalGivesTwoPosesWithIdentityThenGoalOrientation) {
  auto map = orvik_test::gridMapFromAscii(kOpen5x5);
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  const auto goal = cellPose(map, 3, 3, 1.0);
  ASSERT_TRUE(plan(planner, map, cellPose(map, 2, 2, -2.0), goal, path));
  ASSERT_EQ(path.poses.size(), 2u);
  EXPECT_EQ(path.header.frame_id, "map");
  EXPECT_DOUBLE_EQ(path.poses[0].pose.position.x, 0.125);
  EXPECT_DOUBLE_EQ(path.poses[0].pose.position.y, 0.125);
  EXPECT_EQ(path.poses[0].pose.orientation, geometry_msgs::msg::Quaternion());
  EXPECT_EQ(path.poses[0].header.frame_id, "map");
  EXPECT_DOUBLE_EQ(path.poses[1].pose.position.x, 0.175);
  EXPECT_DOUBLE_EQ(path.poses[1].pose.position.y, 0.175);
  EXPECT_EQ(path.poses[1].pose.orientation, goal.pose.orientation);
}

TEST(LegacyAstarSearch, PosesOffCellCentreAreSnappedToCellCentres) {
  auto map = orvik_test::gridMapFromAscii(kOpen5x5);
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  auto start = cellPose(map, 0, 0);
  start.pose.position.x += 0.02;
  auto goal = cellPose(map, 4, 0);
  goal.pose.position.y -= 0.02;
  ASSERT_TRUE(plan(planner, map, start, goal, path));
  EXPECT_EQ(pathCells(map, path), (Cells{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}));
  EXPECT_DOUBLE_EQ(path.poses.front().pose.position.x, 0.025);
  EXPECT_DOUBLE_EQ(path.poses.back().pose.position.y, 0.025);
}

TEST(LegacyAstarSearch, StartEqualToGoalGivesOnePoseWithGoalOrientation) {
  auto map = orvik_test::gridMapFromAscii(kOpen5x5);
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  const auto goal = cellPose(map, 2, 2, 0.7);
  ASSERT_TRUE(plan(planner, map, cellPose(map, 2, 2), goal, path));
  ASSERT_EQ(path.poses.size(), 1u);
  EXPECT_DOUBLE_EQ(path.poses[0].pose.position.x, 0.125);
  EXPECT_EQ(path.poses[0].pose.orientation, goal.pose.orientation);
}

TEST(LegacyAstarSearch, StartEqualToGoalWithAllNeighboursBlockedStillSucceeds) {
  auto map = orvik_test::gridMapFromAscii({"#####", "#####", "##.##", "#####", "#####"});
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  ASSERT_TRUE(plan(planner, map, cellPose(map, 2, 2), cellPose(map, 2, 2), path));
  EXPECT_EQ(pathCells(map, path), (Cells{{2, 2}}));
}

TEST(LegacyAstarSearch, GoalAtEndOfOneCellDeadEndIsFound) {
  // The goal's only free neighbour is the cell it is reached from, already expanded then.
  auto map = orvik_test::gridMapFromAscii({"#######", "#.....#", "#######"});
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  ASSERT_TRUE(plan(planner, map, cellPose(map, 1, 1), cellPose(map, 5, 1), path));
  EXPECT_EQ(pathCells(map, path), (Cells{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}));
}

TEST(LegacyAstarSearch, GoalInMapCornerWithOnlyItsParentAsNeighbourIsFound) {
  // Goal (0, 0): off-map cells on two sides, walls at (1, 0) and (1, 1), and (0, 1), the cell
  // it is reached from.
  auto map = orvik_test::gridMapFromAscii({"...", ".##", ".##", ".##"});
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  ASSERT_TRUE(plan(planner, map, cellPose(map, 2, 3), cellPose(map, 0, 0), path));
  EXPECT_EQ(pathCells(map, path), (Cells{{2, 3}, {1, 3}, {0, 2}, {0, 1}, {0, 0}}));
}

TEST(LegacyAstarSearch, CornerStartDiscoversOnlyItsThreeMapNeighboursSilently) {
  // Start (0, 0) in a 2 x 2 pocket; the goal lies beyond a wall, so the search exhausts.
  auto map = orvik_test::gridMapFromAscii({"#####", "..#..", "..#.."});
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  LogCapture capture;
  EXPECT_FALSE(plan(planner, map, cellPose(map, 0, 0), cellPose(map, 4, 0), path));
  EXPECT_EQ(planner.openNodes().size(), 4u);
  EXPECT_EQ(planner.closedNodes().size(), 4u);
  EXPECT_EQ(capture.problems(), 1);
  EXPECT_EQ(
      capture.count(spdlog::level::err, "AstarPlanner: search failed, error code is 101100025"), 1);
}

TEST(LegacyAstarSearch, TwoIdenticalRequestsGiveIdenticalPaths) {
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      orvik_test::randomCostmap(40, 30, 0.25, 3), orvik_nav2_gridmap::GridMapConfig{});
  AstarPlanner planner;
  AstarPlanner other;
  int compared = 0;
  for (unsigned int i = 0; i < 12; ++i) {
    const auto start = cellPose(map, (i * 7) % 40, (i * 5) % 30);
    const auto goal = cellPose(map, 39 - (i * 3) % 40, 29 - (i * 11) % 30);
    nav_msgs::msg::Path first;
    nav_msgs::msg::Path second;
    nav_msgs::msg::Path third;
    const bool a = plan(planner, map, start, goal, first);
    const bool b = plan(planner, map, start, goal, second);
    const bool c = plan(other, map, start, goal, third);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, third);
    compared += a ? 1 : 0;
  }
  EXPECT_GT(compared, 3);
}

TEST(LegacyAstarSearch, CellFirstReachedDiagonallyTakesCheaperParentFoundLater) {
  // Start (0, 0), costly cells B = (1, 0) (cost 100) and C = (2, 0) (cost 225), goal walled
  // off at (4, 0) so every cell gets expanded. C is discovered diagonally from (1, 1) with
  // g = 4 + 2 sqrt 2; B, whose key its cost inflates, is expanded later and offers
  // g = 4 + 2 (4 being the start's straight-line offset). C is still open then.
  auto map = orvik_test::gridMapFromAscii({"...#.", ".49#."});
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  EXPECT_FALSE(plan(planner, map, cellPose(map, 0, 0), cellPose(map, 4, 0), path));
  const auto& c = planner.openNodes().at(2);
  EXPECT_DOUBLE_EQ(c->g, 6.0);
  ASSERT_TRUE(c->parent);
  EXPECT_EQ(c->parent->x, 1.0);
  EXPECT_EQ(c->parent->y, 0.0);
}

TEST(LegacyAstarSearch, ImprovedCellKeepsConsistentGAndParent) {
  // Costs in the key pull the search onto detours, so cells get discovered by long routes and
  // improved later. Whatever happened, every node's g must equal its parent's g plus one step,
  // and its parent must be an expanded 8-neighbour.
  auto map = orvik_test::gridMapFromAscii({"..........", ".9999999..", ".9......9.", ".9.####.9.",
                                           ".9.#..#.9.", ".9.#..#.9.", ".9....#.9.", ".999999.9.",
                                           "........9.", ".........."});
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  ASSERT_TRUE(planner.searchv2(map, cellPose(map, 4, 4), cellPose(map, 0, 9), path, false, 0.0, 0));
  for (const auto& [index, node] : planner.openNodes()) {
    if (!node->parent) {
      continue;
    }
    const double dx = std::abs(node->x - node->parent->x);
    const double dy = std::abs(node->y - node->parent->y);
    ASSERT_LE(dx, 1.0);
    ASSERT_LE(dy, 1.0);
    const double step = (dx == 1.0 && dy == 1.0) ? kSqrt2 : 1.0;
    EXPECT_DOUBLE_EQ(node->g, node->parent->g + step) << node->x << "," << node->y;
    const int parent_index =
        static_cast<int>(node->parent->y) * 10 + static_cast<int>(node->parent->x);
    EXPECT_EQ(planner.closedNodes().count(parent_index), 1u);
  }
  // The start carries the straight-line distance to the goal as offset.
  EXPECT_DOUBLE_EQ(planner.startNode()->g, std::hypot(4.0, 5.0));
}

TEST(LegacyAstarSearch, LongSerpentinePathIsFoundAndReleasedWithoutStackOverflow) {
  // A 301 x 301 serpentine: 150 corridors of 299 cells, a path of about 45000 cells.
  const int side = 301;
  std::vector<std::string> rows(side, std::string(side, '.'));
  for (int r = 1; r < side; r += 2) {
    rows[r] = std::string(side, '#');
    const int gap = (r / 2) % 2 == 0 ? side - 1 : 0;
    rows[r][gap] = '.';
  }
  auto map = orvik_test::gridMapFromAscii(rows);
  const int steps = legacy_test::bfsSteps(map, 0, 0, side - 1, side - 1, 0);
  ASSERT_GT(steps, 40000);
  nav_msgs::msg::Path path;
  {
    AstarPlanner planner;
    ASSERT_TRUE(plan(planner, map, cellPose(map, 0, 0), cellPose(map, side - 1, side - 1), path));
    // A second search drops the first one's node chain through the goal node.
    nav_msgs::msg::Path again;
    ASSERT_TRUE(plan(planner, map, cellPose(map, side - 1, side - 1), cellPose(map, 0, 0), again));
  }
  EXPECT_EQ(static_cast<int>(path.poses.size()), steps + 1);
}

TEST(LegacyAstarNode, DroppingAMillionNodeChainDoesNotRecurse) {
  auto head = std::make_shared<AstarNode>();
  for (int i = 0; i < 1000000; ++i) {
    auto next = std::make_shared<AstarNode>();
    next->parent = std::move(head);
    head = std::move(next);
  }
  std::weak_ptr<AstarNode> middle = head->parent->parent;
  head.reset();
  EXPECT_TRUE(middle.expired());
}

TEST(LegacyAstarNode, SharedAncestorSurvivesWhenABranchIsDropped) {
  auto root = std::make_shared<AstarNode>();
  root->x = 7;
  auto branch = std::make_shared<AstarNode>();
  branch->parent = root;
  auto leaf = std::make_shared<AstarNode>();
  leaf->parent = branch;
  std::weak_ptr<AstarNode> weak_branch = branch;
  branch.reset();
  leaf.reset();
  EXPECT_TRUE(weak_branch.expired());
  ASSERT_TRUE(root);
  EXPECT_EQ(root->x, 7.0);
  EXPECT_EQ(root.use_count(), 1);
}

TEST(LegacyAstarSearch, PublishesTheRequestPosesUnchanged) {
  auto map = orvik_test::gridMapFromAscii(kOpen5x5);
  auto trace = orvik_communicator::CommunicatorEngine::GetInstance()->getMicroUnitTrace();
  const std::size_t before = trace->localEndPoseCount();
  AstarPlanner planner;
  nav_msgs::msg::Path path;
  auto start = cellPose(map, 0, 0);
  start.pose.position.x = 0.011;
  const auto goal = cellPose(map, 9, 9);  // off the map: the request still gets published
  EXPECT_FALSE(plan(planner, map, start, goal, path));
  EXPECT_EQ(trace->localEndPoseCount(), before + 1);
  EXPECT_EQ(trace->lastLocalEndPose().first, start);
  EXPECT_EQ(trace->lastLocalEndPose().second, goal);
}

}  // namespace
