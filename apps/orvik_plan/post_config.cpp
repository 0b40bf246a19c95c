// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/post_config.hpp"

#include "orvik_plan/strict_yaml.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace {

enum class Kind { kDouble, kInt, kBool, kString, kDoubleList };

struct Key {
  const char* name;
  Kind kind;
};

// Parameter names of the gradient smoother, read under "gradient_smoother.".
const Key kGradientKeys[] = {
    {"min_turn_radius", Kind::kDouble},
    {"max_obstacle_dis", Kind::kDouble},
    {"obstacle_weight", Kind::kDouble},
    {"curvature_weight", Kind::kDouble},
    {"smooth_weight", Kind::kDouble},
    {"path_align_weight", Kind::kDouble},
    {"priority_passage_obs_scale", Kind::kDouble},
    {"priority_passage_smooth_scale", Kind::kDouble},
    {"max_iterations", Kind::kInt},
};

// Parameter names of Nav2's constrained smoother, read under "constrained_smoother.".
const Key kConstrainedKeys[] = {
    {"minimum_turning_radius", Kind::kDouble},
    {"w_curve", Kind::kDouble},
    {"w_cost", Kind::kDouble},
    {"w_cost_cusp_multiplier", Kind::kDouble},
    {"cusp_zone_length", Kind::kDouble},
    {"w_dist", Kind::kDouble},
    {"w_smooth", Kind::kDouble},
    {"cost_check_points", Kind::kDoubleList},
    {"path_downsampling_factor", Kind::kInt},
    {"path_upsampling_factor", Kind::kInt},
    {"reversing_enabled", Kind::kBool},
    {"keep_goal_orientation", Kind::kBool},
    {"keep_start_orientation", Kind::kBool},
};

const Key kOptimizerKeys[] = {
    {"linear_solver_type", Kind::kString},
    {"param_tol", Kind::kDouble},
    {"fn_tol", Kind::kDouble},
    {"gradient_tol", Kind::kDouble},
    {"max_iterations", Kind::kInt},
    {"debug_optimizer", Kind::kBool},
};

template <std::size_t N>
std::vector<std::string> namesOf(const Key (&keys)[N]) {
  std::vector<std::string> names;
  for (const auto& key : keys) {
    names.emplace_back(key.name);
  }
  return names;
}

/// Turns the typed values of a section into parameter overrides under `prefix`.
template <std::size_t N>
void readParameters(const YamlSection& section, const Key (&keys)[N], const std::string& prefix,
                    std::vector<rclcpp::Parameter>& out) {
  for (const auto& key : keys) {
    if (!section.has(key.name)) {
      continue;
    }
    const std::string name = prefix + key.name;
    switch (key.kind) {
      case Kind::kDouble:
        out.emplace_back(name, rclcpp::ParameterValue(*section.getDouble(key.name)));
        break;
      case Kind::kInt:
        out.emplace_back(name, rclcpp::ParameterValue(*section.getInt(key.name)));
        break;
      case Kind::kBool:
        out.emplace_back(name, rclcpp::ParameterValue(*section.getBool(key.name)));
        break;
      case Kind::kString:
        out.emplace_back(name, rclcpp::ParameterValue(*section.getString(key.name)));
        break;
      case Kind::kDoubleList:
        out.emplace_back(name, rclcpp::ParameterValue(*section.getDoubleList(key.name)));
        break;
    }
  }
}

// The solver is bounded by optimizer.max_iterations; the time limit is only a safety net, so
// that the machine's load does not decide where the solver stops (a result that changes from
// run to run). An hour is more than any path needs and keeps the limit a real number.
constexpr double kDefaultSmootherSeconds = 60.0;
constexpr double kMaxSmootherSeconds = 3600.0;
constexpr int kMaxUpsamplingFactor = 64;

void requirePositive(const YamlSection& section, const std::string& key, double value) {
  if (!(value > 0.0)) {
    throw ToolError(section.errorAt(key, "must be greater than 0"));
  }
}

}  // namespace

