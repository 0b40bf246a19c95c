// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/path_smoother.hpp"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "rclcpp/exceptions.hpp"
#include "smoother/path_smoother_fixtures.hpp"

namespace {

using orvik_test::openMap;
using orvik_test::pathThrough;
using orvik_test::poseAt;
using orvik_test::smootherNode;
using orvik_test::twist;

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::vector<Pose2d> poses(const std::vector<std::pair<double, double>>& points) {
  std::vector<Pose2d> out;
  for (const auto& [x, y] : points) {
    out.push_back(Pose2d{x, y, 0.0});
  }
  return out;
}

// ---------------------------------------------------------------- parameters

TEST(PathSmootherParameters, ConstructorDeclaresDefaultsUnderGradientSmoother) {
  const auto node = smootherNode();
  const PathSmoother smoother(node, openMap(10, 10));
  EXPECT_EQ(smoother.getName(), "gradient_smoother");
  const char* const keys[] = {"min_turn_radius",
                              "max_obstacle_dis",
                              "obstacle_weight",
                              "curvature_weight",
                              "smooth_weight",
                              "path_align_weight",
                              "priority_passage_obs_scale",
                              "priority_passage_smooth_scale",
                              "max_iterations"};
  for (const char* key : keys) {
    EXPECT_TRUE(node->has_parameter(std::string("gradient_smoother.") + key)) << key;
  }
  EXPECT_EQ(node->get_parameter("gradient_smoother.max_iterations").get_type(),
            rclcpp::PARAMETER_INTEGER);
  EXPECT_EQ(node->get_parameter("gradient_smoother.smooth_weight").get_type(),
            rclcpp::PARAMETER_DOUBLE);

  EXPECT_FLOAT_EQ(smoother.getMinTurnRadius(), 1.0f);
  EXPECT_EQ(smoother.getMaxCurvature(), static_cast<float>(1.0 / 1.1));
  EXPECT_FLOAT_EQ(smoother.getMaxObstacleDis(), 0.6f);
  EXPECT_FLOAT_EQ(smoother.getObstacleWeight(), 0.5f);
  EXPECT_FLOAT_EQ(smoother.getCurvatureWeight(), 0.05f);
  EXPECT_FLOAT_EQ(smoother.getSmoothWeight(), 1.5f);
  EXPECT_FLOAT_EQ(smoother.getPathAlignWeight(), 0.5f);
  EXPECT_FLOAT_EQ(smoother.getPriorityPassageObsScale(), 0.5f);
  EXPECT_FLOAT_EQ(smoother.getPriorityPassageSmoothScale(), 0.3f);
  EXPECT_EQ(smoother.getMaxIterations(), 200);
  EXPECT_FLOAT_EQ(smoother.getIndexSearchLength(), 100.0f);
  EXPECT_FLOAT_EQ(smoother.getResampleStep(), 0.05f);
}

TEST(PathSmootherParameters, OverridesAreReadAndCurvatureFollowsTurnRadius) {
  const auto node = smootherNode({rclcpp::Parameter("gradient_smoother.min_turn_radius", 2.5),
                                  rclcpp::Parameter("gradient_smoother.smooth_weight", 0.75),
                                  rclcpp::Parameter("gradient_smoother.max_iterations", 17)});
  const PathSmoother smoother(node, openMap(10, 10));
  EXPECT_FLOAT_EQ(smoother.getMinTurnRadius(), 2.5f);
  EXPECT_EQ(smoother.getMaxCurvature(), static_cast<float>(1.0 / (2.5 * 1.1)));
  EXPECT_FLOAT_EQ(smoother.getSmoothWeight(), 0.75f);
  EXPECT_EQ(smoother.getMaxIterations(), 17);
}

TEST(PathSmootherParameters, ConfigReadsUnderTheGivenNameAndKeepsDeclaredValues) {
  const auto node = smootherNode();
  PathSmoother smoother(node, openMap(10, 10));
  node->declare_parameter("other.obstacle_weight", rclcpp::ParameterValue(0.9));
  smoother.config(node, "other");
  EXPECT_EQ(smoother.getName(), "other");
  EXPECT_FLOAT_EQ(smoother.getObstacleWeight(), 0.9f);
  EXPECT_TRUE(node->has_parameter("other.max_iterations"));
  EXPECT_FLOAT_EQ(node->get_parameter("other.min_turn_radius").as_double(), 1.0);
}

TEST(PathSmootherParameters, WrongTypeThrowsAndLeavesLaterParametersUnread) {
  const auto node = smootherNode();
  PathSmoother smoother(node, openMap(10, 10));
  node->declare_parameter("bad.min_turn_radius", rclcpp::ParameterValue(4.0));
  node->declare_parameter("bad.obstacle_weight", rclcpp::ParameterValue(0.25));
  node->declare_parameter("bad.smooth_weight", rclcpp::ParameterValue(3));  // integer
  node->declare_parameter("bad.path_align_weight", rclcpp::ParameterValue(0.125));
  EXPECT_THROW(smoother.config(node, "bad"), rclcpp::exceptions::InvalidParameterTypeException);
  // Read before the bad one.
  EXPECT_FLOAT_EQ(smoother.getMinTurnRadius(), 4.0f);
  EXPECT_FLOAT_EQ(smoother.getObstacleWeight(), 0.25f);
  // Not reached: the old values stay, and the curvature limit is not yet derived.
  EXPECT_FLOAT_EQ(smoother.getSmoothWeight(), 1.5f);
  EXPECT_FLOAT_EQ(smoother.getPathAlignWeight(), 0.5f);
  EXPECT_EQ(smoother.getMaxCurvature(), static_cast<float>(1.0 / 1.1));
  EXPECT_FALSE(node->has_parameter("bad.max_iterations"));
}

TEST(PathSmootherParameters, IntegerIterationsOfTheWrongTypeThrowInConstruction) {
  const auto node = smootherNode({rclcpp::Parameter("gradient_smoother.max_iterations", 20.0)});
  EXPECT_THROW(PathSmoother(node, openMap(10, 10)),
               rclcpp::exceptions::InvalidParameterTypeException);
}

TEST(PathSmootherParameters, ExpiredNodeLeavesParametersUnchanged) {
  auto node = smootherNode({rclcpp::Parameter("gradient_smoother.smooth_weight", 2.0)});
  PathSmoother smoother(node, openMap(10, 10));
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> weak = node;
  node.reset();
  smoother.config(weak, "elsewhere");
  EXPECT_EQ(smoother.getName(), "gradient_smoother");
  EXPECT_FLOAT_EQ(smoother.getSmoothWeight(), 2.0f);
}

TEST(PathSmootherParameters, MissingMapIsRefused) {
  EXPECT_THROW(PathSmoother(smootherNode(), nullptr), std::invalid_argument);
}

TEST(PathSmootherParameters, SevenValueConfigStoresAsFloatAndLeavesTheRest) {
  const auto node = smootherNode({rclcpp::Parameter("gradient_smoother.min_turn_radius", 3.0),
                                  rclcpp::Parameter("gradient_smoother.max_iterations", 9)});
  PathSmoother smoother(node, openMap(10, 10));
  smoother.config(0.1, 0.2, 0.3, 0.4, 0.6, 7.0, 0.125);
  EXPECT_EQ(smoother.getMaxObstacleDis(), 0.1f);
  EXPECT_EQ(smoother.getObstacleWeight(), 0.2f);
  EXPECT_EQ(smoother.getCurvatureWeight(), 0.3f);
  EXPECT_EQ(smoother.getSmoothWeight(), 0.4f);
  EXPECT_EQ(smoother.getPathAlignWeight(), 0.6f);
  EXPECT_EQ(smoother.getIndexSearchLength(), 7.0f);
  EXPECT_EQ(smoother.getResampleStep(), 0.125f);
  EXPECT_FLOAT_EQ(smoother.getMinTurnRadius(), 3.0f);
  EXPECT_EQ(smoother.getMaxCurvature(), static_cast<float>(1.0 / (3.0 * 1.1)));
  EXPECT_FLOAT_EQ(smoother.getPriorityPassageObsScale(), 0.5f);
  EXPECT_FLOAT_EQ(smoother.getPriorityPassageSmoothScale(), 0.3f);
  EXPECT_EQ(smoother.getMaxIterations(), 9);
}

TEST(PathSmootherParameters, ResampleStepThatCannotAdvanceIsRefused) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  for (const double bad : {0.0, -0.05, kNaN, kInf, -kInf, 1e-50}) {
    smoother.config(0.6, 0.9, 0.05, 1.5, 0.5, 100.0, bad);
    EXPECT_EQ(smoother.getResampleStep(), 0.05f) << bad;
    // The other six values are still taken.
    EXPECT_EQ(smoother.getObstacleWeight(), 0.9f);
  }
}

