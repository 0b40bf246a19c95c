// SPDX-License-Identifier: Apache-2.0
// The constrained smoother's optimiser: what it keeps, what it moves, when it fails.
#include <cmath>
#include <memory>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "nav2_constrained_smoother/smoother.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace {

using nav2_constrained_smoother::OptimizerParams;
using nav2_constrained_smoother::Smoother;
using nav2_constrained_smoother::SmootherParams;
using Path = std::vector<Eigen::Vector3d>;

/// Parameters as a node without overrides yields them.
SmootherParams defaultParams() {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("smoother_test");
  SmootherParams params;
  params.get(node.get(), "s");
  return params;
}

std::unique_ptr<Smoother> defaultSmoother() {
  auto node = std::make_shared<rclcpp_lifecycle::LifecycleNode>("smoother_test");
  OptimizerParams optimizer;
  optimizer.get(node.get(), "s");
  auto smoother = std::make_unique<Smoother>();
  smoother->initialize(optimizer);
  return smoother;
}

/// A free 5 m square at 5 cm.
const nav2_costmap_2d::Costmap2D& freeCostmap() {
  static const nav2_costmap_2d::Costmap2D costmap(100, 100, 0.05, 0.0, 0.0, 0);
  return costmap;
}

double angleDiff(double a, double b) {
  return std::remainder(a - b, 2 * M_PI);
}

/// Largest heading change between consecutive segments: a sharp corner scores high.
double sharpestTurn(const Path& path) {
  double sharpest = 0;
  for (size_t i = 1; i + 1 < path.size(); ++i) {
    const Eigen::Vector2d in = (path[i] - path[i - 1]).head<2>();
    const Eigen::Vector2d out = (path[i + 1] - path[i]).head<2>();
    sharpest = std::max(
        sharpest, std::abs(angleDiff(std::atan2(out.y(), out.x()), std::atan2(in.y(), in.x()))));
  }
  return sharpest;
}

TEST(ConstrainedSmootherOptimiser, EvenlySpacedStraightPathComesBackUnchanged) {
  Path path;
  for (int i = 0; i < 20; ++i) {
    path.emplace_back(0.5 + 0.05 * i, 1.0, 1.0);
  }
  const Path input = path;
  auto smoother = defaultSmoother();
  ASSERT_TRUE(smoother->smooth(path, {1, 0}, {1, 0}, &freeCostmap(), defaultParams()));
  ASSERT_EQ(path.size(), input.size());
  for (size_t i = 0; i < path.size(); ++i) {
    EXPECT_NEAR(path[i].x(), input[i].x(), 1e-6) << i;
    EXPECT_NEAR(path[i].y(), 1.0, 1e-6) << i;
    EXPECT_NEAR(path[i].z(), 0.0, 1e-6) << i;
  }
}

TEST(ConstrainedSmootherOptimiser, RightAngleCornerIsCutWhileTheEndsStay) {
  Path path = {{0, 0, 1},     {0.1, 0, 1},   {0.2, 0, 1},  {0.3, 0, 1},
               {0.3, 0.1, 1}, {0.3, 0.2, 1}, {0.3, 0.3, 1}};
  const Path input = path;
  auto smoother = defaultSmoother();
  ASSERT_TRUE(smoother->smooth(path, {1, 0}, {0, 1}, &freeCostmap(), defaultParams()));
  ASSERT_EQ(path.size(), 7u);
  // The two points at each end hold the end orientations and do not move.
  for (size_t i : {0u, 1u, 5u, 6u}) {
    EXPECT_EQ(path[i].head<2>(), input[i].head<2>()) << i;
  }
  EXPECT_NEAR(path.front().z(), 0.0, 1e-12);
  EXPECT_NEAR(path.back().z(), M_PI / 2, 1e-12);
  // The corner moves inside the turn (Nav2 itself gives about (0.240, 0.060)).
  EXPECT_NEAR(path[3].x(), 0.240, 0.01);
  EXPECT_NEAR(path[3].y(), 0.060, 0.01);
  EXPECT_LT(sharpestTurn(path), 0.75 * sharpestTurn(input));
}