PostConfig loadPostConfig(const std::string& yaml_path) {
  PostConfig config;
  if (yaml_path.empty()) {
    config.echo = nlohmann::json::object();
    return config;
  }
  const YamlSection yaml = YamlSection::loadFile(yaml_path);
  yaml.requireOnlyKeys({"gradient_smoother", "sunny_corner", "constrained_smoother"});

  const YamlSection gradient = yaml.getSection("gradient_smoother");
  gradient.requireOnlyKeys(namesOf(kGradientKeys));
  readParameters(gradient, kGradientKeys, "gradient_smoother.", config.gradient_parameters);
  if (auto radius = gradient.getDouble("min_turn_radius")) {
    requirePositive(gradient, "min_turn_radius", *radius);
  }
  if (auto iterations = gradient.getInt("max_iterations"); iterations && *iterations > 100000) {
    throw ToolError(gradient.errorAt("max_iterations", "at most 100000 sweeps"));
  }

  const YamlSection sunny = yaml.getSection("sunny_corner");
  sunny.requireOnlyKeys({"dilute_threshold", "max_fit_error", "angle_margin", "max_corner_shift",
                         "side_length", "corner_index", "distance"});
  SunnySettings& s = config.sunny;
  s.dilute_threshold = sunny.getDouble("dilute_threshold").value_or(s.dilute_threshold);
  s.max_fit_error = sunny.getDouble("max_fit_error").value_or(s.max_fit_error);
  s.angle_margin = sunny.getDouble("angle_margin").value_or(s.angle_margin);
  s.max_corner_shift = sunny.getDouble("max_corner_shift").value_or(s.max_corner_shift);
  s.side_length = sunny.getDouble("side_length").value_or(s.side_length);
  s.corner_index = sunny.getInt("corner_index").value_or(s.corner_index);
  s.distance = sunny.getDouble("distance").value_or(s.distance);
  // A non-positive threshold or side length makes the split or the line fits degenerate.
  requirePositive(sunny, "dilute_threshold", s.dilute_threshold);
  requirePositive(sunny, "side_length", s.side_length);
  if (s.angle_margin < 0.0 || s.angle_margin > 90.0) {
    throw ToolError(sunny.errorAt("angle_margin", "must be between 0 and 90 degrees"));
  }
  if (s.corner_index < -1) {
    throw ToolError(sunny.errorAt("corner_index", "must be -1 (no cut) or a corner index >= 0"));
  }
  if (s.distance < 0.0) {
    throw ToolError(sunny.errorAt("distance", "must not be negative"));
  }

  const YamlSection constrained = yaml.getSection("constrained_smoother");
  std::vector<std::string> constrained_keys = namesOf(kConstrainedKeys);
  constrained_keys.emplace_back("optimizer");
  constrained_keys.emplace_back("max_time");
  constrained.requireOnlyKeys(constrained_keys);
  readParameters(constrained, kConstrainedKeys, "constrained_smoother.",
                 config.constrained_parameters);
  if (auto radius = constrained.getDouble("minimum_turning_radius")) {
    requirePositive(constrained, "minimum_turning_radius", *radius);
  }
  if (auto value = constrained.getInt("path_downsampling_factor"); value && *value < 1) {
    throw ToolError(constrained.errorAt("path_downsampling_factor", "must be at least 1"));
  }
  // Upsampling multiplies the poses the solver works on: a large factor only costs memory.
  if (auto value = constrained.getInt("path_upsampling_factor");
      value && (*value < 1 || *value > kMaxUpsamplingFactor)) {
    throw ToolError(constrained.errorAt(
        "path_upsampling_factor", "must be between 1 and " + std::to_string(kMaxUpsamplingFactor) +
                                      ", not " + std::to_string(*value)));
  }
  if (auto points = constrained.getDoubleList("cost_check_points"); points && points->size() % 3) {
    throw ToolError(constrained.errorAt("cost_check_points",
                                        "needs triples x, y, weight (a multiple of 3 numbers)"));
  }
  config.constrained_max_time = constrained.getDoubleIn("max_time", 0.0, kMaxSmootherSeconds)
                                    .value_or(kDefaultSmootherSeconds);
  requirePositive(constrained, "max_time", config.constrained_max_time);
  const YamlSection optimizer = constrained.getSection("optimizer");
  optimizer.requireOnlyKeys(namesOf(kOptimizerKeys));
  readParameters(optimizer, kOptimizerKeys, "constrained_smoother.optimizer.",
                 config.constrained_parameters);
  if (auto iterations = optimizer.getInt("max_iterations"); iterations && *iterations < 1) {
    throw ToolError(optimizer.errorAt("max_iterations", "must be at least 1"));
  }

  config.echo = nlohmann::json::object();
  for (const auto& p : config.gradient_parameters) {
    config.echo[p.get_name()] = p.value_to_string();
  }
  for (const auto& p : config.constrained_parameters) {
    config.echo[p.get_name()] = p.value_to_string();
  }
  config.echo["constrained_smoother.max_time"] = config.constrained_max_time;
  config.echo["sunny_corner"] = {{"dilute_threshold", s.dilute_threshold},
                                 {"max_fit_error", s.max_fit_error},
                                 {"angle_margin", s.angle_margin},
                                 {"max_corner_shift", s.max_corner_shift},
                                 {"side_length", s.side_length},
                                 {"corner_index", s.corner_index},
                                 {"distance", s.distance}};
  return config;
}

}  // namespace orvik_plan
