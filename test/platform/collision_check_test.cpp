// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/collision_check.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <thread>

#include "platform/collision_oracle.hpp"
#include "support/grid_fixtures.hpp"

using orvik_nav2_gridmap::GridMapConfig;
using orvik_nav2_gridmap::GridMapROS;
using orvik_test::point;

namespace {

geometry_msgs::msg::Pose2D pose2d(double x, double y, double theta) {
  geometry_msgs::msg::Pose2D p;
  p.x = x;
  p.y = y;
  p.theta = theta;
  return p;
}

std::vector<GridMapConfig> footprintVariants() {
  std::vector<GridMapConfig> configs(4);
  configs[0].footprint = {point(0.22, 0.12), point(-0.1, 0.12), point(-0.1, -0.12),
                          point(0.22, -0.12)};
  configs[1].robot_radius = 0.17;
  configs[2].footprint = {point(0.3, 0.0), point(-0.1, 0.15), point(-0.1, -0.15)};
  configs[3].robot_radius = 0.0;  // point robot
  return configs;
}

}  // namespace

TEST(CollisionCheck, MatchesBruteForceOnRandomMaps) {
  std::mt19937 rng(42);
  int collisions = 0, free_poses = 0;
  for (unsigned int seed = 1; seed <= 8; ++seed) {
    const double resolution = 0.05;
    const auto costmap = orvik_test::randomCostmap(24, 20, 0.03, seed, resolution);
    for (const GridMapConfig& config : footprintVariants()) {
      auto map = std::make_shared<GridMapROS>(costmap, config);
      Collision::CollisionCheck checker(map);
      orvik_test::BruteForceCollision oracle(costmap, checker.getFootprint(),
                                             config.unknown_is_obstacle);
      std::uniform_real_distribution<double> wx(-0.1, 24 * resolution + 0.1);
      std::uniform_real_distribution<double> wy(-0.1, 20 * resolution + 0.1);
      std::uniform_real_distribution<double> angle(-M_PI, M_PI);
      for (int i = 0; i < 150; ++i) {
        const double x = wx(rng), y = wy(rng), theta = angle(rng);
        const bool expected_free = !oracle.collides(x, y, theta);
        ASSERT_EQ(checker.isCollisionFreePose(pose2d(x, y, theta), true), expected_free)
            << "seed " << seed << " pose " << x << "," << y << "," << theta;
        expected_free ? ++free_poses : ++collisions;
      }
    }
  }
  // Both answers must have been exercised for the comparison to mean anything.
  EXPECT_GT(collisions, 100);
  EXPECT_GT(free_poses, 100);
}

TEST(CollisionCheck, CircleFootprintCoversTheRobotCircle) {
  GridMapConfig config;
  config.robot_radius = 0.3;
  auto map = orvik_test::gridMapFromAscii({"........", "........", "........"}, config, 0.1);
  Collision::CollisionCheck checker(map);
  const auto& polygon = checker.getFootprint();
  ASSERT_GE(polygon.size(), 8u);
  // Every edge lies at least robot_radius from the centre.
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const double mx = (polygon[i].x + polygon[j].x) / 2, my = (polygon[i].y + polygon[j].y) / 2;
    EXPECT_GE(std::hypot(mx, my), 0.3 - 1e-9);
  }
}

TEST(CollisionCheck, FootprintReachingOffTheMapCollides) {
  GridMapConfig config;
  config.robot_radius = 0.1;
  auto map = orvik_test::gridMapFromAscii({"......", "......", "......"}, config, 0.1);
  Collision::CollisionCheck checker(map);
  EXPECT_TRUE(checker.isCollisionFreePose(pose2d(0.3, 0.15, 0.0), true));
  EXPECT_FALSE(checker.isCollisionFreePose(pose2d(0.05, 0.15, 0.0), true));
  EXPECT_FALSE(checker.isCollisionFreePose(pose2d(-1.0, 0.15, 0.0), true));
}

TEST(CollisionCheck, NonFiniteOrHugeInputIsNotFree) {
  GridMapConfig config;
  config.robot_radius = 0.1;
  auto map = orvik_test::gridMapFromAscii({"......", "......", "......"}, config, 0.1);
  Collision::CollisionCheck checker(map);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(checker.isCollisionFreePose(pose2d(nan, 0.15, 0.0), true));
  EXPECT_FALSE(checker.isCollisionFreePose(pose2d(0.3, inf, 0.0), true));
  EXPECT_FALSE(checker.isCollisionFreePose(pose2d(0.3, 0.15, nan), true));
  EXPECT_FALSE(checker.isCollisionFreePose(pose2d(1e300, -1e300, 0.0), true));
}

TEST(CollisionCheck, HugeFootprintCollidesWithoutHanging) {
  GridMapConfig config;
  config.robot_radius = 1e7;
  auto map = orvik_test::gridMapFromAscii({"......", "......"}, config, 0.1);
  Collision::CollisionCheck checker(map);
  EXPECT_FALSE(checker.isCollisionFreePose(pose2d(0.3, 0.1, 0.0), true));
}

TEST(CollisionCheck, FlagNeverChangesTheAnswer) {
  const auto costmap = orvik_test::randomCostmap(20, 20, 0.05, 7, 0.05);
  GridMapConfig config;
  config.robot_radius = 0.12;
  Collision::CollisionCheck checker(std::make_shared<GridMapROS>(costmap, config));
  for (int i = 0; i < 200; ++i) {
    const auto p = pose2d(0.05 * (i % 20), 0.05 * (i / 10), 0.1 * i);
    EXPECT_EQ(checker.isCollisionFreePose(p, true), checker.isCollisionFreePose(p, false));
  }
}

TEST(CollisionCheck, MissingMapIsRejectedAtConstruction) {
  EXPECT_THROW(Collision::CollisionCheck(nullptr), std::invalid_argument);
  EXPECT_THROW(Collision::CollisionCheck(std::make_shared<GridMapROS>(nullptr, std::string("map"))),
               std::invalid_argument);
}

TEST(CollisionCheck, SharedMapAnswersAlikeFromSeveralThreads) {
  GridMapConfig config;
  config.robot_radius = 0.1;
  auto map =
      std::make_shared<GridMapROS>(orvik_test::randomCostmap(40, 40, 0.04, 11, 0.05), config);
  std::vector<geometry_msgs::msg::Pose2D> poses;
  for (int i = 0; i < 400; ++i) {
    poses.push_back(pose2d(0.05 * (i % 40) + 0.01, 0.05 * (i / 10) + 0.02, 0.3 * i));
  }
  Collision::CollisionCheck reference(map);
  std::vector<bool> expected;
  for (const auto& p : poses) {
    expected.push_back(reference.isCollisionFreePose(p, true));
  }
  std::vector<std::vector<bool>> results(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      Collision::CollisionCheck checker(map);  // one checker per planner, one map for all
      for (const auto& p : poses) {
        results[t].push_back(checker.isCollisionFreePose(p, true));
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  for (const auto& result : results) {
    EXPECT_EQ(result, expected);
  }
}
