// SPDX-License-Identifier: Apache-2.0
// Parameter readers of the constrained smoother: names, defaults, post-processing, validation.
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nav2_constrained_smoother/options.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace {

using nav2_constrained_smoother::OptimizerParams;
using nav2_constrained_smoother::SmootherParams;

std::shared_ptr<rclcpp_lifecycle::LifecycleNode> nodeWith(
    std::vector<rclcpp::Parameter> overrides = {}) {
  rclcpp::NodeOptions options;
  options.parameter_overrides(overrides);
  return std::make_shared<rclcpp_lifecycle::LifecycleNode>("params_test", options);
}

TEST(ConstrainedSmootherParams, SmootherDefaultsAreDeclaredUnderTheName) {
  auto node = nodeWith();
  SmootherParams params;
  params.get(node.get(), "sm");
  EXPECT_DOUBLE_EQ(params.max_curvature, 1.0f / 0.4);
  EXPECT_DOUBLE_EQ(params.curvature_weight, 30.0);
  EXPECT_DOUBLE_EQ(params.costmap_weight, 0.015);
  EXPECT_DOUBLE_EQ(params.cusp_costmap_weight, 0.015 * 3.0);
  EXPECT_DOUBLE_EQ(params.cusp_zone_length, 2.5);
  EXPECT_DOUBLE_EQ(params.distance_weight, 0.0);
  EXPECT_DOUBLE_EQ(params.smooth_weight, 2e6);
  EXPECT_TRUE(params.cost_check_points.empty());
  EXPECT_EQ(params.path_downsampling_factor, 1);
  EXPECT_EQ(params.path_upsampling_factor, 1);
  EXPECT_TRUE(params.reversing_enabled);
  EXPECT_TRUE(params.keep_goal_orientation);
  EXPECT_TRUE(params.keep_start_orientation);
  EXPECT_DOUBLE_EQ(params.max_time, 10.0);
  for (const char* key : {"minimum_turning_radius", "w_curve", "w_cost", "w_cost_cusp_multiplier",
                          "cusp_zone_length", "w_dist", "w_smooth", "cost_check_points",
                          "path_downsampling_factor", "path_upsampling_factor", "reversing_enabled",
                          "keep_goal_orientation", "keep_start_orientation"}) {
    EXPECT_TRUE(node->has_parameter(std::string("sm.") + key)) << key;
  }
}

TEST(ConstrainedSmootherParams, OverridesAreReadAndPostProcessed) {
  auto node = nodeWith({rclcpp::Parameter("sm.minimum_turning_radius", 0.5),
                        rclcpp::Parameter("sm.w_cost", 0.2),
                        rclcpp::Parameter("sm.w_cost_cusp_multiplier", 4.0),
                        rclcpp::Parameter("sm.cost_check_points",
                                          std::vector<double>{0.1, 0.0, 3.0, -0.1, 0.0, 1.0}),
                        rclcpp::Parameter("sm.path_upsampling_factor", 3),
                        rclcpp::Parameter("sm.keep_start_orientation", false)});
  SmootherParams params;
  params.get(node.get(), "sm");
  EXPECT_DOUBLE_EQ(params.max_curvature, 2.0);
  EXPECT_DOUBLE_EQ(params.cusp_costmap_weight, 0.8);
  ASSERT_EQ(params.cost_check_points.size(), 6u);
  // Weights normalised to sum 1; positions untouched.
  EXPECT_DOUBLE_EQ(params.cost_check_points[2], 0.75);
  EXPECT_DOUBLE_EQ(params.cost_check_points[5], 0.25);
  EXPECT_DOUBLE_EQ(params.cost_check_points[3], -0.1);
  EXPECT_EQ(params.path_upsampling_factor, 3);
  EXPECT_FALSE(params.keep_start_orientation);
}

TEST(ConstrainedSmootherParams, CostCheckPointsNotInTriplesAreRejected) {
  auto node = nodeWith({rclcpp::Parameter("sm.cost_check_points", std::vector<double>{0.1, 0.0})});
  SmootherParams params;
  try {
    params.get(node.get(), "sm");
    FAIL() << "expected std::runtime_error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Invalid parameter: cost_check_points");
  }
  // Reading stops at the bad parameter.
  EXPECT_FALSE(node->has_parameter("sm.path_downsampling_factor"));
}

TEST(ConstrainedSmootherParams, WrongParameterTypeNamesTheParameter) {
  auto node = nodeWith();
  node->declare_parameter("sm.w_curve", rclcpp::ParameterValue(30));
  SmootherParams params;
  try {
    params.get(node.get(), "sm");
    FAIL() << "expected InvalidParameterTypeException";
  } catch (const rclcpp::exceptions::InvalidParameterTypeException& e) {
    EXPECT_NE(std::string(e.what()).find("sm.w_curve"), std::string::npos) << e.what();
  }
}

TEST(ConstrainedSmootherParams, OptimizerDefaultsAreDeclaredUnderOptimizer) {
  auto node = nodeWith();
  OptimizerParams params;
  EXPECT_EQ(params.max_iterations, 50);
  params.get(node.get(), "sm");
  EXPECT_EQ(params.linear_solver_type, "SPARSE_NORMAL_CHOLESKY");
  EXPECT_DOUBLE_EQ(params.param_tol, 1e-15);
  EXPECT_DOUBLE_EQ(params.fn_tol, 1e-7);
  EXPECT_DOUBLE_EQ(params.gradient_tol, 1e-10);
  EXPECT_EQ(params.max_iterations, 100);
  EXPECT_FALSE(params.debug);
  EXPECT_TRUE(node->has_parameter("sm.optimizer.debug_optimizer"));
}

TEST(ConstrainedSmootherParams, UnknownLinearSolverIsRejectedBeforeTheOtherSettings) {
  auto node = nodeWith({rclcpp::Parameter("sm.optimizer.linear_solver_type", "sparse_qr")});
  OptimizerParams params;
  try {
    params.get(node.get(), "sm");
    FAIL() << "expected std::runtime_error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Invalid parameter: linear_solver_type");
  }
  EXPECT_FALSE(node->has_parameter("sm.optimizer.param_tol"));
}

TEST(ConstrainedSmootherParams, BothListedSolversAreAccepted) {
  for (const char* solver : {"DENSE_QR", "SPARSE_NORMAL_CHOLESKY"}) {
    auto node = nodeWith({rclcpp::Parameter("sm.optimizer.linear_solver_type", solver)});
    OptimizerParams params;
    EXPECT_NO_THROW(params.get(node.get(), "sm")) << solver;
    EXPECT_EQ(params.linear_solver_type, solver);
  }
}

}  // namespace
