// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/astar_options_yaml.hpp"

#include <functional>
#include <vector>

#include "orvik_plan/pose_text.hpp"
#include "orvik_plan/strict_yaml.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace {

using orvik_nav2_planner::astar2::AstarOptions;

constexpr double kMaxCorridorReachM = 100.0;

struct BoolField {
  const char* name;
  bool AstarOptions::*member;
};
struct DoubleField {
  const char* name;
  double AstarOptions::*member;
};
struct IntField {
  const char* name;
  int32_t AstarOptions::*member;
};

// The field tables drive both reading and the JSON echo, so the two cannot drift apart.
const BoolField kBoolFields[] = {
    {"check_spin_direction", &AstarOptions::check_spin_direction},
    {"search_spin_free_point", &AstarOptions::search_spin_free_point},
    {"cost_flag", &AstarOptions::cost_flag},
    {"check_goal_reachable", &AstarOptions::check_goal_reachable},
    {"use_path_consistency", &AstarOptions::use_path_consistency},
    {"priority_preference", &AstarOptions::priority_preference},
};
const DoubleField kDoubleFields[] = {
    {"start_fuzzy_radius", &AstarOptions::start_fuzzy_radius},
    {"goal_fuzzy_radius", &AstarOptions::goal_fuzzy_radius},
    {"linear_velocity", &AstarOptions::linear_velocity},
    {"angular_velocity", &AstarOptions::angular_velocity},
    {"predict_time", &AstarOptions::predict_time},
    {"goal_tolerance", &AstarOptions::goal_tolerance},
    {"outside_penalty", &AstarOptions::outside_penalty},
    {"boundary_weight", &AstarOptions::boundary_weight},
    {"center_weight", &AstarOptions::center_weight},
    {"center_distance", &AstarOptions::center_distance},
    {"cost_weight", &AstarOptions::cost_weight},
};
const IntField kIntFields[] = {
    {"spin_penalty", &AstarOptions::spin_penalty},
    {"danger_level", &AstarOptions::danger_level},
    {"target_label", &AstarOptions::target_label},
};

std::vector<std::string> knownKeys() {
  std::vector<std::string> keys;
  for (const auto& f : kBoolFields) {
    keys.emplace_back(f.name);
  }
  for (const auto& f : kDoubleFields) {
    keys.emplace_back(f.name);
  }
  for (const auto& f : kIntFields) {
    keys.emplace_back(f.name);
  }
  keys.emplace_back("reference_path");
  return keys;
}

}  // namespace

Astar2Options loadAstar2Options(const std::string& yaml_path, const std::string& reference_file,
                                const std::string& frame) {
  Astar2Options result;
  AstarOptions& o = result.options;
  std::string file = reference_file;
  double ref_cost = 0.0, ref_distance = 0.0, ref_half_width = 0.0;
  if (!yaml_path.empty()) {
    const YamlSection yaml = YamlSection::loadFile(yaml_path);
    yaml.requireOnlyKeys(knownKeys());
    for (const auto& f : kBoolFields) {
      if (auto v = yaml.getBool(f.name)) {
        o.*(f.member) = *v;
      }
    }
    for (const auto& f : kDoubleFields) {
      if (auto v = yaml.getDouble(f.name)) {
        o.*(f.member) = *v;
      }
    }
    for (const auto& f : kIntFields) {
      if (auto v = yaml.getInt(f.name)) {
        o.*(f.member) = *v;
      }
    }
    const YamlSection ref = yaml.getSection("reference_path");
    ref.requireOnlyKeys({"file", "cost", "distance", "half_width"});
    if (file.empty()) {
      file = ref.getString("file").value_or("");
    }
    ref_cost = ref.getDouble("cost").value_or(0.0);
    // The corridor is marked around every reference pose, up to distance / 2 (or half_width)
    // on each side: beyond this reach each pose would mark most of any map, for hours.
    ref_distance = ref.getDoubleIn("distance", 0.0, kMaxCorridorReachM).value_or(0.0);
    ref_half_width = ref.getDoubleIn("half_width", 0.0, kMaxCorridorReachM).value_or(0.0);
  }
  if (o.start_fuzzy_radius < 0.0 || o.goal_fuzzy_radius < 0.0) {
    throw ToolError(yaml_path + ": start_fuzzy_radius and goal_fuzzy_radius must not be negative");
  }
  if (ref_cost < 0.0 || ref_distance < 0.0 || ref_half_width < 0.0) {
    throw ToolError(yaml_path +
                    ": reference_path cost, distance and half_width must not be negative");
  }
  if (!file.empty()) {
    result.reference = std::make_shared<orvik_nav2_planner::astar2::ReferencePath>();
    result.reference->path.header.frame_id = frame;
    result.reference->path.poses = readPoseFile(file, frame);
    result.reference->cost = ref_cost;
    result.reference->distance = ref_distance;
    result.reference->half_width = ref_half_width;
    result.reference_file = file;
    o.reference_path = result.reference.get();
  }
  return result;
}

nlohmann::json astar2OptionsToJson(const Astar2Options& options) {
  nlohmann::json j;
  for (const auto& f : kBoolFields) {
    j[f.name] = options.options.*(f.member);
  }
  for (const auto& f : kDoubleFields) {
    j[f.name] = options.options.*(f.member);
  }
  for (const auto& f : kIntFields) {
    j[f.name] = options.options.*(f.member);
  }
  if (options.reference) {
    j["reference_path"] = {{"file", options.reference_file},
                           {"poses", options.reference->path.poses.size()},
                           {"cost", options.reference->cost},
                           {"distance", options.reference->distance},
                           {"half_width", options.reference->half_width}};
  } else {
    j["reference_path"] = nullptr;
  }
  return j;
}

}  // namespace orvik_plan
