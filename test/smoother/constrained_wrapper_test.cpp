// SPDX-License-Identifier: Apache-2.0
// OrvikConstrainedSmoother: parameters, message conversion and failure reporting.
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nav2_core/exceptions.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "orvik_nav2_planner/orvik_constrained_smoother.hpp"
#include "rclcpp/exceptions.hpp"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace {

using orvik_nav2_planner::OrvikConstrainedSmoother;

constexpr char kName[] = "constrained";

std::shared_ptr<rclcpp_lifecycle::LifecycleNode> nodeWith(
    std::vector<rclcpp::Parameter> overrides = {}) {
  rclcpp::NodeOptions options;
  options.parameter_overrides(overrides);
  return std::make_shared<rclcpp_lifecycle::LifecycleNode>("wrapper_test", options);
}

std::shared_ptr<nav2_costmap_2d::Costmap2D> freeCostmap() {
  return std::make_shared<nav2_costmap_2d::Costmap2D>(120, 80, 0.05, 0.0, 0.0, 0);
}

struct Waypoint {
  double x;
  double y;
  double yaw;
};

nav_msgs::msg::Path makePath(const std::vector<Waypoint>& waypoints) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  for (size_t i = 0; i < waypoints.size(); ++i) {
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = i == 0 ? "map" : "other";
    pose.header.stamp.sec = static_cast<int32_t>(42 + i);
    pose.pose.position.x = waypoints[i].x;
    pose.pose.position.y = waypoints[i].y;
    pose.pose.position.z = 0.7;
    pose.pose.orientation.z = std::sin(waypoints[i].yaw / 2);
    pose.pose.orientation.w = std::cos(waypoints[i].yaw / 2);
    path.poses.push_back(pose);
  }
  return path;
}

/// Poses along the polyline through the corners, every step metres, headed along the motion
/// (or against it when reversing).
nav_msgs::msg::Path polylinePath(const std::vector<Eigen::Vector2d>& corners, double step,
                                 bool reversing = false) {
  std::vector<Waypoint> waypoints;
  for (size_t c = 0; c + 1 < corners.size(); ++c) {
    const Eigen::Vector2d segment = corners[c + 1] - corners[c];
    const int steps = static_cast<int>(std::round(segment.norm() / step));
    double yaw = std::atan2(segment.y(), segment.x()) + (reversing ? M_PI : 0.0);
    for (int s = 0; s < steps; ++s) {
      const Eigen::Vector2d p = corners[c] + segment * (static_cast<double>(s) / steps);
      waypoints.push_back({p.x(), p.y(), yaw});
    }
    if (c + 2 == corners.size()) {
      waypoints.push_back({corners[c + 1].x(), corners[c + 1].y(), yaw});
    }
  }
  return makePath(waypoints);
}

double yawOf(const geometry_msgs::msg::PoseStamped& pose) {
  return tf2::getYaw(pose.pose.orientation);
}

double angleDiff(double a, double b) {
  return std::remainder(a - b, 2 * M_PI);
}

/// Discrete bending energy: squared heading change over the mean segment length, summed. A
/// corner concentrates the change and scores high; the same turn spread out scores low.
double bendingEnergy(const nav_msgs::msg::Path& path) {
  double energy = 0;
  for (size_t i = 1; i + 1 < path.poses.size(); ++i) {
    const auto& a = path.poses[i - 1].pose.position;
    const auto& b = path.poses[i].pose.position;
    const auto& c = path.poses[i + 1].pose.position;
    const double turn =
        angleDiff(std::atan2(c.y - b.y, c.x - b.x), std::atan2(b.y - a.y, b.x - a.x));
    const double length =
        0.5 * (std::hypot(b.x - a.x, b.y - a.y) + std::hypot(c.x - b.x, c.y - b.y));
    energy += turn * turn / length;
  }
  return energy;
}

std::unique_ptr<OrvikConstrainedSmoother> configured(
    std::vector<rclcpp::Parameter> overrides = {}) {
  auto node = nodeWith(overrides);
  auto smoother = std::make_unique<OrvikConstrainedSmoother>();
  smoother->configure(node, kName);
  return smoother;
}

const rclcpp::Duration kTimeLimit = rclcpp::Duration::from_seconds(5.0);

