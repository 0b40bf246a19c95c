// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/post_config.hpp"

#include <gtest/gtest.h>

#include <unistd.h>
#include <utility>

#include <filesystem>
#include <fstream>

#include "orvik_plan/tool_error.hpp"

namespace {

using orvik_plan::loadPostConfig;
using orvik_plan::ToolError;

std::string write(const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("orvik_plan_post_" + std::to_string(::getpid()) + ".yaml");
  std::ofstream(path) << text;
  return path.string();
}

const rclcpp::Parameter* find(const std::vector<rclcpp::Parameter>& list, const std::string& name) {
  for (const auto& p : list) {
    if (p.get_name() == name) {
      return &p;
    }
  }
  return nullptr;
}

TEST(PostConfig, ParametersBecomeTypedOverridesUnderTheSmootherNames) {
  const auto config = loadPostConfig(
      write("gradient_smoother:\n  min_turn_radius: 1\n  max_iterations: 50\n"
            "constrained_smoother:\n  w_smooth: 2000000\n  reversing_enabled: false\n"
            "  cost_check_points: [0, 0, 1]\n  max_time: 0.5\n"
            "  optimizer:\n    linear_solver_type: DENSE_QR\n    max_iterations: 7\n"
            "sunny_corner:\n  corner_index: -1\n  angle_margin: 20\n"));
  const auto* radius = find(config.gradient_parameters, "gradient_smoother.min_turn_radius");
  ASSERT_NE(radius, nullptr);
  EXPECT_EQ(radius->get_type(), rclcpp::ParameterType::PARAMETER_DOUBLE) << "1 widened to 1.0";
  EXPECT_EQ(find(config.gradient_parameters, "gradient_smoother.max_iterations")->get_type(),
            rclcpp::ParameterType::PARAMETER_INTEGER);
  EXPECT_EQ(
      find(config.constrained_parameters, "constrained_smoother.reversing_enabled")->get_type(),
      rclcpp::ParameterType::PARAMETER_BOOL);
  EXPECT_EQ(find(config.constrained_parameters, "constrained_smoother.optimizer.linear_solver_type")
                ->get_type(),
            rclcpp::ParameterType::PARAMETER_STRING);
  EXPECT_EQ(
      find(config.constrained_parameters, "constrained_smoother.cost_check_points")->get_type(),
      rclcpp::ParameterType::PARAMETER_DOUBLE_ARRAY);
  EXPECT_EQ(find(config.constrained_parameters, "constrained_smoother.max_time"), nullptr)
      << "the time limit is the tool's argument, not a smoother parameter";
  EXPECT_EQ(config.constrained_max_time, 0.5);
  EXPECT_EQ(config.sunny.corner_index, -1);
  EXPECT_EQ(config.sunny.angle_margin, 20.0);
  EXPECT_EQ(config.sunny.side_length, 1.0) << "defaults stay";
}

TEST(PostConfig, ValuesThatWouldMisleadAStepAreRefused) {
  for (const char* text :
       {"sunny_corner:\n  dilute_threshold: 0\n", "sunny_corner:\n  side_length: -1\n",
        "sunny_corner:\n  corner_index: -2\n", "sunny_corner:\n  angle_margin: 120\n",
        "gradient_smoother:\n  min_turn_radius: 0\n",
        "gradient_smoother:\n  max_iterations: 1000000000\n",
        "constrained_smoother:\n  cost_check_points: [1, 2]\n",
        "constrained_smoother:\n  path_upsampling_factor: 0\n",
        "constrained_smoother:\n  max_time: 0\n",
        "constrained_smoother:\n  optimizer:\n    debug_optimizer: 3\n",
        "sunny_corners:\n  distance: 1\n"}) {
    EXPECT_THROW(loadPostConfig(write(text)), ToolError) << text;
  }
  EXPECT_NO_THROW(loadPostConfig(""));
}

TEST(PostConfig, HugeValuesAreRefusedWithTheKeyNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {"constrained_smoother:\n  max_time: 1e10\n", "max_time: must be between 0 and 3600"},
      {"constrained_smoother:\n  path_upsampling_factor: 1000000\n",
       "path_upsampling_factor: must be between 1 and 64"},
  };
  for (const auto& [text, expected] : cases) {
    try {
      loadPostConfig(write(text));
      ADD_FAILURE() << "accepted " << text;
    } catch (const ToolError& e) {
      EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(loadPostConfig(write("constrained_smoother:\n  max_time: 3600\n")).constrained_max_time,
            3600.0);
}

}  // namespace