TEST(ConstrainedSmootherOptimiser, PathWithoutMovablePointsKeepsPositionsAndGetsYaws) {
  Path path = {{0, 0, 1}, {0.1, 0, 1}, {0.2, 0.05, 1}, {0.3, 0.05, 1}};
  const Path input = path;
  auto smoother = defaultSmoother();
  ASSERT_TRUE(smoother->smooth(path, {1, 0}, {0, -1}, &freeCostmap(), defaultParams()));
  ASSERT_EQ(path.size(), input.size());
  for (size_t i = 0; i < path.size(); ++i) {
    EXPECT_EQ(path[i].head<2>(), input[i].head<2>()) << i;
  }
  EXPECT_NEAR(path.front().z(), 0.0, 1e-12);
  EXPECT_NEAR(path.back().z(), -M_PI / 2, 1e-12);
  // Interior headings point along the path.
  EXPECT_GT(path[1].z(), 0.0);
  EXPECT_LT(path[1].z(), M_PI / 2);
}

TEST(ConstrainedSmootherOptimiser, RepeatedConsecutivePointIsAFailureThatLeavesThePath) {
  Path path = {{0, 0, 1},     {0.1, 0, 1},   {0.2, 0, 1},   {0.2, 0, 1},
               {0.3, 0.1, 1}, {0.4, 0.1, 1}, {0.5, 0.1, 1}, {0.6, 0.1, 1}};
  const Path input = path;
  auto smoother = defaultSmoother();
  EXPECT_FALSE(smoother->smooth(path, {1, 0}, {1, 0}, &freeCostmap(), defaultParams()));
  EXPECT_EQ(path, input);
}

TEST(ConstrainedSmootherOptimiser, FewerThanTwoPointsThrow) {
  auto smoother = defaultSmoother();
  Path empty;
  Path single = {{1, 1, 1}};
  EXPECT_THROW(smoother->smooth(empty, {1, 0}, {1, 0}, &freeCostmap(), defaultParams()),
               std::runtime_error);
  EXPECT_THROW(smoother->smooth(single, {1, 0}, {1, 0}, &freeCostmap(), defaultParams()),
               std::runtime_error);
}

TEST(ConstrainedSmootherOptimiser, MissingOrEmptyCostmapThrowsInsteadOfAborting) {
  auto smoother = defaultSmoother();
  Path path = {{0, 0, 1}, {0.1, 0, 1}, {0.2, 0, 1}, {0.3, 0, 1}, {0.4, 0, 1}, {0.5, 0, 1}};
  const nav2_costmap_2d::Costmap2D empty(0, 10, 0.05, 0.0, 0.0);
  EXPECT_THROW(smoother->smooth(path, {1, 0}, {1, 0}, nullptr, defaultParams()),
               std::runtime_error);
  EXPECT_THROW(smoother->smooth(path, {1, 0}, {1, 0}, &empty, defaultParams()), std::runtime_error);
}

TEST(ConstrainedSmootherOptimiser, DownsampledPathIsRefilledByUpsampling) {
  Path input;
  for (int i = 0; i < 11; ++i) {
    const double angle = 0.05 * i;
    input.emplace_back(1.0 + std::sin(angle), 2.0 - std::cos(angle), 1.0);
  }
  auto smoother = defaultSmoother();
  SmootherParams params = defaultParams();
  params.path_downsampling_factor = 2;
  const std::vector<std::pair<int, size_t>> expected = {{0, 7u}, {1, 11u}, {2, 21u}};
  for (const auto& [upsampling, count] : expected) {
    params.path_upsampling_factor = upsampling;
    Path path = input;
    ASSERT_TRUE(
        smoother->smooth(path, {1, 0}, {std::cos(0.5), std::sin(0.5)}, &freeCostmap(), params));
    EXPECT_EQ(path.size(), count) << "upsampling " << upsampling;
    EXPECT_EQ(path.front().head<2>(), input.front().head<2>());
    EXPECT_EQ(path.back().head<2>(), input.back().head<2>());
    for (size_t i = 1; i < path.size(); ++i) {
      // Consecutive output points stay close: no Bezier overshoot across the map.
      EXPECT_LT((path[i] - path[i - 1]).head<2>().norm(), 0.11) << i;
    }
  }
}