/// Runs smooth expecting a thrown PlannerException pointer; returns its message.
std::string smoothExpectingPlannerException(OrvikConstrainedSmoother& smoother,
                                            std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap,
                                            nav_msgs::msg::Path& path) {
  try {
    smoother.smooth(costmap, path, kTimeLimit);
  } catch (nav2_core::PlannerException* e) {
    std::unique_ptr<nav2_core::PlannerException> owned(e);
    return owned->what();
  } catch (...) {
    ADD_FAILURE() << "threw something other than nav2_core::PlannerException*";
    return "";
  }
  ADD_FAILURE() << "did not throw";
  return "";
}

// ----------------------------------------------------------------------------- configure

TEST(OrvikConstrainedSmootherConfigure, ExpiredParentThrowsUnableToLockNode) {
  std::weak_ptr<rclcpp_lifecycle::LifecycleNode> expired;
  {
    auto node = nodeWith();
    expired = node;
  }
  OrvikConstrainedSmoother smoother;
  try {
    smoother.configure(expired, kName);
    FAIL() << "expected std::runtime_error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unable to lock node!");
  }
}

TEST(OrvikConstrainedSmootherConfigure, DeclaresEveryParameterUnderTheGivenName) {
  auto node = nodeWith();
  OrvikConstrainedSmoother smoother;
  smoother.configure(node, kName);
  for (const char* key :
       {"minimum_turning_radius", "w_curve", "w_cost", "w_cost_cusp_multiplier", "cusp_zone_length",
        "w_dist", "w_smooth", "cost_check_points", "path_downsampling_factor",
        "path_upsampling_factor", "reversing_enabled", "keep_goal_orientation",
        "keep_start_orientation", "optimizer.linear_solver_type", "optimizer.param_tol",
        "optimizer.fn_tol", "optimizer.gradient_tol", "optimizer.max_iterations",
        "optimizer.debug_optimizer"}) {
    EXPECT_TRUE(node->has_parameter(std::string(kName) + "." + key)) << key;
  }
}

TEST(OrvikConstrainedSmootherConfigure, CostCheckPointsNotInTriplesThrow) {
  auto node = nodeWith({rclcpp::Parameter(std::string(kName) + ".cost_check_points",
                                          std::vector<double>{0.1, 0.0, 1.0, 0.2})});
  OrvikConstrainedSmoother smoother;
  try {
    smoother.configure(node, kName);
    FAIL() << "expected std::runtime_error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Invalid parameter: cost_check_points");
  }
}

TEST(OrvikConstrainedSmootherConfigure, UnknownLinearSolverThrows) {
  auto node = nodeWith(
      {rclcpp::Parameter(std::string(kName) + ".optimizer.linear_solver_type", "ITERATIVE")});
  OrvikConstrainedSmoother smoother;
  try {
    smoother.configure(node, kName);
    FAIL() << "expected std::runtime_error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Invalid parameter: linear_solver_type");
  }
}

TEST(OrvikConstrainedSmootherConfigure, ParameterOfTheWrongTypeThrowsNamingIt) {
  // Declared beforehand with an integer where a double is read.
  auto node = nodeWith();
  node->declare_parameter(std::string(kName) + ".w_smooth", rclcpp::ParameterValue(5));
  OrvikConstrainedSmoother smoother;
  try {
    smoother.configure(node, kName);
    FAIL() << "expected InvalidParameterTypeException";
  } catch (const rclcpp::exceptions::InvalidParameterTypeException& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("w_smooth"), std::string::npos) << what;
    EXPECT_NE(what.find("double"), std::string::npos) << what;
    EXPECT_NE(what.find("integer"), std::string::npos) << what;
  }

  // Overridden at launch with a string where an integer is expected.
  auto launched =
      nodeWith({rclcpp::Parameter(std::string(kName) + ".optimizer.max_iterations", "many")});
  EXPECT_THROW(smoother.configure(launched, kName),
               rclcpp::exceptions::InvalidParameterTypeException);
}

TEST(OrvikConstrainedSmootherConfigure, ReconfigureRereadsTheParameters) {
  auto node = nodeWith();
  OrvikConstrainedSmoother smoother;
  smoother.configure(node, kName);
  auto path = polylinePath({{0.5, 1.0}, {1.0, 1.0}, {1.0, 1.5}}, 0.1);
  const size_t count = path.poses.size();
  ASSERT_TRUE(smoother.smooth(freeCostmap(), path, kTimeLimit));
  EXPECT_EQ(path.poses.size(), count);

  ASSERT_TRUE(
      node->set_parameter(rclcpp::Parameter(std::string(kName) + ".path_upsampling_factor", 2))
          .successful);
  smoother.configure(node, kName);
  path = polylinePath({{0.5, 1.0}, {1.0, 1.0}, {1.0, 1.5}}, 0.1);
  ASSERT_TRUE(smoother.smooth(freeCostmap(), path, kTimeLimit));
  EXPECT_EQ(path.poses.size(), 2 * (count - 1) + 1);
}

