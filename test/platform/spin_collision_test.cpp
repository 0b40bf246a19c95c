// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/spin_collision.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "platform/collision_oracle.hpp"
#include "support/grid_fixtures.hpp"

using Collision::SpinCollision;
using orvik_nav2_gridmap::GridMapConfig;
using orvik_nav2_gridmap::GridMapROS;
using orvik_test::point;

namespace {

geometry_msgs::msg::PoseStamped stamped(double x, double y, double yaw) {
  geometry_msgs::msg::PoseStamped p;
  p.pose.position.x = x;
  p.pose.position.y = y;
  p.pose.orientation.z = std::sin(yaw / 2);
  p.pose.orientation.w = std::cos(yaw / 2);
  return p;
}

// Brute-force sweep with the oracle: the last free offset walking from 0 to `limit`.
double oracleSweep(const orvik_test::BruteForceCollision& oracle, double x, double y, double yaw,
                   double limit) {
  const double dir = limit < 0 ? -1 : 1;
  double last = 0;
  for (int k = 1;; ++k) {
    const double offset = std::min(k * SpinCollision::kAngleStep, std::abs(limit));
    if (oracle.collides(x, y, yaw + dir * offset)) {
      return dir * last;
    }
    last = offset;
    if (offset >= std::abs(limit)) {
      return dir * last;
    }
  }
}

struct SpinFixture {
  SpinFixture(const nav2_costmap_2d::Costmap2D& costmap, const GridMapConfig& config)
      : checker(std::make_shared<Collision::CollisionCheck>(
            std::make_shared<GridMapROS>(costmap, config))),
        spin(checker),
        oracle(costmap, checker->getFootprint(), config.unknown_is_obstacle) {}
  std::shared_ptr<Collision::CollisionCheck> checker;
  SpinCollision spin;
  orvik_test::BruteForceCollision oracle;
};

GridMapConfig rectangleRobot() {
  GridMapConfig config;
  config.footprint = {point(0.25, 0.1), point(-0.1, 0.1), point(-0.1, -0.1), point(0.25, -0.1)};
  return config;
}

}  // namespace

TEST(SpinCollisionFreeAngle, MatchesBruteForceSweepOnRandomMaps) {
  std::mt19937 rng(7);
  int partial = 0, full = 0, blocked = 0;
  for (unsigned int seed = 1; seed <= 6; ++seed) {
    const auto costmap = orvik_test::randomCostmap(22, 22, 0.02, seed, 0.05);
    SpinFixture f(costmap, rectangleRobot());
    std::uniform_real_distribution<double> coord(0.1, 1.0);
    std::uniform_real_distribution<double> angle(-M_PI, M_PI);
    for (int i = 0; i < 12; ++i) {
      const double x = coord(rng), y = coord(rng), yaw = angle(rng);
      double min_angle = 1, max_angle = -1;
      const bool ok = f.spin.getCollisionFreeAngle(stamped(x, y, yaw), min_angle, max_angle);
      if (f.oracle.collides(x, y, yaw)) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(min_angle, 0.0);
        EXPECT_EQ(max_angle, 0.0);
        ++blocked;
        continue;
      }
      ASSERT_TRUE(ok);
      const double ccw = oracleSweep(f.oracle, x, y, yaw, 2 * M_PI);
      if (ccw >= 2 * M_PI) {
        EXPECT_DOUBLE_EQ(max_angle, 2 * M_PI);
        EXPECT_DOUBLE_EQ(min_angle, -2 * M_PI);
        ++full;
        continue;
      }
      EXPECT_NEAR(max_angle, ccw, 1e-9);
      EXPECT_NEAR(min_angle, oracleSweep(f.oracle, x, y, yaw, -2 * M_PI), 1e-9);
      EXPECT_LE(min_angle, 0.0);
      EXPECT_GE(max_angle, 0.0);
      ++partial;
    }
  }
  EXPECT_GT(partial, 5);
  EXPECT_GT(blocked, 2);
}

TEST(SpinCollisionFreeAngle, OpenSpaceGivesFullTurn) {
  const auto costmap =
      orvik_test::costmapFromAscii(std::vector<std::string>(30, std::string(30, '.')), 0.05);
  SpinFixture f(costmap, rectangleRobot());
  double min_angle = 0, max_angle = 0;
  ASSERT_TRUE(f.spin.getCollisionFreeAngle(stamped(0.75, 0.75, 0.3), min_angle, max_angle));
  EXPECT_DOUBLE_EQ(min_angle, -2 * M_PI);
  EXPECT_DOUBLE_EQ(max_angle, 2 * M_PI);
}

TEST(SpinCollisionFreeAngle, WallOnTheLeftLimitsCounterClockwiseTurn) {
  // Corridor along x; wall two cells above the robot's row. The long nose (0.25 m) hits the
  // wall after some counter-clockwise turn, and symmetric clockwise turn hits the other wall.
  std::vector<std::string> rows = {"####################", "....................",
                                   "....................", "....................",
                                   "....................", "....................",
                                   "....................", "....................",
                                   "....................", "...................."};
  const auto costmap = orvik_test::costmapFromAscii(rows, 0.05);
  SpinFixture f(costmap, rectangleRobot());
  double min_angle = 0, max_angle = 0;
  // Wall at y in [0.45, 0.5]; robot at y 0.275: only the upper side is close.
  ASSERT_TRUE(f.spin.getCollisionFreeAngle(stamped(0.5, 0.275, 0.0), min_angle, max_angle));
  EXPECT_GT(max_angle, 0.0);
  EXPECT_LT(max_angle, M_PI / 2);
  EXPECT_LT(min_angle, -M_PI / 2);  // clockwise it sweeps the nose through free space first
}