TEST(ConstrainedSmootherOptimiser, FreeEndOrientationsFollowThePath) {
  Path path;
  for (int i = 0; i < 10; ++i) {
    path.emplace_back(0.5 + 0.05 * i, 1.0, 1.0);
  }
  SmootherParams params = defaultParams();
  params.keep_start_orientation = false;
  params.keep_goal_orientation = false;
  auto smoother = defaultSmoother();
  // Both requested headings point sideways; without the keep flags they are ignored.
  ASSERT_TRUE(smoother->smooth(path, {0, 1}, {0, -1}, &freeCostmap(), params));
  EXPECT_NEAR(path.front().z(), 0.0, 1e-9);
  EXPECT_NEAR(path.back().z(), 0.0, 1e-9);
}

/// Forward along +x, then reversing up and to the left: a cusp at (1.0, 1.0), the first point
/// driven from in reverse.
Path pathWithCusp() {
  Path path;
  for (int i = 0; i <= 10; ++i) {
    path.emplace_back(0.5 + 0.05 * i, 1.0, i < 10 ? 1.0 : -1.0);
  }
  for (int i = 1; i <= 10; ++i) {
    path.emplace_back(1.0 - 0.035 * i, 1.0 + 0.035 * i, -1.0);
  }
  return path;
}

TEST(ConstrainedSmootherOptimiser, ReversingSegmentCarriesHeadingsAgainstTheMotion) {
  Path path = pathWithCusp();
  auto smoother = defaultSmoother();
  const Eigen::Vector2d end_dir(std::sqrt(0.5), -std::sqrt(0.5));
  ASSERT_TRUE(smoother->smooth(path, {1, 0}, end_dir, &freeCostmap(), defaultParams()));
  ASSERT_EQ(path.size(), 21u);
  // Forward part heads +x; the reversing part heads down-right, opposite to its motion.
  for (size_t i = 1; i < 6; ++i) {
    EXPECT_NEAR(angleDiff(path[i].z(), 0.0), 0.0, 0.3) << i;
  }
  for (size_t i = 14; i < 21; ++i) {
    EXPECT_NEAR(angleDiff(path[i].z(), -M_PI / 4), 0.0, 0.3) << i;
  }
  // The cusp is where the motion turns back: it stays the point farthest along +x.
  for (size_t i = 0; i < path.size(); ++i) {
    EXPECT_LE(path[i].x(), path[10].x() + 1e-9) << i;
  }
}

TEST(ConstrainedSmootherOptimiser, ZeroLengthCuspZoneStillSmoothsAPathWithACusp) {
  Path path = pathWithCusp();
  SmootherParams params = defaultParams();
  params.cusp_zone_length = 0.0;
  auto smoother = defaultSmoother();
  ASSERT_TRUE(
      smoother->smooth(path, {1, 0}, {std::sqrt(0.5), -std::sqrt(0.5)}, &freeCostmap(), params));
  for (const auto& point : path) {
    EXPECT_TRUE(point.allFinite());
  }
}

TEST(ConstrainedSmootherOptimiser, PathRunningOffTheCostmapIsSmoothedWithBorderCosts) {
  // A corner whose first leg lies outside the 5 m map, below and left of its origin.
  Path path;
  for (int i = 0; i < 30; ++i) {
    path.emplace_back(-1.0 + 0.1 * i, -1.0, 1.0);
  }
  for (int i = 0; i <= 30; ++i) {
    path.emplace_back(2.0, -1.0 + 0.1 * i, 1.0);
  }
  const Path input = path;
  auto smoother = defaultSmoother();
  ASSERT_TRUE(smoother->smooth(path, {1, 0}, {0, 1}, &freeCostmap(), defaultParams()));
  for (const auto& point : path) {
    EXPECT_TRUE(point.allFinite());
  }
  EXPECT_EQ(path.front().head<2>(), input.front().head<2>());
  EXPECT_EQ(path.back().head<2>(), input.back().head<2>());
  EXPECT_LT(sharpestTurn(path), 0.75 * sharpestTurn(input));
}

}  // namespace
