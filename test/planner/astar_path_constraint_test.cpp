// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "orvik_nav2_planner/astar_path_constraint.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "planner_test_support.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarNode;
using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPathConstraint;
using orvik_nav2_planner::astar2::ReferencePath;

constexpr int kSide = 40;

geometry_msgs::msg::PoseStamped worldPose(double x, double y, double yaw = 0.0) {
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.z = std::sin(yaw / 2.0);
  pose.pose.orientation.w = std::cos(yaw / 2.0);
  return pose;
}

class PathConstraintTest : public ::testing::Test {
 protected:
  PathConstraintTest() {
    // Poses every two cells along row 10, at cell centres: cells (0,10), (2,10), (4,10), ...
    for (int i = 0; i < 10; ++i) {
      reference_.path.poses.push_back(worldPose(0.025 + 0.1 * i, 0.525));
    }
    reference_.cost = 3.0;
    reference_.distance = 0.25;  // anchored size ceil(2.5) = 3 cells; poses 1 and 2 only
    reference_.half_width = 0.06;
    options_.use_path_consistency = true;
    options_.reference_path = &reference_;
  }

  std::set<std::pair<int, int>> marked() const {
    std::set<std::pair<int, int>> cells;
    for (int index : constraint_.getConstraintCells()) {
      cells.emplace(index % kSide, index / kSide);
    }
    return cells;
  }

  static std::set<std::pair<int, int>> box(int x0, int x1, int y0, int y1) {
    std::set<std::pair<int, int>> cells;
    for (int x = x0; x <= x1; ++x) {
      for (int y = y0; y <= y1; ++y) {
        cells.emplace(x, y);
      }
    }
    return cells;
  }

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_ =
      std::make_shared<orvik_nav2_gridmap::GridMapROS>(
          nav2_costmap_2d::Costmap2D(kSide, kSide, 0.05, 0.0, 0.0, 0),
          orvik_nav2_gridmap::GridMapConfig{});
  AstarPathConstraint constraint_{map_};
  ReferencePath reference_;
  AstarOptions options_;
};

TEST_F(PathConstraintTest, AnchoredCorridorLiesOnThePlusSideAndStopsAtTheDistance) {
  constraint_.buildPathConstraint(worldPose(0.025, 0.525), options_);
  // Pose 1 at (2,10) and pose 2 at (4,10), each a 3 x 3 block towards +x/+y. Pose 0 and
  // pose 3 (where the length first exceeds 0.25 m) are not marked.
  auto expected = box(2, 4, 10, 12);
  const auto second = box(4, 6, 10, 12);
  expected.insert(second.begin(), second.end());
  EXPECT_EQ(marked(), expected);
}

TEST_F(PathConstraintTest, CentredCorridorSurroundsThePosesWhenPassagesArePreferred) {
  options_.priority_preference = true;
  constraint_.buildPathConstraint(worldPose(0.025, 0.525), options_);
  // half_width 0.06 m -> ceil(1.2) = 2 cells around (2,10) and (4,10).
  EXPECT_EQ(marked(), box(0, 6, 8, 12));
}

TEST_F(PathConstraintTest, CentredCorridorFallsBackToTheCentreDistanceThenHalfTheDistance) {
  options_.priority_preference = true;
  reference_.half_width = 0.02;
  options_.center_distance = 0.1;  // 2 cells
  constraint_.buildPathConstraint(worldPose(0.025, 0.525), options_);
  EXPECT_EQ(marked(), box(0, 6, 8, 12));
  reference_.half_width = 0.0;
  options_.center_distance = 0.0;  // half the distance: 0.125 m -> 3 cells
  constraint_.buildPathConstraint(worldPose(0.025, 0.525), options_);
  EXPECT_EQ(marked(), box(0, 7, 7, 13));
}