TEST(SpinCollisionFreeAngle, NonFiniteOrCollidingPoseFails) {
  const auto costmap = orvik_test::costmapFromAscii({"#....", ".....", "....."}, 0.1);
  SpinFixture f(costmap, GridMapConfig{});
  double min_angle = 5, max_angle = 5;
  EXPECT_FALSE(f.spin.getCollisionFreeAngle(stamped(0.05, 0.25, 0.0), min_angle, max_angle));
  EXPECT_EQ(min_angle, 0.0);
  EXPECT_EQ(max_angle, 0.0);
  EXPECT_FALSE(f.spin.getCollisionFreeAngle(stamped(std::nan(""), 0.1, 0.0), min_angle, max_angle));
  auto p = stamped(0.2, 0.1, 0.0);
  p.pose.orientation.w = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(f.spin.getCollisionFreeAngle(p, min_angle, max_angle));
}

TEST(SpinCollisionIsCollisionFree, MatchesBruteForceOverRange) {
  std::mt19937 rng(3);
  int free_count = 0, blocked_count = 0;
  for (unsigned int seed = 10; seed < 14; ++seed) {
    const auto costmap = orvik_test::randomCostmap(20, 20, 0.02, seed, 0.05);
    SpinFixture f(costmap, rectangleRobot());
    std::uniform_real_distribution<double> coord(0.1, 0.9);
    std::uniform_real_distribution<double> angle(-M_PI, M_PI);
    for (int i = 0; i < 10; ++i) {
      const double x = coord(rng), y = coord(rng), yaw = angle(rng);
      const double lo = -0.8, hi = 0.5;
      bool expected = true;
      for (int k = 0;; ++k) {
        const double offset = std::min(k * SpinCollision::kAngleStep, hi - lo);
        if (f.oracle.collides(x, y, yaw + lo + offset)) {
          expected = false;
          break;
        }
        if (offset >= hi - lo) {
          break;
        }
      }
      EXPECT_EQ(f.spin.isCollisionFree(stamped(x, y, yaw), lo, hi), expected);
      expected ? ++free_count : ++blocked_count;
    }
  }
  EXPECT_GT(free_count, 3);
  EXPECT_GT(blocked_count, 3);
}

TEST(SpinCollisionIsCollisionFree, HugeOrReversedRangesStayBoundedAndSafe) {
  const auto costmap =
      orvik_test::costmapFromAscii({"#.........", "..........", ".........."}, 0.05);
  SpinFixture f(costmap, rectangleRobot());
  const auto pose = stamped(0.25, 0.075, 0.0);
  EXPECT_EQ(f.spin.isCollisionFree(pose, -1e12, 1e12), f.spin.isCollisionFree(pose, 0, 2 * M_PI));
  EXPECT_EQ(f.spin.isCollisionFree(pose, 0.5, -0.5), f.spin.isCollisionFree(pose, -0.5, 0.5));
  EXPECT_FALSE(f.spin.isCollisionFree(pose, std::nan(""), 1.0));
}

TEST(SpinCollisionSpinAngle, ComputesBothTurnDirections) {
  const auto costmap = orvik_test::costmapFromAscii({"..."}, 1.0);
  SpinFixture f(costmap, GridMapConfig{});
  double cw = 1, ccw = -1;
  // Heading +x, target straight above: a quarter turn ccw or three quarters cw.
  ASSERT_TRUE(f.spin.getSpinAngle(stamped(0, 0, 0), stamped(0, 5, 0), cw, ccw));
  EXPECT_NEAR(ccw, M_PI / 2, 1e-12);
  EXPECT_NEAR(cw, -3 * M_PI / 2, 1e-12);
  // Heading 170 degrees, target at -170 degrees: 20 degrees ccw across the +-pi seam.
  const double deg = M_PI / 180;
  ASSERT_TRUE(f.spin.getSpinAngle(stamped(10, 10, 170 * deg),
                                  stamped(10 + std::cos(-170 * deg), 10 + std::sin(-170 * deg), 0),
                                  cw, ccw));
  EXPECT_NEAR(ccw, 20 * deg, 1e-9);
  EXPECT_NEAR(cw, -340 * deg, 1e-9);
  // Already facing it.
  ASSERT_TRUE(f.spin.getSpinAngle(stamped(1, 1, 0), stamped(4, 1, 0), cw, ccw));
  EXPECT_EQ(cw, 0.0);
  EXPECT_EQ(ccw, 0.0);
  // Same position or non-finite: false and zeros.
  EXPECT_FALSE(f.spin.getSpinAngle(stamped(1, 1, 0), stamped(1, 1, 0), cw, ccw));
  EXPECT_FALSE(f.spin.getSpinAngle(stamped(1, 1, 0), stamped(INFINITY, 1, 0), cw, ccw));
  EXPECT_EQ(cw, 0.0);
  EXPECT_EQ(ccw, 0.0);
}
