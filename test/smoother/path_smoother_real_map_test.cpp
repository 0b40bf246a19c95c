// SPDX-License-Identifier: Apache-2.0
// A whole smoothing run on paths the A* planner finds over a real third-party map.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "orvik_nav2_gridmap/collision_check.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/path_smoother.hpp"
#include "smoother/path_smoother_fixtures.hpp"

namespace {

using orvik_test::poseAt;
using orvik_test::smootherNode;
using orvik_test::totalTurning;
using orvik_test::twist;

struct Route {
  double start_x, start_y, goal_x, goal_y;
};

class PathSmootherRealMapTest : public ::testing::TestWithParam<Route> {
 protected:
  void SetUp() override {
    const std::string dir = orvik_test::sharedMapsDir();
    if (dir.empty()) {
      GTEST_SKIP() << "shared maps folder absent";
    }
    orvik_nav2_gridmap::GridMapConfig config;
    config.robot_radius = 0.15;
    // The planner keeps 0.25 m from obstacles; the footprint check below uses the robot radius.
    config.danger_clearances = {0.25};
    map = orvik_nav2_gridmap::loadRosMap(dir + "/smoothers_world/smoothers_world.yaml", config);
    checker = std::make_shared<Collision::CollisionCheck>(map);
  }

  bool isFree(const Pose2d& pose) {
    geometry_msgs::msg::Pose2D footprint_pose;
    footprint_pose.x = pose.x;
    footprint_pose.y = pose.y;
    footprint_pose.theta = pose.theta;
    return checker->isCollisionFreePose(footprint_pose, true);
  }

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map;
  std::shared_ptr<Collision::CollisionCheck> checker;
};

TEST_P(PathSmootherRealMapTest, PlannedPathStaysFreeKeepsItsEndsAndTurnsLess) {
  const Route route = GetParam();
  orvik_nav2_planner::astar2::AstarPlanner planner("smoother_test", map);
  orvik_nav2_planner::astar2::AstarOptions options;
  orvik_nav2_protocol::msg::Path planned;
  ASSERT_TRUE(planner.searchPath(poseAt(route.start_x, route.start_y),
                                 poseAt(route.goal_x, route.goal_y), options, planned));
  ASSERT_GT(planned.poses.size(), 100u);

  nav_msgs::msg::Path input;
  input.header = planned.header;
  input.poses = planned.poses;

  PathSmoother smoother(smootherNode(), map);
  smoother.setOriginalPath(input);
  smoother.setCurrentData(planned.poses.front(), twist(0.0, 0.0));
  smoother.smoothPath();
  const auto& before = smoother.getResampledPath();
  const auto& after = smoother.getSmoothedPath();
  ASSERT_EQ(after.size(), before.size());
  ASSERT_GT(after.size(), 100u);

  size_t free_before = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    if (isFree(before[i])) {
      ++free_before;
      EXPECT_TRUE(isFree(after[i]))
          << "point " << i << " at (" << after[i].x << ", " << after[i].y << ") was free at ("
          << before[i].x << ", " << before[i].y << ")";
    }
  }
  EXPECT_EQ(free_before, before.size());

  EXPECT_EQ(after.front().x, input.poses.front().pose.position.x);
  EXPECT_EQ(after.front().y, input.poses.front().pose.position.y);
  EXPECT_EQ(after.back().x, input.poses.back().pose.position.x);
  EXPECT_EQ(after.back().y, input.poses.back().pose.position.y);

  EXPECT_LT(totalTurning(after), totalTurning(before));

  nav_msgs::msg::Path output;
  ASSERT_TRUE(smoother.getSmoothedNavPath(output));
  EXPECT_EQ(output.poses.size(), after.size() - smoother.getSmoothStartIndex());
  for (const auto& pose : output.poses) {
    ASSERT_TRUE(std::isfinite(pose.pose.position.x) && std::isfinite(pose.pose.position.y));
  }
}

INSTANTIATE_TEST_SUITE_P(SmoothersWorld, PathSmootherRealMapTest,
                         ::testing::Values(Route{1.0, 1.5, 13.5, 13.5}, Route{3.0, 12.2, 13.5, 1.0},
                                           Route{4.0, 5.0, 11.0, 9.0}));

}  // namespace