// ----------------------------------------------------------------------------- smooth

TEST(OrvikConstrainedSmootherSmooth, PathsOfFewerThanTwoPosesComeBackUntouched) {
  // Neither a configuration nor a costmap is needed for them.
  OrvikConstrainedSmoother smoother;
  nav_msgs::msg::Path empty;
  empty.header.frame_id = "map";
  const nav_msgs::msg::Path empty_copy = empty;
  EXPECT_TRUE(smoother.smooth(nullptr, empty, kTimeLimit));
  EXPECT_EQ(empty, empty_copy);

  nav_msgs::msg::Path single = makePath({{1.0, 2.0, 0.3}});
  const nav_msgs::msg::Path single_copy = single;
  EXPECT_TRUE(smoother.smooth(nullptr, single, kTimeLimit));
  EXPECT_EQ(single, single_copy);
}

TEST(OrvikConstrainedSmootherSmooth, StraightPathComesBackStraightWithTheFirstHeader) {
  auto smoother = configured();
  auto path = polylinePath({{0.5, 1.0}, {4.5, 3.0}}, 0.05);
  const nav_msgs::msg::Path input = path;
  ASSERT_TRUE(smoother->smooth(freeCostmap(), path, kTimeLimit));
  ASSERT_EQ(path.poses.size(), input.poses.size());
  const double heading = std::atan2(2.0, 4.0);
  for (size_t i = 0; i < path.poses.size(); ++i) {
    const auto& pose = path.poses[i];
    EXPECT_EQ(pose.header, input.poses.front().header) << i;
    EXPECT_NEAR(pose.pose.position.x, input.poses[i].pose.position.x, 1e-5) << i;
    EXPECT_NEAR(pose.pose.position.y, input.poses[i].pose.position.y, 1e-5) << i;
    EXPECT_EQ(pose.pose.position.z, 0.0) << i;
    EXPECT_EQ(pose.pose.orientation.x, 0.0) << i;
    EXPECT_EQ(pose.pose.orientation.y, 0.0) << i;
    EXPECT_NEAR(angleDiff(yawOf(pose), heading), 0.0, 1e-6) << i;
  }
}

TEST(OrvikConstrainedSmootherSmooth, ZigZagLosesCurvatureAndKeepsItsEnds) {
  auto smoother = configured();
  // Legs of 0.54 m turning by 44 degrees at every corner.
  auto path = polylinePath(
      {{0.5, 1.0}, {1.0, 1.2}, {1.5, 1.0}, {2.0, 1.2}, {2.5, 1.0}, {3.0, 1.2}, {3.5, 1.0}}, 0.05);
  const nav_msgs::msg::Path input = path;
  ASSERT_TRUE(smoother->smooth(freeCostmap(), path, kTimeLimit));
  ASSERT_EQ(path.poses.size(), input.poses.size());
  EXPECT_LT(bendingEnergy(path), 0.5 * bendingEnergy(input));
  for (size_t i : {size_t{0}, path.poses.size() - 1}) {
    EXPECT_EQ(path.poses[i].pose.position.x, input.poses[i].pose.position.x) << i;
    EXPECT_EQ(path.poses[i].pose.position.y, input.poses[i].pose.position.y) << i;
    EXPECT_NEAR(angleDiff(yawOf(path.poses[i]), yawOf(input.poses[i])), 0.0, 1e-9) << i;
  }
  // Every pose heads along the smoothed path.
  for (size_t i = 1; i + 1 < path.poses.size(); ++i) {
    const auto& a = path.poses[i - 1].pose.position;
    const auto& c = path.poses[i + 1].pose.position;
    EXPECT_NEAR(angleDiff(yawOf(path.poses[i]), std::atan2(c.y - a.y, c.x - a.x)), 0.0, 0.2) << i;
  }
}