// ---------------------------------------------------------------- resampling

TEST(PathSmootherResample, TwoPosesOrFewerGiveNothing) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  EXPECT_TRUE(smoother.resamplePath({}, 0.05f).empty());
  EXPECT_TRUE(smoother.resamplePath(poses({{0, 0}}), 0.05f).empty());
  EXPECT_TRUE(smoother.resamplePath(poses({{0, 0}, {5, 0}}), 0.05f).empty());
}

TEST(PathSmootherResample, StraightRunIsCutIntoEqualSteps) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  std::vector<Pose2d> input = poses({{0, 0}, {1, 0}, {2, 0}});
  input.front().theta = 0.3;
  const auto out = smoother.resamplePath(input, 0.25f);
  // Every step of 0.25 from 0 to 2, then the last pose once more.
  ASSERT_EQ(out.size(), 10u);
  EXPECT_EQ(out.front().theta, 0.3);  // first pose unchanged
  for (size_t i = 0; i + 1 < out.size(); ++i) {
    EXPECT_NEAR(out[i].x, 0.25 * static_cast<double>(i), 1e-9) << i;
    EXPECT_EQ(out[i].y, 0.0);
  }
  for (size_t i = 1; i + 1 < out.size(); ++i) {
    EXPECT_EQ(out[i].theta, 0.0) << i;
  }
  EXPECT_EQ(out.back().x, 2.0);
  EXPECT_EQ(out.back().theta, input[1].theta);
}

