// SPDX-License-Identifier: Apache-2.0
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvik_nav2_planner/path_smoother.hpp"
#include "smoother/path_smoother_fixtures.hpp"

namespace {

using orvik_test::gridMapFromAscii;
using orvik_test::openMap;
using orvik_test::pathThrough;
using orvik_test::poseAt;
using orvik_test::smootherNode;
using orvik_test::totalTurning;
using orvik_test::twist;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

/// A zigzag of the given teeth between y = base and y = base + amplitude, 0.2 m per tooth.
nav_msgs::msg::Path zigzag(double x0, double base, double amplitude, int teeth) {
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i <= 2 * teeth; ++i) {
    points.emplace_back(x0 + 0.1 * i, base + (i % 2 == 1 ? amplitude : 0.0));
  }
  return pathThrough(points);
}

void expectSamePositions(const std::vector<Pose2d>& actual, const std::vector<Pose2d>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    EXPECT_EQ(actual[i].x, expected[i].x) << i;
    EXPECT_EQ(actual[i].y, expected[i].y) << i;
  }
}

TEST(PathSmootherRun, TwoPosePathIsHandedBackUnchanged) {
  PathSmoother smoother(smootherNode(), openMap(100, 100));
  nav_msgs::msg::Path input = pathThrough({{1.0, 1.0}, {2.0, 1.5}});
  input.header.stamp.sec = 42;
  smoother.setOriginalPath(input);
  smoother.setCurrentData(poseAt(1.0, 1.0), twist(0.3, 0.0));
  smoother.smoothPath();
  EXPECT_TRUE(smoother.getResampledPath().empty());
  EXPECT_TRUE(smoother.getSmoothedPath().empty());
  nav_msgs::msg::Path output;
  ASSERT_TRUE(smoother.getSmoothedNavPath(output));
  EXPECT_EQ(output, input);
}

TEST(PathSmootherRun, StraightEvenRunFarFromObstaclesGetsNoCorrection) {
  const auto node = smootherNode({rclcpp::Parameter("gradient_smoother.max_iterations", 1)});
  PathSmoother smoother(node, openMap(100, 100));
  smoother.setOriginalPath(pathThrough({{1.0, 2.0}, {2.5, 2.0}, {4.0, 2.0}}));
  smoother.smoothPath();
  const auto& before = smoother.getResampledPath();
  const auto& after = smoother.getSmoothedPath();
  ASSERT_GT(before.size(), 20u);
  // The last pose is appended after the last full step, so the spacing is uneven only at the
  // end; every point whose neighbours are a full step away on both sides stays put.
  for (size_t i = 1; i + 3 < before.size(); ++i) {
    // Float rounding of the resampled spacing leaves corrections of a few nanometres.
    EXPECT_NEAR(after[i].x, before[i].x, 1e-7) << i;
    EXPECT_EQ(after[i].y, before[i].y) << i;
  }
}

TEST(PathSmootherRun, StraightRunStaysStraightAndKeepsItsEnds) {
  PathSmoother smoother(smootherNode(), openMap(100, 100));
  smoother.setOriginalPath(pathThrough({{1.0, 2.0}, {2.5, 2.0}, {4.0, 2.0}}));
  smoother.smoothPath();
  const auto& before = smoother.getResampledPath();
  const auto& after = smoother.getSmoothedPath();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(after[i].y, 2.0) << i;
  }
  EXPECT_EQ(after.front().x, before.front().x);
  EXPECT_EQ(after.back().x, before.back().x);
}

TEST(PathSmootherRun, ZeroIterationsLeaveTheResampledPath) {
  const auto node = smootherNode({rclcpp::Parameter("gradient_smoother.max_iterations", 0)});
  PathSmoother smoother(node, openMap(100, 100));
  smoother.setOriginalPath(zigzag(1.0, 1.0, 0.1, 5));
  smoother.smoothPath();
  ASSERT_FALSE(smoother.getResampledPath().empty());
  expectSamePositions(smoother.getSmoothedPath(), smoother.getResampledPath());
}