/// A disc obstacle of radius 0.3 m at (3, 1) with costs falling off over the next metre.
std::shared_ptr<nav2_costmap_2d::Costmap2D> costmapWithDisc() {
  auto costmap = freeCostmap();
  for (unsigned int y = 0; y < costmap->getSizeInCellsY(); ++y) {
    for (unsigned int x = 0; x < costmap->getSizeInCellsX(); ++x) {
      double wx, wy;
      costmap->mapToWorld(x, y, wx, wy);
      const double d = std::hypot(wx - 3.0, wy - 1.0);
      unsigned char cost = 0;
      if (d <= 0.3) {
        cost = 254;
      } else if (d < 1.3) {
        cost = static_cast<unsigned char>(252.0 * (1.3 - d));
      }
      costmap->setCost(x, y, cost);
    }
  }
  return costmap;
}

double closestApproach(const nav_msgs::msg::Path& path, double cx, double cy) {
  double closest = 1e9;
  for (const auto& pose : path.poses) {
    closest = std::min(closest, std::hypot(pose.pose.position.x - cx, pose.pose.position.y - cy));
  }
  return closest;
}

TEST(OrvikConstrainedSmootherSmooth, PathSkirtingAnObstacleMovesAwayWhenCostWeighsMore) {
  const auto costmap = costmapWithDisc();
  const auto input = polylinePath({{0.5, 1.6}, {5.5, 1.6}}, 0.05);
  const double planned = closestApproach(input, 3.0, 1.0);

  auto default_weight = configured();
  auto path_default = input;
  ASSERT_TRUE(default_weight->smooth(costmap, path_default, kTimeLimit));

  auto raised_weight = configured({rclcpp::Parameter(std::string(kName) + ".w_cost", 1.0)});
  auto path_raised = input;
  ASSERT_TRUE(raised_weight->smooth(costmap, path_raised, kTimeLimit));

  const double with_default = closestApproach(path_default, 3.0, 1.0);
  const double with_raised = closestApproach(path_raised, 3.0, 1.0);
  EXPECT_GE(with_default, planned - 1e-9);
  EXPECT_GT(with_raised, with_default + 0.05);
}

TEST(OrvikConstrainedSmootherSmooth, BackwardPosesReverseOnlyWithReversingEnabled) {
  // Driving along +x with the robot facing -x.
  const auto input = polylinePath({{0.5, 1.0}, {3.0, 1.0}}, 0.05, true);

  auto reversing = configured();
  auto path_reversing = input;
  ASSERT_TRUE(reversing->smooth(freeCostmap(), path_reversing, kTimeLimit));
  for (size_t i = 0; i < path_reversing.poses.size(); ++i) {
    EXPECT_NEAR(angleDiff(yawOf(path_reversing.poses[i]), M_PI), 0.0, 1e-6) << i;
  }

  auto forward_only =
      configured({rclcpp::Parameter(std::string(kName) + ".reversing_enabled", false)});
  auto path_forward = input;
  ASSERT_TRUE(forward_only->smooth(freeCostmap(), path_forward, kTimeLimit));
  // Interior poses now head along the motion; the kept end orientations still face back.
  EXPECT_NEAR(angleDiff(yawOf(path_forward.poses.front()), M_PI), 0.0, 1e-6);
  EXPECT_NEAR(angleDiff(yawOf(path_forward.poses.back()), M_PI), 0.0, 1e-6);
  for (size_t i = 1; i + 1 < path_forward.poses.size(); ++i) {
    EXPECT_NEAR(angleDiff(yawOf(path_forward.poses[i]), 0.0), 0.0, 1e-6) << i;
  }
}

TEST(OrvikConstrainedSmootherSmooth, FailedSolveWarnsAndThrowsPlannerExceptionPointer) {
  auto smoother = configured();
  // A pose repeated in the middle leaves Ceres without a usable solution.
  auto path = makePath({{0.5, 1.0, 0.0},
                        {0.6, 1.0, 0.0},
                        {0.7, 1.0, 0.0},
                        {0.7, 1.0, 0.0},
                        {0.8, 1.1, 0.0},
                        {0.9, 1.1, 0.0},
                        {1.0, 1.1, 0.0},
                        {1.1, 1.1, 0.0}});
  const nav_msgs::msg::Path input = path;
  testing::internal::CaptureStdout();
  const std::string message = smoothExpectingPlannerException(*smoother, freeCostmap(), path);
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(message, "Failed to smooth plan, Ceres could not find a usable solution.");
  EXPECT_NE(output.find("[WARN] constrained: failed to smooth plan, Ceres could not find a "
                        "usable solution to optimize."),
            std::string::npos)
      << output;
  EXPECT_EQ(path, input);
}