TEST(PathSmootherResample, CloseInputPosesArePassedOverFromTheLastAnchor) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  std::vector<Pose2d> input = poses({{0, 0}, {0.5, 0.5}, {0, 2}, {0.5, 2}});
  input[2].theta = -1.0;
  const auto out = smoother.resamplePath(input, 1.0f);
  // (0.5, 0.5) lies closer than a step to (0, 0): the walk heads straight for (0, 2) and the
  // detour through x = 0.5 is cut off.
  ASSERT_EQ(out.size(), 4u);
  const double up = std::atan2(2.0f, 0.0f);
  EXPECT_EQ(out[1].x, 0.0);
  EXPECT_EQ(out[1].y, 1.0);
  EXPECT_EQ(out[1].theta, up);
  EXPECT_EQ(out[2].x, 0.0);
  EXPECT_EQ(out[2].y, 2.0);
  EXPECT_EQ(out[2].theta, up);
  // (0.5, 2) is only half a step away: output as the last pose with its predecessor's heading.
  EXPECT_EQ(out[3].x, 0.5);
  EXPECT_EQ(out[3].y, 2.0);
  EXPECT_EQ(out[3].theta, -1.0);
}

TEST(PathSmootherResample, OutputPointsAreOneStepApartAlongAnyPolyline) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  unsigned int state = 7;
  const auto next_unit = [&state]() {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / 16777216.0;
  };
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<Pose2d> input;
    double x = 0.0;
    double y = 0.0;
    for (int i = 0; i < 30; ++i) {
      input.push_back(Pose2d{x, y, 0.0});
      x += (next_unit() - 0.5) * 0.4;
      y += (next_unit() - 0.5) * 0.4;
    }
    const float step = 0.05f;
    const auto out = smoother.resamplePath(input, step);
    ASSERT_GE(out.size(), 2u);
    for (size_t i = 1; i + 1 < out.size(); ++i) {
      const double gap = std::hypot(out[i].x - out[i - 1].x, out[i].y - out[i - 1].y);
      EXPECT_NEAR(gap, step, 1e-6) << "trial " << trial << " point " << i;
    }
    const double last_gap =
        std::hypot(out.back().x - out[out.size() - 2].x, out.back().y - out[out.size() - 2].y);
    EXPECT_LT(last_gap, step + 1e-6);
    EXPECT_EQ(out.back().x, input.back().x);
    EXPECT_EQ(out.back().y, input.back().y);
  }
}