TEST(PathSmootherRun, RobotAtTheEndLeavesEveryPointInPlace) {
  PathSmoother smoother(smootherNode(), openMap(100, 100));
  smoother.setOriginalPath(zigzag(1.0, 1.0, 0.1, 5));
  const Pose2d end = smoother.getResampledPath().back();
  smoother.setCurrentData(poseAt(end.x, end.y), twist(0.0, 0.0));
  smoother.smoothPath();
  ASSERT_GE(smoother.getSmoothStartIndex() + 2, smoother.getSmoothedPath().size());
  expectSamePositions(smoother.getSmoothedPath(), smoother.getResampledPath());
}

TEST(PathSmootherRun, ZigzagInOpenSpaceLosesTurningAndKeepsItsEnds) {
  PathSmoother smoother(smootherNode(), openMap(100, 100));
  smoother.setOriginalPath(zigzag(1.0, 1.0, 0.1, 8));
  smoother.smoothPath();
  const auto& before = smoother.getResampledPath();
  const auto& after = smoother.getSmoothedPath();
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after.front().x, before.front().x);
  EXPECT_EQ(after.front().y, before.front().y);
  EXPECT_EQ(after.back().x, before.back().x);
  EXPECT_EQ(after.back().y, before.back().y);
  EXPECT_LT(totalTurning(after), 0.5 * totalTurning(before));
  // The teeth flatten: the squared second differences, which the smoothness term descends,
  // lose most of their sum.
  const auto roughness = [](const std::vector<Pose2d>& path) {
    double sum = 0.0;
    for (size_t i = 1; i + 1 < path.size(); ++i) {
      sum += std::pow(path[i - 1].x - 2 * path[i].x + path[i + 1].x, 2) +
             std::pow(path[i - 1].y - 2 * path[i].y + path[i + 1].y, 2);
    }
    return sum;
  };
  EXPECT_LT(roughness(after), 0.1 * roughness(before));
}

TEST(PathSmootherRun, WallPushesANearbyRunAway) {
  // 5 m x 2 m with a wall along the bottom row; the run lies 0.15 m above the wall cells.
  std::vector<std::string> rows(40, std::string(100, '.'));
  rows.back() = std::string(100, '#');
  PathSmoother smoother(smootherNode(), gridMapFromAscii(rows));
  smoother.setOriginalPath(pathThrough({{0.5, 0.175}, {2.5, 0.175}, {4.5, 0.175}}));
  smoother.smoothPath();
  const auto& after = smoother.getSmoothedPath();
  ASSERT_GT(after.size(), 50u);
  for (const Pose2d& p : after) {
    EXPECT_GE(p.y, 0.175 - 1e-9);
  }
  EXPECT_GT(after[after.size() / 2].y, 0.175 + 0.05);
  EXPECT_EQ(after.front().y, 0.175);
  EXPECT_EQ(after.back().y, 0.175);
}

TEST(PathSmootherRun, PredictionPullsThePointsAheadOfTheRobot) {
  PathSmoother smoother(smootherNode(), openMap(100, 100));
  smoother.setOriginalPath(pathThrough({{0.5, 1.0}, {2.5, 1.0}, {4.5, 1.0}}));
  // Standing 0.1 m beside the path at x = 2.
  smoother.setCurrentData(poseAt(2.0, 1.1), twist(0.0, 0.0));
  smoother.smoothPath();
  const size_t start = smoother.getSmoothStartIndex();
  const auto& before = smoother.getResampledPath();
  const auto& after = smoother.getSmoothedPath();
  ASSERT_GT(start, 0u);
  EXPECT_NEAR(before[start].x, 2.0, 0.026);
  EXPECT_GT(after[start].y, 1.0 + 1e-3);
  for (size_t i = 0; i < start; ++i) {
    EXPECT_EQ(after[i].x, before[i].x) << i;
    EXPECT_EQ(after[i].y, before[i].y) << i;
  }
  // Only the points from the robot on are handed out.
  nav_msgs::msg::Path output;
  ASSERT_TRUE(smoother.getSmoothedNavPath(output));
  ASSERT_EQ(output.poses.size(), after.size() - start);
  EXPECT_EQ(output.poses.front().pose.position.y, after[start].y);
}

