// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "rclcpp/parameter.hpp"

namespace orvik_plan {

/// Settings of the sunny corner step: the five DouglasPeuker values and the cut.
struct SunnySettings {
  double dilute_threshold{0.05};
  double max_fit_error{0.05};
  double angle_margin{30.0};
  double max_corner_shift{0.2};
  double side_length{1.0};
  /// Index into the corners on fitted lines at which each path is cut; -1: no cut.
  int corner_index{0};
  /// Metres past the corner for the pose where the robot turns (plus the free offset found).
  double distance{0.1};
};

/// The post-processing configuration: parameters of the two smoothers as node parameter
/// overrides under their usual names, and the sunny corner settings.
struct PostConfig {
  /// "gradient_smoother.<key>" overrides read by PathSmoother.
  std::vector<rclcpp::Parameter> gradient_parameters;
  /// "constrained_smoother.<key>" and "constrained_smoother.optimizer.<key>" overrides.
  std::vector<rclcpp::Parameter> constrained_parameters;
  /// Seconds the constrained smoother may take per path.
  double constrained_max_time{60.0};
  SunnySettings sunny;
  /// The file as read, echoed into the JSON.
  nlohmann::json echo;
};

/// Reads the post-processing YAML: sections gradient_smoother, sunny_corner and
/// constrained_smoother (with its optimizer subsection). An empty path gives the defaults.
/// @throw ToolError for an unreadable file, an unknown section or key, a value of the wrong
///        type, or a value that would make a step misbehave (non-positive lengths).
PostConfig loadPostConfig(const std::string& yaml_path);

}  // namespace orvik_plan