TEST(PathSmootherResample, StepsThatCannotAdvanceGiveNothingInsteadOfLooping) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  const auto input = poses({{0, 0}, {1, 0}, {2, 0}});
  for (const float bad : {0.0f, -0.05f, std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity()}) {
    EXPECT_TRUE(smoother.resamplePath(input, bad).empty()) << bad;
  }
}

TEST(PathSmootherResample, NonFiniteOrUnreachablePositionsGiveNothingInsteadOfLooping) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  EXPECT_TRUE(smoother.resamplePath(poses({{0, 0}, {kNaN, 0}, {2, 0}}), 0.05f).empty());
  EXPECT_TRUE(smoother.resamplePath(poses({{0, 0}, {1, kInf}, {2, 0}}), 0.05f).empty());
  // 2e9 m of path would be 4e10 points.
  EXPECT_TRUE(smoother.resamplePath(poses({{0, 0}, {1e9, 0}, {0, 0}}), 0.05f).empty());
  // At 1e17 a double cannot move by 5 cm: the walk would never get anywhere.
  EXPECT_TRUE(
      smoother.resamplePath(poses({{1e17, 0}, {1e17 + 32, 0}, {1e17 + 64, 0}}), 0.05f).empty());
}

// ---------------------------------------------------------------- smoothing start

class PathSmoothIndexTest : public ::testing::Test {
 protected:
  PathSmoothIndexTest() : smoother(smootherNode(), openMap(100, 100)) {
    // Quarter-metre steps keep every position exact in binary.
    smoother.config(0.6, 0.5, 0.05, 1.5, 0.5, 100.0, 0.25);
    smoother.setOriginalPath(pathThrough({{0, 0}, {1, 0}, {2, 0}}));
  }
  PathSmoother smoother;
};

TEST_F(PathSmoothIndexTest, WithoutPredictionSmoothingStartsAtTheBeginning) {
  EXPECT_EQ(smoother.getPathSmoothIndex(), 0u);
  EXPECT_EQ(smoother.getSmoothStartIndex(), 0u);
  EXPECT_EQ(smoother.getSmoothEndIndex(), 0u);
}

TEST_F(PathSmoothIndexTest, EqualDistancesPickTheLaterPoint) {
  // A standing robot predicts its own position twice: two points after resampling.
  smoother.setCurrentData(poseAt(0.375, 0.0), twist(0.0, 0.0));
  ASSERT_EQ(smoother.getPredictedPath().size(), 2u);
  // 0.375 is exactly halfway between the points at 0.25 (index 1) and 0.5 (index 2).
  EXPECT_EQ(smoother.getPathSmoothIndex(), 4u);
  EXPECT_EQ(smoother.getSmoothStartIndex(), 2u);
  EXPECT_EQ(smoother.getSmoothEndIndex(), 4u);
}