TEST_F(PathConstraintTest, StepsIntoMarkedCellsAreFreeAndOthersCostTheReferenceCost) {
  constraint_.buildPathConstraint(worldPose(0.025, 0.525), options_);
  AstarNode inside;
  inside.x = 3;
  inside.y = 11;
  AstarNode outside;
  outside.x = 3;
  outside.y = 9;
  EXPECT_EQ(constraint_.getPathConsistencyCost(&inside, options_), 0.0);
  EXPECT_EQ(constraint_.getPathConsistencyCost(&outside, options_), 3.0);
  AstarOptions off = options_;
  off.use_path_consistency = false;
  EXPECT_EQ(constraint_.getPathConsistencyCost(&outside, off), 0.0);
}

TEST_F(PathConstraintTest, SwitchedOffOrEmptyReferenceLeavesNoMarks) {
  constraint_.buildPathConstraint(worldPose(0.025, 0.525), options_);
  ASSERT_GT(constraint_.markedCount(), 0u);
  AstarOptions off = options_;
  off.use_path_consistency = false;
  constraint_.buildPathConstraint(worldPose(0.025, 0.525), off);
  EXPECT_EQ(constraint_.markedCount(), 0u);
  reference_.path.poses.clear();
  options_.linear_velocity = 1.0;
  options_.predict_time = 1.0;
  constraint_.buildPathConstraint(worldPose(0.025, 0.525), options_);
  EXPECT_EQ(constraint_.markedCount(), 0u);
  AstarNode any;
  EXPECT_EQ(constraint_.getPathConsistencyCost(&any, options_), 0.0);
}

TEST_F(PathConstraintTest, ReferenceIsTrimmedToItsNearestPoseInTheCallersRecord) {
  const auto last = reference_.path.poses.back();
  constraint_.buildPathConstraint(worldPose(1.5, 0.6), options_);
  ASSERT_EQ(reference_.path.poses.size(), 1u);
  EXPECT_EQ(reference_.path.poses[0], last);
  // One pose left and no motion: nothing marked, every step free.
  EXPECT_EQ(constraint_.markedCount(), 0u);
  AstarNode any;
  EXPECT_EQ(constraint_.getPathConsistencyCost(&any, options_), 0.0);
}

TEST_F(PathConstraintTest, NearestPoseTieGoesToTheFirst) {
  reference_.path.poses = {worldPose(0.5, 0.5), worldPose(0.7, 0.5), worldPose(0.5, 0.5)};
  constraint_.buildPathConstraint(worldPose(0.5, 0.5), options_);
  EXPECT_EQ(reference_.path.poses.size(), 3u);
}

TEST_F(PathConstraintTest, NonFinitePosesAreSkippedEverywhere) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  reference_.path.poses = {worldPose(nan, 0.0), worldPose(0.025, 0.525),
                           worldPose(0.125, std::numeric_limits<double>::infinity()),
                           worldPose(0.125, 0.525), worldPose(0.225, 0.525)};
  constraint_.buildPathConstraint(worldPose(0.025, 0.525), options_);
  // Trimmed to the first finite pose; the infinite one adds neither length nor marks.
  ASSERT_EQ(reference_.path.poses.size(), 4u);
  auto expected = box(2, 4, 10, 12);
  const auto second = box(4, 6, 10, 12);
  expected.insert(second.begin(), second.end());
  EXPECT_EQ(marked(), expected);
}

TEST_F(PathConstraintTest, VelocityConstraintLimitsAreInclusive) {
  reference_.path.poses = {worldPose(1.0, 1.0)};
  options_.linear_velocity = 0.05;
  options_.predict_time = 0.1;
  constraint_.buildPathConstraint(worldPose(0.525, 0.525), options_);
  // Both steps stay in cell (10,10): one anchored block of ceil(0.2 / 0.05) = 4 cells.
  EXPECT_EQ(marked(), box(10, 13, 10, 13));
  options_.linear_velocity = 0.049;
  constraint_.buildPathConstraint(worldPose(0.525, 0.525), options_);
  EXPECT_EQ(constraint_.markedCount(), 0u);
  options_.linear_velocity = 0.05;
  options_.predict_time = 0.099;
  constraint_.buildPathConstraint(worldPose(0.525, 0.525), options_);
  EXPECT_EQ(constraint_.markedCount(), 0u);
}

