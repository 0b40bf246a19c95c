// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "orvik_nav2_gridmap/spin_collision.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/astar_spin_analysis.hpp"
#include "planner_test_support.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarNode;
using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_nav2_planner::astar2::AstarSpinAnalysis;

geometry_msgs::msg::Point point(double x, double y) {
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  return p;
}

orvik_nav2_gridmap::GridMapConfig rectangleRobot(double half_length, double half_width) {
  orvik_nav2_gridmap::GridMapConfig config;
  config.footprint = {point(half_length, half_width), point(-half_length, half_width),
                      point(-half_length, -half_width), point(half_length, -half_width)};
  return config;
}

// A 60 x 26 map with a corridor six cells wide (rows 10 to 15) along x: a 0.6 m x 0.16 m
// robot fits along it but cannot turn far.
std::shared_ptr<orvik_nav2_gridmap::GridMapROS> corridorMap() {
  nav2_costmap_2d::Costmap2D costmap(60, 26, 0.05, 0.0, 0.0, nav2_costmap_2d::LETHAL_OBSTACLE);
  for (unsigned int y = 10; y <= 15; ++y) {
    for (unsigned int x = 0; x < 60; ++x) {
      costmap.setCost(x, y, nav2_costmap_2d::FREE_SPACE);
    }
  }
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, rectangleRobot(0.3, 0.08));
}

std::shared_ptr<orvik_nav2_gridmap::GridMapROS> openMap(
    const orvik_nav2_gridmap::GridMapConfig& c) {
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      nav2_costmap_2d::Costmap2D(80, 80, 0.05, 0.0, 0.0, nav2_costmap_2d::FREE_SPACE), c);
}

geometry_msgs::msg::Quaternion yawQuaternion(double yaw) {
  geometry_msgs::msg::Quaternion q;
  q.z = std::sin(yaw / 2.0);
  q.w = std::cos(yaw / 2.0);
  return q;
}

class SpinAnalysisFixture {
 public:
  explicit SpinAnalysisFixture(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map)
      : map_(std::move(map)),
        table_(map_),
        analysis_(map_, std::make_shared<Collision::SpinCollision>(
                            std::make_shared<Collision::CollisionCheck>(map_))) {}
  AstarNode* node(int x, int y) { return table_.findOrCreate(x, y); }

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  orvik_nav2_planner::astar2::AstarTable table_;
  AstarSpinAnalysis analysis_;
};

TEST(AstarSpinAnalysisRing, AnalysesFromOneUpToButExcludingThreeCellsBeyondTheRadius) {
  SpinAnalysisFixture f(openMap({}));
  ASSERT_TRUE(
      f.analysis_.setEvaluationCenterAndCheckCollision(f.node(40, 40), yawQuaternion(0), 10.0));
  EXPECT_FALSE(f.analysis_.isNeedToAnalysis(f.node(50, 40)));
  EXPECT_TRUE(f.analysis_.isNeedToAnalysis(f.node(51, 40)));
  EXPECT_TRUE(f.analysis_.isNeedToAnalysis(f.node(40, 52)));
  EXPECT_FALSE(f.analysis_.isNeedToAnalysis(f.node(53, 40)));
  EXPECT_TRUE(f.analysis_.isNeedToAnalysis(f.node(48, 48)));   // 11.3 cells
  EXPECT_TRUE(f.analysis_.isNeedToAnalysis(f.node(49, 49)));   // 12.7 cells
  EXPECT_FALSE(f.analysis_.isNeedToAnalysis(f.node(50, 50)));  // 14.1 cells
  EXPECT_EQ(f.analysis_.isSpinFreeDirection(f.node(53, 40)), AstarSpinAnalysis::kNotAnalysed);
  EXPECT_EQ(f.analysis_.cacheSize(), 0u);
}

TEST(AstarSpinAnalysisRing, NothingIsAnalysedBeforeACentreIsSet) {
  SpinAnalysisFixture f(openMap({}));
  EXPECT_EQ(f.analysis_.isSpinFreeDirection(f.node(11, 0)), AstarSpinAnalysis::kNotAnalysed);
  EXPECT_EQ(f.analysis_.isSpinFreeDirection(nullptr), AstarSpinAnalysis::kNotAnalysed);
  EXPECT_FALSE(f.analysis_.setEvaluationCenterAndCheckCollision(nullptr, yawQuaternion(0), 10.0));
  EXPECT_EQ(f.analysis_.getMinFreeAngle(), 0.0);
  EXPECT_EQ(f.analysis_.getMaxFreeAngle(), 0.0);
}