TEST_F(PathSmoothIndexTest, NearestPointWins) {
  smoother.setCurrentData(poseAt(1.3, 0.4), twist(0.0, 0.0));
  smoother.getPathSmoothIndex();
  EXPECT_EQ(smoother.getSmoothStartIndex(), 5u);  // the point at 1.25
}

TEST_F(PathSmoothIndexTest, SearchStopsAfterIndexSearchLength) {
  smoother.config(0.6, 0.5, 0.05, 1.5, 0.5, 0.3, 0.25);
  smoother.setOriginalPath(pathThrough({{0, 0}, {1, 0}, {2, 0}}));
  smoother.setCurrentData(poseAt(2.0, 0.0), twist(0.0, 0.0));
  // Walked length reaches 0.5 >= 0.3 at index 2: later, nearer points are not looked at.
  smoother.getPathSmoothIndex();
  EXPECT_EQ(smoother.getSmoothStartIndex(), 2u);
}

TEST_F(PathSmoothIndexTest, MovingRobotPredictsOneSecondAhead) {
  smoother.config(0.6, 0.5, 0.05, 1.5, 0.5, 100.0, 0.05);
  smoother.setCurrentData(poseAt(1.0, 1.0, kPi / 2), twist(0.5, 0.0));
  const auto& predicted = smoother.getPredictedPath();
  // 0.5 m straight up from (1, 1), starting one 0.1 s step ahead: 0.45 m in 5 cm steps (the
  // float spacing decides whether the end is met by a step or only appended).
  ASSERT_GE(predicted.size(), 9u);
  ASSERT_LE(predicted.size(), 11u);
  EXPECT_NEAR(predicted.front().x, 1.0, 1e-6);
  EXPECT_NEAR(predicted.front().y, 1.05, 1e-6);
  EXPECT_NEAR(predicted.back().y, 1.5, 1e-6);
  for (const Pose2d& p : predicted) {
    EXPECT_NEAR(p.x, 1.0, 1e-6);
  }
}

TEST_F(PathSmoothIndexTest, TurningRobotPredictionCurves) {
  smoother.config(0.6, 0.5, 0.05, 1.5, 0.5, 100.0, 0.05);
  smoother.setCurrentData(poseAt(1.0, 1.0, 0.0), twist(1.0, 1.0));
  const auto& predicted = smoother.getPredictedPath();
  ASSERT_GE(predicted.size(), 3u);
  // Turning left at 1 rad/s: the predicted end lies left of the start heading, on an arc of
  // radius 1 whose end after one second is near (1 + sin 1, 1 + 1 - cos 1).
  EXPECT_GT(predicted.back().y, 1.3);
  EXPECT_NEAR(predicted.back().x, 1.0 + std::sin(1.0), 0.08);
  EXPECT_NEAR(predicted.back().y, 2.0 - std::cos(1.0), 0.08);
}

TEST_F(PathSmoothIndexTest, NonFiniteRobotDataGivesNoPrediction) {
  smoother.setCurrentData(poseAt(1.0, 0.0), twist(0.0, 0.0));
  ASSERT_FALSE(smoother.getPredictedPath().empty());
  smoother.setCurrentData(poseAt(kNaN, 0.0), twist(0.0, 0.0));
  EXPECT_TRUE(smoother.getPredictedPath().empty());
  smoother.setCurrentData(poseAt(1.0, 0.0), twist(kInf, 0.0));
  EXPECT_TRUE(smoother.getPredictedPath().empty());
  smoother.setCurrentData(poseAt(1.0, 0.0), twist(1e300, 0.0));
  EXPECT_TRUE(smoother.getPredictedPath().empty());
  EXPECT_EQ(smoother.getPathSmoothIndex(), 0u);
}

}  // namespace