TEST(PathSmootherRun, PriorityPassageScalesTheCorrection) {
  std::vector<int> labels(100 * 100, 0);
  for (int y = 50; y < 100; ++y) {
    for (int x = 0; x < 100; ++x) {
      labels[static_cast<size_t>(y * 100 + x)] = 1;
    }
  }
  const auto node = smootherNode({rclcpp::Parameter("gradient_smoother.max_iterations", 1),
                                  rclcpp::Parameter("gradient_smoother.curvature_weight", 0.0)});
  PathSmoother smoother(node, gridMapFromAscii(std::vector<std::string>(100, std::string(100, '.')),
                                               {}, 0.05, labels));
  const auto first_sweep = [&smoother](double base) {
    smoother.setOriginalPath(zigzag(1.0, base, 0.1, 3));
    smoother.smoothPath();
    std::vector<Vec2d> moves;
    for (size_t i = 0; i < smoother.getSmoothedPath().size(); ++i) {
      const Pose2d& before = smoother.getResampledPath()[i];
      const Pose2d& after = smoother.getSmoothedPath()[i];
      moves.emplace_back(after.x - before.x, after.y - before.y);
    }
    return moves;
  };
  const auto outside = first_sweep(1.0);
  const auto inside = first_sweep(3.0);
  ASSERT_EQ(inside.size(), outside.size());
  // The first point to move sees unmoved neighbours in both copies, so its step is scaled
  // exactly; later points see neighbours that already moved by different amounts.
  size_t first = 0;
  while (first < outside.size() && outside[first].Length() < 1e-6) {
    ++first;
  }
  ASSERT_LT(first, outside.size());
  EXPECT_NEAR(inside[first].x() / outside[first].x(), 0.3, 1e-3);
  EXPECT_NEAR(inside[first].y() / outside[first].y(), 0.3, 1e-3);
}

TEST(PathSmootherRun, PathOffTheMapIsLeftInPlace) {
  PathSmoother smoother(smootherNode(), openMap(20, 20));
  smoother.setOriginalPath(zigzag(5.0, 5.0, 0.1, 5));
  smoother.smoothPath();
  expectSamePositions(smoother.getSmoothedPath(), smoother.getResampledPath());
}

