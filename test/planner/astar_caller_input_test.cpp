// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "orvik_nav2_planner/astar_path_constraint.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "planner_test_support.hpp"

// Requests whose input comes straight from what a caller holds: poses of its own reference
// path, non-finite poses and distances, and a robot wider than a cell near a wall.

namespace {

using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPathConstraint;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_nav2_planner::astar2::ReferencePath;
using orvik_test::Cell;

// Longer than the small-string buffer, so that a pose read after the trim has destroyed it
// reads freed memory (AddressSanitizer reports it) instead of a stale copy in place.
const std::string kLongFrame = "warehouse_level_2_map_frame";

geometry_msgs::msg::PoseStamped worldPose(double x, double y) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = kLongFrame;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.w = 1.0;
  return pose;
}

// A previous path across an open 60 x 40 map: east along row 10, then north-east.
ReferencePath previousPath() {
  ReferencePath reference;
  reference.path.header.frame_id = kLongFrame;
  for (int i = 0; i < 30; ++i) {
    reference.path.poses.push_back(worldPose(0.225 + 0.05 * i, 0.525));
  }
  for (int i = 1; i < 20; ++i) {
    reference.path.poses.push_back(worldPose(1.675 + 0.05 * i, 0.525 + 0.05 * i));
  }
  reference.cost = 2.0;
  reference.distance = 1.0;
  reference.half_width = 0.1;
  return reference;
}

std::shared_ptr<orvik_nav2_gridmap::GridMapROS> openMap() {
  return orvik_test::gridMapFromAscii(std::vector<std::string>(40, std::string(60, '.')));
}

// Replanning from a pose of the previous path to its last pose is what a robot does all the
// time. The request trims the very record those poses live in; the result must be the one for
// copies of the poses, and the record must be trimmed the same way.
TEST(PlannerCallerPoses, StartAndGoalTakenFromTheReferencePathAreCopiedBeforeTheTrim) {
  const auto map = openMap();
  for (const bool multi : {false, true}) {
    for (const std::size_t k : {std::size_t{0}, std::size_t{5}, std::size_t{20}, std::size_t{40}}) {
      SCOPED_TRACE("start at pose " + std::to_string(k) + (multi ? ", searchPaths" : ""));
      ReferencePath expected_reference = previousPath();
      const geometry_msgs::msg::PoseStamped start = expected_reference.path.poses[k];
      const geometry_msgs::msg::PoseStamped goal = expected_reference.path.poses.back();
      AstarOptions options;
      options.use_path_consistency = true;
      options.reference_path = &expected_reference;
      AstarPlanner expected_planner("copies", map);
      orvik_nav2_protocol::msg::MultiPaths expected;
      expected.paths.resize(1);
      ASSERT_TRUE(multi ? expected_planner.searchPaths(start, goal, options, expected)
                        : expected_planner.searchPath(start, goal, options, expected.paths[0]));

      ReferencePath reference = previousPath();
      options.reference_path = &reference;
      AstarPlanner planner("aliased", map);
      orvik_nav2_protocol::msg::MultiPaths actual;
      actual.paths.resize(1);
      ASSERT_TRUE(multi ? planner.searchPaths(reference.path.poses[k], reference.path.poses.back(),
                                              options, actual)
                        : planner.searchPath(reference.path.poses[k], reference.path.poses.back(),
                                             options, actual.paths[0]));
      ASSERT_EQ(actual.paths.size(), expected.paths.size());
      for (std::size_t p = 0; p < actual.paths.size(); ++p) {
        EXPECT_EQ(orvik_test::pathCells(map, actual.paths[p]),
                  orvik_test::pathCells(map, expected.paths[p]));
      }
      EXPECT_EQ(reference.path.poses, expected_reference.path.poses);
    }
  }
}

class PathConstraintInput : public ::testing::Test {
 protected:
  std::set<int> marks(const geometry_msgs::msg::PoseStamped& start, ReferencePath reference,
                      bool priority) {
    AstarOptions options;
    options.use_path_consistency = true;
    options.priority_preference = priority;
    options.reference_path = &reference;
    constraint_.buildPathConstraint(start, options);
    last_trimmed_size_ = reference.path.poses.size();
    const auto& cells = constraint_.getConstraintCells();
    return {cells.begin(), cells.end()};
  }

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_ = openMap();
  AstarPathConstraint constraint_{map_};
  std::size_t last_trimmed_size_{0};
};