TEST(OrvikConstrainedSmootherSmooth, NonFinitePoseIsRejectedWithoutTouchingThePath) {
  auto smoother = configured();
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    auto path = polylinePath({{0.5, 1.0}, {2.0, 1.0}}, 0.1);
    path.poses[5].pose.position.y = bad;
    const nav_msgs::msg::Path input = path;
    EXPECT_EQ(smoothExpectingPlannerException(*smoother, freeCostmap(), path),
              "Failed to smooth plan, a pose is not finite.");
    EXPECT_EQ(path.poses.size(), input.poses.size());
    EXPECT_EQ(path.poses[0], input.poses[0]);
  }
  auto path = polylinePath({{0.5, 1.0}, {2.0, 1.0}}, 0.1);
  path.poses[3].pose.orientation.z = std::nan("");
  EXPECT_EQ(smoothExpectingPlannerException(*smoother, freeCostmap(), path),
            "Failed to smooth plan, a pose is not finite.");
}

TEST(OrvikConstrainedSmootherSmooth, FarOutPoseFailsLikeAFailedSolveWithoutTouchingThePath) {
  // Found by fuzzing: a finite but absurd coordinate overflowed the optimisation and the
  // smoother handed back non-finite poses as a success.
  auto smoother =
      configured({rclcpp::Parameter(std::string(kName) + ".path_upsampling_factor", 2),
                  rclcpp::Parameter(std::string(kName) + ".reversing_enabled", false),
                  rclcpp::Parameter(std::string(kName) + ".keep_goal_orientation", false),
                  rclcpp::Parameter(std::string(kName) + ".keep_start_orientation", false),
                  rclcpp::Parameter(std::string(kName) + ".minimum_turning_radius", 30.8),
                  rclcpp::Parameter(std::string(kName) + ".w_curve", 12.67),
                  rclcpp::Parameter(std::string(kName) + ".w_cost", 30.8),
                  rclcpp::Parameter(std::string(kName) + ".optimizer.max_iterations", 29)});
  auto path = makePath({{-1.85, 9.53, 0.0}, {-1.85, 9.53, 0.0}, {-1e300, 9.53, 0.0}});
  const nav_msgs::msg::Path input = path;
  EXPECT_EQ(smoothExpectingPlannerException(*smoother, freeCostmap(), path),
            "Failed to smooth plan, Ceres could not find a usable solution.");
  EXPECT_EQ(path, input);
}

TEST(OrvikConstrainedSmootherSmooth, MissingOrEmptyCostmapIsRejected) {
  auto smoother = configured();
  auto path = polylinePath({{0.5, 1.0}, {2.0, 1.0}}, 0.1);
  const std::string expected = "Failed to smooth plan, the costmap is missing or has no cells.";
  EXPECT_EQ(smoothExpectingPlannerException(*smoother, nullptr, path), expected);
  EXPECT_EQ(
      smoothExpectingPlannerException(
          *smoother, std::make_shared<nav2_costmap_2d::Costmap2D>(0, 0, 0.05, 0.0, 0.0), path),
      expected);
  EXPECT_EQ(
      smoothExpectingPlannerException(
          *smoother, std::make_shared<nav2_costmap_2d::Costmap2D>(10, 0, 0.05, 0.0, 0.0), path),
      expected);
}

TEST(OrvikConstrainedSmootherSmooth, UnconfiguredSmootherIsRejected) {
  OrvikConstrainedSmoother smoother;
  auto path = polylinePath({{0.5, 1.0}, {2.0, 1.0}}, 0.1);
  EXPECT_EQ(smoothExpectingPlannerException(smoother, freeCostmap(), path),
            "Failed to smooth plan, the smoother is not configured.");
}