TEST(PathSmootherRun, OutputCarriesHeadingsAndNoFrameOrStamp) {
  PathSmoother smoother(smootherNode(), openMap(100, 100));
  smoother.setOriginalPath(zigzag(1.0, 1.0, 0.1, 4));
  smoother.smoothPath();
  nav_msgs::msg::Path output;
  output.header.frame_id = "kept";
  output.header.stamp.sec = 7;
  output.poses.resize(3);
  ASSERT_TRUE(smoother.getSmoothedNavPath(output));
  EXPECT_EQ(output.header.frame_id, "kept");
  EXPECT_EQ(output.header.stamp.sec, 7);
  const auto& smoothed = smoother.getSmoothedPath();
  ASSERT_EQ(output.poses.size(), smoothed.size());
  for (size_t i = 0; i < smoothed.size(); ++i) {
    const auto& pose = output.poses[i];
    EXPECT_EQ(pose.header.frame_id, "");
    EXPECT_EQ(pose.header.stamp.sec, 0);
    EXPECT_EQ(pose.header.stamp.nanosec, 0u);
    EXPECT_EQ(pose.pose.position.x, smoothed[i].x);
    EXPECT_EQ(pose.pose.position.y, smoothed[i].y);
    EXPECT_EQ(pose.pose.position.z, 0.0);
    EXPECT_EQ(pose.pose.orientation.x, 0.0);
    EXPECT_EQ(pose.pose.orientation.y, 0.0);
    EXPECT_NEAR(2.0 * std::atan2(pose.pose.orientation.z, pose.pose.orientation.w),
                smoothed[i].theta, 1e-12);
  }
  // Each sweep leaves a point facing its successor; the last two face from the third-last
  // point to the last.
  const size_t n = smoothed.size();
  for (size_t i = 0; i + 2 < n; ++i) {
    EXPECT_NEAR(smoothed[i].theta,
                std::atan2(smoothed[i + 1].y - smoothed[i].y, smoothed[i + 1].x - smoothed[i].x),
                1e-12)
        << i;
  }
  const double tail =
      std::atan2(smoothed[n - 1].y - smoothed[n - 3].y, smoothed[n - 1].x - smoothed[n - 3].x);
  EXPECT_NEAR(smoothed[n - 2].theta, tail, 1e-12);
  EXPECT_NEAR(smoothed[n - 1].theta, tail, 1e-12);
}

TEST(PathSmootherRun, NonFinitePathIsLeftUnsmoothedWithoutStaleOutput) {
  PathSmoother smoother(smootherNode(), openMap(100, 100));
  smoother.setOriginalPath(zigzag(1.0, 1.0, 0.1, 4));
  smoother.smoothPath();
  nav_msgs::msg::Path output;
  ASSERT_TRUE(smoother.getSmoothedNavPath(output));

  nav_msgs::msg::Path broken = zigzag(1.0, 1.0, 0.1, 4);
  broken.poses[3].pose.position.y = kNaN;
  smoother.setOriginalPath(broken);
  smoother.smoothPath();
  EXPECT_TRUE(smoother.getResampledPath().empty());
  EXPECT_TRUE(smoother.getSmoothedPath().empty());
  nav_msgs::msg::Path untouched = pathThrough({{9.0, 9.0}});
  EXPECT_FALSE(smoother.getSmoothedNavPath(untouched));
  EXPECT_EQ(untouched, pathThrough({{9.0, 9.0}}));

  nav_msgs::msg::Path bad_heading = zigzag(1.0, 1.0, 0.1, 4);
  bad_heading.poses[0].pose.orientation.z = kNaN;
  smoother.setOriginalPath(bad_heading);
  smoother.smoothPath();
  EXPECT_FALSE(smoother.getSmoothedNavPath(untouched));
}

TEST(PathSmootherRun, ShortNonFinitePathIsHandedBackAsGiven) {
  PathSmoother smoother(smootherNode(), openMap(100, 100));
  const nav_msgs::msg::Path input = pathThrough({{1.0, 1.0}, {kNaN, 2.0}});
  smoother.setOriginalPath(input);
  smoother.smoothPath();
  nav_msgs::msg::Path output;
  ASSERT_TRUE(smoother.getSmoothedNavPath(output));
  ASSERT_EQ(output.poses.size(), 2u);
  EXPECT_TRUE(std::isnan(output.poses[1].pose.position.x));
}

TEST(PathSmootherRun, ZeroWeightsDoNotWriteNaN) {
  PathSmoother smoother(smootherNode(), openMap(100, 100));
  smoother.config(0.6, 0.0, 0.0, 0.0, 0.0, 100.0, 0.05);
  smoother.setOriginalPath(zigzag(1.0, 1.0, 0.1, 4));
  smoother.smoothPath();
  expectSamePositions(smoother.getSmoothedPath(), smoother.getResampledPath());
  for (const Pose2d& p : smoother.getSmoothedPath()) {
    EXPECT_TRUE(std::isfinite(p.theta));
  }
}

}  // namespace