TEST_F(PathConstraintTest, PredictedMotionFollowsTheHeadingWithGrowingSteps) {
  reference_.path.poses = {worldPose(1.0, 1.0)};
  options_.linear_velocity = 1.0;
  options_.predict_time = 0.3;
  options_.priority_preference = true;
  // Heading +y. Steps use the time elapsed before them: y = 0.525, 0.625, 0.825; the next
  // time, 0.1 + 0.1 + 0.1, already exceeds 0.3.
  constraint_.buildPathConstraint(worldPose(0.525, 0.525, M_PI / 2), options_);
  auto expected = box(6, 14, 6, 14);
  for (int cy : {12, 16}) {
    const auto more = box(6, 14, cy - 4, cy + 4);
    expected.insert(more.begin(), more.end());
  }
  EXPECT_EQ(marked(), expected);
}

TEST_F(PathConstraintTest, NonFiniteOrHugeMotionInputEndsPromptly) {
  reference_.path.poses = {worldPose(1.0, 1.0)};
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const auto begin = std::chrono::steady_clock::now();
  for (auto [v, w, t] : std::vector<std::tuple<double, double, double>>{
           {1.0, 0.0, inf}, {inf, 0.0, 1.0}, {1.0, nan, 1.0}, {nan, 0.0, 1.0}, {1.0, 0.0, nan}}) {
    options_.linear_velocity = v;
    options_.angular_velocity = w;
    options_.predict_time = t;
    orvik_test::LogCapture log;
    constraint_.buildPathConstraint(worldPose(0.525, 0.525), options_);
    EXPECT_EQ(constraint_.markedCount(), 0u);
  }
  options_.linear_velocity = 1e-3 + 0.05;
  options_.angular_velocity = 0.0;
  options_.predict_time = 1e12;
  constraint_.buildPathConstraint(worldPose(0.525, 0.525), options_);
  EXPECT_GT(constraint_.markedCount(), 0u);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  EXPECT_LT(seconds, 30.0) << "bounded, not merely slow";
  auto pose = worldPose(0.525, 0.525);
  pose.pose.orientation.z = nan;
  options_.predict_time = 1.0;
  constraint_.buildPathConstraint(pose, options_);
  EXPECT_EQ(constraint_.markedCount(), 0u);
}

TEST(PathConstraintSearch, ReferenceCorridorPullsTheSearchOntoIt) {
  // Two equally long routes around a block; without a reference the search takes one of them
  // by tie-breaking, and a reference along either must pull it onto that side.
  auto map = orvik_test::gridMapFromAscii(
      {"...........", ".#########.", ".#########.", ".#########.", "..........."});
  orvik_nav2_planner::astar2::AstarPlanner planner("consistent", map);
  for (int row : {0, 4}) {
    ReferencePath reference;
    for (int x = 0; x <= 10; ++x) {
      reference.path.poses.push_back(orvik_test::cellPose(map, x, row));
    }
    reference.cost = 5.0;
    reference.distance = 10.0;
    reference.half_width = 0.03;  // centred corridor of one cell each side
    AstarOptions options;
    options.use_path_consistency = true;
    options.priority_preference = true;  // no passages on this map: only the corridor shape
    options.reference_path = &reference;
    orvik_nav2_protocol::msg::Path path;
    ASSERT_TRUE(planner.searchPath(orvik_test::cellPose(map, 0, 2),
                                   orvik_test::cellPose(map, 10, 2), options, path));
    for (const auto& cell : orvik_test::pathCells(map, path)) {
      EXPECT_LE(std::abs(cell.y - row), 2)
          << "row " << row << ": left the corridor at " << cell.x << "," << cell.y;
    }
  }
}

}  // namespace
