// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "ceres/ceres.h"
#include "nav2_util/node_utils.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace nav2_constrained_smoother {

/// Weights, limits and switches of the smoothing problem.
struct SmootherParams {
  SmootherParams() {}

  /**
   * Declares (when not yet declared) and reads the parameters "<name>.<key>".
   * @throw std::runtime_error when cost_check_points is not a list of triples
   * @throw rclcpp::exceptions::InvalidParameterTypeException on a parameter of the wrong type
   */
  void get(rclcpp_lifecycle::LifecycleNode* node, const std::string& name) {
    const std::string prefix = name + ".";

    double minimum_turning_radius;
    nav2_util::declare_parameter_if_not_declared(node, prefix + "minimum_turning_radius",
                                                 rclcpp::ParameterValue(0.4));
    node->get_parameter(prefix + "minimum_turning_radius", minimum_turning_radius);
    // Nav2 divides by a float literal; kept so that curvature limits match to the last bit.
    max_curvature = 1.0f / minimum_turning_radius;

    nav2_util::declare_parameter_if_not_declared(node, prefix + "w_curve",
                                                 rclcpp::ParameterValue(30.0));
    node->get_parameter(prefix + "w_curve", curvature_weight);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "w_cost",
                                                 rclcpp::ParameterValue(0.015));
    node->get_parameter(prefix + "w_cost", costmap_weight);

    double cost_cusp_multiplier;
    nav2_util::declare_parameter_if_not_declared(node, prefix + "w_cost_cusp_multiplier",
                                                 rclcpp::ParameterValue(3.0));
    node->get_parameter(prefix + "w_cost_cusp_multiplier", cost_cusp_multiplier);
    cusp_costmap_weight = costmap_weight * cost_cusp_multiplier;

    nav2_util::declare_parameter_if_not_declared(node, prefix + "cusp_zone_length",
                                                 rclcpp::ParameterValue(2.5));
    node->get_parameter(prefix + "cusp_zone_length", cusp_zone_length);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "w_dist",
                                                 rclcpp::ParameterValue(0.0));
    node->get_parameter(prefix + "w_dist", distance_weight);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "w_smooth",
                                                 rclcpp::ParameterValue(2000000.0));
    node->get_parameter(prefix + "w_smooth", smooth_weight);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "cost_check_points",
                                                 rclcpp::ParameterValue(std::vector<double>()));
    node->get_parameter(prefix + "cost_check_points", cost_check_points);
    if (cost_check_points.size() % 3 != 0) {
      RCLCPP_ERROR(rclcpp::get_logger("constrained_smoother"),
                   "cost_check_points parameter must contain values as follows: "
                   "[x1, y1, weight1, x2, y2, weight2, ...]");
      throw std::runtime_error("Invalid parameter: cost_check_points");
    }
    // Weights are normalised so that w_cost keeps its meaning whatever the number of points.
    double check_point_weights_sum = 0.0;
    for (size_t i = 2; i < cost_check_points.size(); i += 3) {
      check_point_weights_sum += cost_check_points[i];
    }
    for (size_t i = 2; i < cost_check_points.size(); i += 3) {
      cost_check_points[i] /= check_point_weights_sum;
    }

    nav2_util::declare_parameter_if_not_declared(node, prefix + "path_downsampling_factor",
                                                 rclcpp::ParameterValue(1));
    node->get_parameter(prefix + "path_downsampling_factor", path_downsampling_factor);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "path_upsampling_factor",
                                                 rclcpp::ParameterValue(1));
    node->get_parameter(prefix + "path_upsampling_factor", path_upsampling_factor);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "reversing_enabled",
                                                 rclcpp::ParameterValue(true));
    node->get_parameter(prefix + "reversing_enabled", reversing_enabled);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "keep_goal_orientation",
                                                 rclcpp::ParameterValue(true));
    node->get_parameter(prefix + "keep_goal_orientation", keep_goal_orientation);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "keep_start_orientation",
                                                 rclcpp::ParameterValue(true));
    node->get_parameter(prefix + "keep_start_orientation", keep_start_orientation);
  }

  double smooth_weight{0.0};
  double costmap_weight{0.0};
  double cusp_costmap_weight{0.0};
  double cusp_zone_length{0.0};
  double distance_weight{0.0};
  double curvature_weight{0.0};
  double max_curvature{0.0};
  /// Seconds the solver may run; set for every request rather than read from parameters.
  double max_time{10.0};
  int path_downsampling_factor{1};
  int path_upsampling_factor{1};
  bool reversing_enabled{true};
  bool keep_goal_orientation{true};
  bool keep_start_orientation{true};
  /// Triples (x, y, weight) in the robot frame whose costs replace the cost at the pose.
  std::vector<double> cost_check_points{};
};

/// Ceres solver settings.
struct OptimizerParams {
  OptimizerParams()
      : debug(false), max_iterations(50), param_tol(1e-8), fn_tol(1e-6), gradient_tol(1e-10) {}

  /**
   * Declares (when not yet declared) and reads the parameters "<name>.optimizer.<key>".
   * @throw std::runtime_error when linear_solver_type is not a key of solver_types
   * @throw rclcpp::exceptions::InvalidParameterTypeException on a parameter of the wrong type
   */
  void get(rclcpp_lifecycle::LifecycleNode* node, const std::string& name) {
    const std::string prefix = name + ".optimizer.";

    nav2_util::declare_parameter_if_not_declared(node, prefix + "linear_solver_type",
                                                 rclcpp::ParameterValue("SPARSE_NORMAL_CHOLESKY"));
    node->get_parameter(prefix + "linear_solver_type", linear_solver_type);
    if (solver_types.find(linear_solver_type) == solver_types.end()) {
      std::string valid_types;
      for (const auto& type : solver_types) {
        if (!valid_types.empty()) {
          valid_types += ", ";
        }
        valid_types += type.first;
      }
      RCLCPP_ERROR(rclcpp::get_logger("constrained_smoother"),
                   "Invalid linear_solver_type. Valid values are %s", valid_types.c_str());
      throw std::runtime_error("Invalid parameter: linear_solver_type");
    }

    nav2_util::declare_parameter_if_not_declared(node, prefix + "param_tol",
                                                 rclcpp::ParameterValue(1e-15));
    node->get_parameter(prefix + "param_tol", param_tol);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "fn_tol",
                                                 rclcpp::ParameterValue(1e-7));
    node->get_parameter(prefix + "fn_tol", fn_tol);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "gradient_tol",
                                                 rclcpp::ParameterValue(1e-10));
    node->get_parameter(prefix + "gradient_tol", gradient_tol);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "max_iterations",
                                                 rclcpp::ParameterValue(100));
    node->get_parameter(prefix + "max_iterations", max_iterations);

    nav2_util::declare_parameter_if_not_declared(node, prefix + "debug_optimizer",
                                                 rclcpp::ParameterValue(false));
    node->get_parameter(prefix + "debug_optimizer", debug);
  }

  /// Linear solvers accepted by linear_solver_type. Const, so the struct cannot be assigned.
  const std::map<std::string, ceres::LinearSolverType> solver_types = {
      {"DENSE_QR", ceres::DENSE_QR}, {"SPARSE_NORMAL_CHOLESKY", ceres::SPARSE_NORMAL_CHOLESKY}};

  bool debug;
  std::string linear_solver_type;
  int max_iterations;
  double param_tol;
  double fn_tol;
  double gradient_tol;
};

}  // namespace nav2_constrained_smoother
