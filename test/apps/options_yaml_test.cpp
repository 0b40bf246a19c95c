// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "orvik_plan/tool_error.hpp"

#include "orvik_plan/astar_options_yaml.hpp"
#include "orvik_plan/legacy_runner.hpp"

namespace {

std::string write(const std::string& name, const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("orvik_plan_opts_" + std::to_string(::getpid()) + "_" + name);
  std::ofstream(path) << text;
  return path.string();
}

TEST(Astar2OptionsYaml, EveryFieldIsReadByItsName) {
  const std::string ref = write("ref.txt", "0 0\n1 0\n2 0\n");
  const auto o = orvik_plan::loadAstar2Options(
      write("all.yaml",
            "check_spin_direction: true\nsearch_spin_free_point: true\ncost_flag: true\n"
            "start_fuzzy_radius: 0.4\ngoal_fuzzy_radius: 0.6\nlinear_velocity: 0.5\n"
            "angular_velocity: -0.2\npredict_time: 2\ngoal_tolerance: -1\n"
            "check_goal_reachable: true\nspin_penalty: 7\nuse_path_consistency: true\n"
            "danger_level: 2\npriority_preference: true\noutside_penalty: 1.5\n"
            "boundary_weight: 0.25\ncenter_weight: 0.75\ncenter_distance: 0.3\n"
            "cost_weight: 0\ntarget_label: 3\n"
            "reference_path: {file: " +
                ref + ", cost: 2, distance: 3, half_width: 0.4}\n"),
      "", "map");
  const auto& a = o.options;
  EXPECT_TRUE(a.check_spin_direction && a.search_spin_free_point && a.cost_flag &&
              a.check_goal_reachable && a.use_path_consistency && a.priority_preference);
  EXPECT_EQ(a.start_fuzzy_radius, 0.4);
  EXPECT_EQ(a.goal_fuzzy_radius, 0.6);
  EXPECT_EQ(a.linear_velocity, 0.5);
  EXPECT_EQ(a.angular_velocity, -0.2);
  EXPECT_EQ(a.predict_time, 2.0);
  EXPECT_EQ(a.goal_tolerance, -1.0);
  EXPECT_EQ(a.spin_penalty, 7);
  EXPECT_EQ(a.danger_level, 2);
  EXPECT_EQ(a.outside_penalty, 1.5);
  EXPECT_EQ(a.boundary_weight, 0.25);
  EXPECT_EQ(a.center_weight, 0.75);
  EXPECT_EQ(a.center_distance, 0.3);
  EXPECT_EQ(a.cost_weight, 0.0);
  EXPECT_EQ(a.target_label, 3);
  ASSERT_NE(a.reference_path, nullptr);
  EXPECT_EQ(a.reference_path, o.reference.get());
  EXPECT_EQ(a.reference_path->path.poses.size(), 3u);
  EXPECT_EQ(a.reference_path->cost, 2.0);
  EXPECT_EQ(a.reference_path->distance, 3.0);
  EXPECT_EQ(a.reference_path->half_width, 0.4);
  const auto json = orvik_plan::astar2OptionsToJson(o);
  EXPECT_EQ(json.size(), 21u) << "every AstarOptions field is echoed";
}

TEST(Astar2OptionsYaml, DefaultsMatchADefaultConstructedRecord) {
  const auto o = orvik_plan::loadAstar2Options("", "", "map");
  const orvik_nav2_planner::astar2::AstarOptions d;
  EXPECT_EQ(o.options.goal_tolerance, d.goal_tolerance);
  EXPECT_EQ(o.options.cost_weight, d.cost_weight);
  EXPECT_EQ(o.options.center_distance, d.center_distance);
  EXPECT_EQ(o.options.reference_path, nullptr);
}

TEST(Astar2OptionsYaml, CommandLineReferenceFileReplacesTheYamlOne) {
  const std::string ref = write("cli_ref.txt", "0 0\n0 1\n");
  const auto o = orvik_plan::loadAstar2Options(
      write("ref.yaml", "reference_path: {file: /nonexistent, cost: 1}\n"), ref, "map");
  ASSERT_NE(o.options.reference_path, nullptr);
  EXPECT_EQ(o.options.reference_path->path.poses.size(), 2u);
  EXPECT_EQ(o.options.reference_path->cost, 1.0);
}

TEST(LegacyOptionsYaml, ArgumentsAndPathConstraintAreRead) {
  const std::string ref = write("legacy_ref.txt", "0 0\n1 1\n");
  const auto o = orvik_plan::loadLegacyOptions(
      write("legacy.yaml",
            "cost_flag: true\nstart_radius: 0.2\ngoal_radius: 0.4\ndanger_level: 1\n"
            "path_constraint: {cost: 3, distance: 2}\n"),
      ref, "map");
  EXPECT_TRUE(o.cost_flag);
  EXPECT_EQ(o.start_radius, 0.2);
  EXPECT_EQ(o.goal_radius, 0.4);
  EXPECT_EQ(o.danger_level, 1);
  EXPECT_TRUE(o.has_constraint);
  EXPECT_EQ(o.constraint.cost, 3.0);
  EXPECT_EQ(o.constraint.path.poses.size(), 2u);
  EXPECT_THROW(orvik_plan::loadLegacyOptions(write("bad.yaml", "radius: 1\n"), "", "map"),
               orvik_plan::ToolError);
}

}  // namespace