TEST(AstarSpinAnalysisCentre, ClearStartIsFreeAllRoundWithoutAskingTheChecker) {
  // A 2 m square robot collides with the map border wherever it turns, so the checker would
  // report a blocked pose; more than 0.8 m from obstacles the analysis must not ask it.
  nav2_costmap_2d::Costmap2D costmap(80, 80, 0.05, 0.0, 0.0, nav2_costmap_2d::FREE_SPACE);
  costmap.setCost(0, 0, nav2_costmap_2d::LETHAL_OBSTACLE);
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, rectangleRobot(1.0, 1.0));
  SpinAnalysisFixture f(map);
  EXPECT_TRUE(
      f.analysis_.setEvaluationCenterAndCheckCollision(f.node(40, 40), yawQuaternion(0.3), 10.0));
  EXPECT_EQ(f.analysis_.getMinFreeAngle(), -6.283185307179586);
  EXPECT_EQ(f.analysis_.getMaxFreeAngle(), 6.283185307179586);
  for (const auto& [x, y] :
       std::vector<std::pair<int, int>>{{51, 40}, {29, 40}, {40, 29}, {32, 32}}) {
    EXPECT_EQ(f.analysis_.isSpinFreeDirection(f.node(x, y)), AstarSpinAnalysis::kReachable);
  }
  const auto& cells = f.analysis_.getCenterCells();
  EXPECT_EQ(cells.pose.position.x, 40.0);
  EXPECT_EQ(cells.pose.position.y, 40.0);
  EXPECT_EQ(cells.header.frame_id, "map");
  EXPECT_NEAR(f.analysis_.getCenterWorld().pose.position.x, 2.025, 1e-12);
  EXPECT_EQ(f.analysis_.getCenterWorld().pose.orientation, yawQuaternion(0.3));
}

// Heading +x in the corridor, where only a small turn either way is free. Hand-worked ratings:
// directions strictly within a quarter turn of the heading are reachable, a quarter turn
// exactly is not (strict comparison), backwards is blocked.
TEST(AstarSpinAnalysisDirection, CorridorRatingsFollowTheHandWorkedTable) {
  SpinAnalysisFixture f(corridorMap());
  ASSERT_TRUE(
      f.analysis_.setEvaluationCenterAndCheckCollision(f.node(30, 12), yawQuaternion(0), 10.0));
  ASSERT_GT(f.analysis_.getMinFreeAngle(), -M_PI / 2);
  ASSERT_LT(f.analysis_.getMaxFreeAngle(), M_PI / 2);
  struct Row {
    int x;
    int y;
    int expected;
  };
  const std::vector<Row> table = {
      {41, 12, AstarSpinAnalysis::kReachable},  // straight ahead, d = 1 exactly
      {38, 20, AstarSpinAnalysis::kReachable},  // 45 degrees left
      {38, 4, AstarSpinAnalysis::kReachable},   // 45 degrees right
      {30, 23, AstarSpinAnalysis::kBlocked},    // exactly 90 degrees left
      {19, 12, AstarSpinAnalysis::kBlocked},    // behind
      {22, 4, AstarSpinAnalysis::kBlocked},     // 135 degrees right
      {22, 20, AstarSpinAnalysis::kBlocked},    // 135 degrees left
      {43, 12, AstarSpinAnalysis::kNotAnalysed}, {30, 12, AstarSpinAnalysis::kNotAnalysed},
  };
  for (const Row& row : table) {
    EXPECT_EQ(f.analysis_.isSpinFreeDirection(f.node(row.x, row.y)), row.expected)
        << row.x << "," << row.y;
  }
  EXPECT_EQ(f.analysis_.cacheSize(), 7u);
}