// A start that is not finite is equally far from every reference pose, so the first one is
// the nearest: nothing is trimmed, and the corridor is the one marked from the path's start.
TEST_F(PathConstraintInput, NonFiniteStartTrimsNothingAndStillMarksTheCorridor) {
  const ReferencePath reference = previousPath();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const bool priority : {false, true}) {
    const std::set<int> from_first_pose = marks(reference.path.poses[0], reference, priority);
    ASSERT_FALSE(from_first_pose.empty());
    for (const auto& [x, y] : std::vector<std::pair<double, double>>{
             {nan, 0.5}, {0.5, nan}, {inf, 0.5}, {-inf, -inf}, {nan, inf}}) {
      EXPECT_EQ(marks(worldPose(x, y), reference, priority), from_first_pose)
          << x << ", " << y << (priority ? " centred" : " anchored");
      EXPECT_EQ(last_trimmed_size_, reference.path.poses.size());
    }
  }
}

// No length exceeds a NaN distance, so the walk runs to the end of the path: a centred corridor
// (which takes its width from half_width) covers the whole path, as it would for an endless
// distance; an anchored one takes its size from the distance and marks nothing.
TEST_F(PathConstraintInput, NanDistanceMarksTheWholeCentredCorridor) {
  ReferencePath endless = previousPath();
  endless.distance = 1e9;
  ReferencePath nan_distance = previousPath();
  nan_distance.distance = std::numeric_limits<double>::quiet_NaN();
  const auto start = previousPath().path.poses[3];
  const std::set<int> whole = marks(start, endless, true);
  ASSERT_GT(whole.size(), marks(start, previousPath(), true).size());
  EXPECT_EQ(marks(start, nan_distance, true), whole);
  EXPECT_TRUE(marks(start, nan_distance, false).empty());
}

// With the default danger clearances a robot of 0.3 m radius driving past a wall keeps its
// centre at least its radius from every wall cell, so no part of it is in the wall.
TEST(PlannerFootprint, DefaultClearanceKeepsTheRobotOutOfAWallAlongTheRoute) {
  // A block rising from the bottom edge to row 12, between columns 30 and 50; start and goal
  // lie on row 15, so the straight route grazes the block 0.15 m from its top.
  std::vector<std::string> rows(30, std::string(80, '.'));
  for (int y = 0; y <= 12; ++y) {
    rows[29 - y].replace(30, 21, std::string(21, '#'));
  }
  orvik_nav2_gridmap::GridMapConfig config;
  config.robot_radius = 0.3;
  const auto map = orvik_test::gridMapFromAscii(rows, config);
  const auto costmap = map->getMultiGridMap()->getCostmap();
  AstarPlanner planner("wide", map);
  AstarOptions options;
  options.goal_tolerance = -1.0;
  orvik_nav2_protocol::msg::Path path;
  ASSERT_TRUE(planner.searchPath(orvik_test::cellPose(map, 2, 15),
                                 orvik_test::cellPose(map, 77, 15), options, path));
  ASSERT_FALSE(path.poses.empty());
  for (const auto& pose : path.poses) {
    double nearest_wall = std::numeric_limits<double>::infinity();
    for (unsigned int y = 0; y < costmap->getSizeInCellsY(); ++y) {
      for (unsigned int x = 0; x < costmap->getSizeInCellsX(); ++x) {
        if (costmap->getCost(x, y) == nav2_costmap_2d::LETHAL_OBSTACLE) {
          double wx = 0.0;
          double wy = 0.0;
          costmap->mapToWorld(x, y, wx, wy);
          nearest_wall = std::min(nearest_wall,
                                  std::hypot(wx - pose.pose.position.x, wy - pose.pose.position.y));
        }
      }
    }
    EXPECT_GE(nearest_wall, 0.3 - 1e-9)
        << "pose at " << pose.pose.position.x << ", " << pose.pose.position.y;
  }
}

}  // namespace