TEST(OrvikConstrainedSmootherSmooth, FreeStartHeadingTakesTheDirectionOfTheSecondPose) {
  // The robot starts facing backwards but the path drives on forwards: with the start heading
  // free, the first step is not a reversal and the start heading follows the path.
  auto path = polylinePath({{0.5, 1.0}, {2.0, 1.0}}, 0.05);
  path.poses.front().pose.orientation.z = 1.0;
  path.poses.front().pose.orientation.w = 0.0;
  auto smoother =
      configured({rclcpp::Parameter(std::string(kName) + ".keep_start_orientation", false)});
  ASSERT_TRUE(smoother->smooth(freeCostmap(), path, kTimeLimit));
  for (size_t i = 0; i < path.poses.size(); ++i) {
    EXPECT_NEAR(angleDiff(yawOf(path.poses[i]), 0.0), 0.0, 1e-6) << i;
    EXPECT_NEAR(path.poses[i].pose.position.y, 1.0, 1e-6) << i;
  }
  // A reversal at the start would pull the second pose behind the first.
  for (size_t i = 1; i < path.poses.size(); ++i) {
    EXPECT_GT(path.poses[i].pose.position.x, path.poses[i - 1].pose.position.x) << i;
  }
}

TEST(OrvikConstrainedSmootherSmooth, ShortPathKeepsItsPositionsAndGetsHeadings) {
  // Four poses leave nothing to move between the fixed pairs at either end.
  auto path = makePath({{0.5, 1.0, 0.0}, {0.6, 1.0, 0.0}, {0.7, 1.1, 0.0}, {0.8, 1.1, 0.5}});
  const nav_msgs::msg::Path input = path;
  auto smoother = configured();
  testing::internal::CaptureStderr();
  ASSERT_TRUE(smoother->smooth(freeCostmap(), path, kTimeLimit));
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("[smoother_server]: Path too short to optimize"), std::string::npos) << log;
  ASSERT_EQ(path.poses.size(), input.poses.size());
  for (size_t i = 0; i < path.poses.size(); ++i) {
    EXPECT_EQ(path.poses[i].pose.position.x, input.poses[i].pose.position.x) << i;
    EXPECT_EQ(path.poses[i].pose.position.y, input.poses[i].pose.position.y) << i;
  }
  EXPECT_NEAR(yawOf(path.poses.front()), 0.0, 1e-9);
  EXPECT_NEAR(yawOf(path.poses.back()), 0.5, 1e-9);
  // The middle poses now head along the path instead of carrying the input's zero yaw.
  EXPECT_GT(yawOf(path.poses[1]), 0.1);
}

TEST(OrvikConstrainedSmootherSmooth, DebugOptimizerPrintsProgressAndLogsTheReport) {
  const auto input = polylinePath({{0.5, 1.0}, {1.0, 1.0}, {1.0, 1.5}}, 0.1);
  for (bool debug : {false, true}) {
    auto smoother =
        configured({rclcpp::Parameter(std::string(kName) + ".optimizer.debug_optimizer", debug)});
    auto path = input;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ASSERT_TRUE(smoother->smooth(freeCostmap(), path, kTimeLimit));
    const std::string progress = testing::internal::GetCapturedStdout();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(progress.find("iter"), debug ? 0u : std::string::npos) << progress;
    EXPECT_EQ(log.find("[smoother_server]") != std::string::npos, debug) << log;
    EXPECT_EQ(log.find("Solver Summary") != std::string::npos, debug) << log;
  }
}

TEST(OrvikConstrainedSmootherSmooth, ZeroTimeLimitReturnsAUsablePath) {
  auto smoother = configured();
  auto path = polylinePath({{0.5, 1.0}, {1.0, 1.0}, {1.0, 1.5}}, 0.1);
  const size_t count = path.poses.size();
  ASSERT_TRUE(smoother->smooth(freeCostmap(), path, rclcpp::Duration::from_seconds(0.0)));
  ASSERT_EQ(path.poses.size(), count);
  for (const auto& pose : path.poses) {
    EXPECT_TRUE(std::isfinite(pose.pose.position.x) && std::isfinite(pose.pose.position.y));
  }
}

TEST(OrvikConstrainedSmootherSmooth, NegativeTimeLimitFailsWithoutTouchingThePath) {
  // Ceres refuses a negative time budget, which surfaces as an unusable solution.
  auto smoother = configured();
  auto path = polylinePath({{0.5, 1.0}, {1.0, 1.0}, {1.0, 1.5}}, 0.1);
  const nav_msgs::msg::Path input = path;
  try {
    smoother->smooth(freeCostmap(), path, rclcpp::Duration::from_seconds(-1.0));
    ADD_FAILURE() << "did not throw";
  } catch (nav2_core::PlannerException* e) {
    std::unique_ptr<nav2_core::PlannerException> owned(e);
    EXPECT_STREQ(owned->what(), "Failed to smooth plan, Ceres could not find a usable solution.");
  }
  EXPECT_EQ(path, input);
}

}  // namespace