TEST(AstarSpinAnalysisDirection, CachedAnswerStandsUntilTheNextCentre) {
  SpinAnalysisFixture f(corridorMap());
  ASSERT_TRUE(
      f.analysis_.setEvaluationCenterAndCheckCollision(f.node(30, 12), yawQuaternion(0), 10.0));
  AstarNode* ahead = f.node(41, 12);
  ASSERT_EQ(f.analysis_.isSpinFreeDirection(ahead), AstarSpinAnalysis::kReachable);
  // Same index, but standing behind the robot: the checker would now say blocked.
  AstarNode impostor = *ahead;
  impostor.x = 19;
  EXPECT_EQ(f.analysis_.isSpinFreeDirection(&impostor), AstarSpinAnalysis::kReachable);
  ASSERT_TRUE(
      f.analysis_.setEvaluationCenterAndCheckCollision(f.node(30, 12), yawQuaternion(0), 10.0));
  EXPECT_EQ(f.analysis_.cacheSize(), 0u);
  EXPECT_EQ(f.analysis_.isSpinFreeDirection(&impostor), AstarSpinAnalysis::kBlocked);
}

TEST(AstarSpinAnalysisConversion, CellAndWorldPosesOfANode) {
  SpinAnalysisFixture f(openMap({}));
  AstarNode* n = f.node(3, 7);
  const auto cells = f.analysis_.coverteToGeometryPoseStampedWithoutMap(n);
  EXPECT_EQ(cells.pose.position.x, 3.0);
  EXPECT_EQ(cells.pose.position.y, 7.0);
  EXPECT_TRUE(cells.header.frame_id.empty());
  EXPECT_EQ(cells.pose.orientation.w, 1.0);
  const auto world = f.analysis_.coverteToGeometryPoseStamped(n, yawQuaternion(1.0));
  EXPECT_DOUBLE_EQ(world.pose.position.x, 0.175);
  EXPECT_DOUBLE_EQ(world.pose.position.y, 0.375);
  EXPECT_EQ(world.header.frame_id, "map");
  EXPECT_EQ(world.pose.orientation, yawQuaternion(1.0));
}

TEST(AstarSpinSearch, BlockedDirectionsMarkThePathAndTheTrace) {
  auto map = corridorMap();
  AstarPlanner planner("spin", map);
  AstarOptions options;
  options.check_spin_direction = true;
  options.spin_penalty = 50;
  orvik_nav2_protocol::msg::Path path;
  // The goal lies behind the robot: the path must leave in a blocked direction.
  ASSERT_TRUE(planner.searchPath(orvik_test::cellPose(map, 30, 12, 0.0),
                                 orvik_test::cellPose(map, 5, 12), options, path));
  EXPECT_TRUE(path.spin_blocked_on_path);
  EXPECT_FALSE(path.start_spin_blocked);
  const cv::Mat codes = planner.getTrace()->getTraceMat()->getMat();
  EXPECT_EQ(codes.at<unsigned char>(12, 19), 98);
  EXPECT_EQ(codes.at<unsigned char>(12, 41), 20);
  EXPECT_GT(cv::countNonZero(codes == 98), 0);

  AstarOptions off;
  orvik_nav2_protocol::msg::Path plain;
  ASSERT_TRUE(planner.searchPath(orvik_test::cellPose(map, 30, 12, 0.0),
                                 orvik_test::cellPose(map, 5, 12), off, plain));
  EXPECT_FALSE(plain.spin_blocked_on_path);
  const cv::Mat plain_codes = planner.getTrace()->getTraceMat()->getMat();
  EXPECT_EQ(cv::countNonZero(plain_codes == 98), 0);
  EXPECT_EQ(cv::countNonZero(plain_codes == 20), 0);
}

TEST(AstarSpinSearch, StartThatCannotTurnIsFlaggedOnTheResult) {
  // The robot stands across the corridor's end wall: the start pose itself collides.
  auto map = corridorMap();
  AstarPlanner planner("stuck", map);
  orvik_nav2_protocol::msg::Path path;
  ASSERT_TRUE(planner.searchPath(orvik_test::cellPose(map, 30, 12, M_PI / 2),
                                 orvik_test::cellPose(map, 40, 12), AstarOptions(), path));
  EXPECT_TRUE(path.start_spin_blocked);
}

}  // namespace
