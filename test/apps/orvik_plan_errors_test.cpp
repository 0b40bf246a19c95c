// SPDX-License-Identifier: Apache-2.0
// Bad input ends orvik_plan with one clear error line and a non-zero status; a request that
// simply has no path is reported, not treated as an error.
#include <gtest/gtest.h>

#include "apps/tool_runner.hpp"

namespace {

using namespace orvik_plan_test;

std::vector<std::string> demoArgs(std::vector<std::string> extra) {
  std::vector<std::string> args = {"--map",         dataDir() + "/demo_warehouse.yaml",
                                   "--grid-config", dataDir() + "/demo_warehouse_gridmap.yaml",
                                   "--start",       "9.0,4.0,0",
                                   "--goal",        "1.0,2.35,3.14",
                                   "--no-png"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

/// The run failed with `status` and exactly one error line that contains `text`.
void expectOneErrorLine(const ToolRun& run, int status, const std::string& text) {
  EXPECT_EQ(run.status, status) << run.out << run.err;
  const auto err = lines(run.err);
  ASSERT_EQ(err.size(), 1u) << run.err;
  EXPECT_EQ(err[0].rfind("orvik_plan: error: ", 0), 0u) << err[0];
  EXPECT_NE(err[0].find(text), std::string::npos) << err[0];
}

struct OptionsCase {
  const char* yaml;
  const char* message;
};

class OrvikPlanBadOptions : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(OrvikPlanBadOptions, AreRefusedWithTheKeyAndExitTwo) {
  TempDir dir;
  const std::string options = dir.write("options.yaml", GetParam().yaml);
  expectOneErrorLine(runTool(demoArgs({"--options", options}), dir.path()), 2, GetParam().message);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "plan.json"));
}

INSTANTIATE_TEST_SUITE_P(
    UnknownKeysAndWrongTypes, OrvikPlanBadOptions,
    ::testing::Values(OptionsCase{"cost_weigth: 1.0\n", "unknown key 'cost_weigth'"},
                      OptionsCase{"goal_tolerance: fast\n", "goal_tolerance: expected a number"},
                      OptionsCase{"cost_weight: '1.0'\n", "got a quoted string"},
                      OptionsCase{"danger_level: 1.5\n", "danger_level: expected an integer"},
                      OptionsCase{"check_spin_direction: 1\n", "expected true or false"},
                      OptionsCase{"cost_weight: .nan\n", "finite"},
                      OptionsCase{"spin_penalty: 99999999999\n", "out of range"},
                      OptionsCase{"start_fuzzy_radius: -1\n", "must not be negative"},
                      OptionsCase{"reference_path: {file: a.txt, half_width: 1e9}\n",
                                  "reference_path: half_width: must be between 0 and 100"},
                      OptionsCase{"reference_path: {fiel: a.txt}\n", "unknown key 'fiel'"},
                      OptionsCase{"[1, 2]\n", "mapping"}, OptionsCase{"a: [\n", "not valid YAML"}));

TEST(OrvikPlanErrors, PostConfigWithUnknownKeyOrSectionIsRefused) {
  TempDir dir;
  const std::string typo = dir.write("post.yaml", "gradient_smoother:\n  smooth_wieght: 2.0\n");
  expectOneErrorLine(runTool(demoArgs({"--post", "gradient", "--post-config", typo}), dir.path()),
                     2, "unknown key 'smooth_wieght'");
  const std::string section = dir.write("post2.yaml", "smoother: {}\n");
  expectOneErrorLine(runTool(demoArgs({"--post-config", section}), dir.path()), 2,
                     "unknown key 'smoother'");
  const std::string type =
      dir.write("post3.yaml", "constrained_smoother:\n  optimizer:\n    max_iterations: many\n");
  expectOneErrorLine(runTool(demoArgs({"--post-config", type}), dir.path()), 2,
                     "max_iterations: expected an integer");
}

TEST(OrvikPlanErrors, ReferencePathsBeyondThePoseLimitAreRefused) {
  TempDir dir;
  std::string poses;
  for (int i = 0; i < 100001; ++i) {
    poses += "1.0 2.35\n";
  }
  expectOneErrorLine(
      runTool(demoArgs({"--reference-path", dir.write("long.txt", poses)}), dir.path()), 2,
      "100001 poses, more than the limit of 100000");
}

TEST(OrvikPlanErrors, UnreadableFilesNameTheFile) {
  TempDir dir;
  expectOneErrorLine(
      runTool({"--map", "/nonexistent/map.yaml", "--start", "1,1,0", "--goal", "2,2,0"},
              dir.path()),
      2, "/nonexistent/map.yaml");
  expectOneErrorLine(runTool(demoArgs({"--options", "/nonexistent/options.yaml"}), dir.path()), 2,
                     "/nonexistent/options.yaml: cannot read");
  expectOneErrorLine(runTool(demoArgs({"--reference-path", "/nonexistent/ref.txt"}), dir.path()), 2,
                     "/nonexistent/ref.txt");
  const std::string bad_config = dir.write("robot.yaml", "robot_raduis: 0.3\n");
  expectOneErrorLine(runTool({"--map", dataDir() + "/demo_warehouse.yaml", "--grid-config",
                              bad_config, "--start", "1,1,0", "--goal", "2,2,0"},
                             dir.path()),
                     2, "robot_raduis");
}

TEST(OrvikPlanErrors, PosesOffTheMapOrNotNumbersAreBadInput) {
  TempDir dir;
  const auto run_with = [&](const std::string& start) {
    std::vector<std::string> args = demoArgs({});
    args[5] = start;
    return runTool(args, dir.path());
  };
  expectOneErrorLine(run_with("100,4,0"), 2, "off the map");
  expectOneErrorLine(run_with("-0.01,4,0"), 2, "off the map");
  expectOneErrorLine(run_with("nan,4,0"), 2, "three finite numbers");
  expectOneErrorLine(run_with("inf,4,0"), 2, "three finite numbers");
  expectOneErrorLine(run_with("9,4,east"), 2, "three finite numbers");
  expectOneErrorLine(run_with("9,4,0,1"), 2, "three finite numbers");
}

TEST(OrvikPlanErrors, CommandLineMistakesExitTwo) {
  TempDir dir;
  expectOneErrorLine(runTool(demoArgs({"--request", "sideways"}), dir.path()), 2, "sideways");
  expectOneErrorLine(runTool(demoArgs({"--planner", "dijkstra"}), dir.path()), 2, "dijkstra");
  expectOneErrorLine(runTool(demoArgs({"--post", "polish"}), dir.path()), 2, "polish");
  expectOneErrorLine(runTool(demoArgs({"--frobnicate"}), dir.path()), 2, "frobnicate");
  expectOneErrorLine(runTool(demoArgs({"--planner", "legacy", "--request", "paths"}), dir.path()),
                     2, "legacy");
  expectOneErrorLine(
      runTool({"--map", dataDir() + "/demo_warehouse.yaml", "--goal", "1,1,0"}, dir.path()), 2,
      "--start");
}

TEST(OrvikPlanErrors, HelpExitsZeroAndNamesTheOptions) {
  TempDir dir;
  const ToolRun run = runTool({"--help"}, dir.path());
  EXPECT_EQ(run.status, 0);
  for (const char* option : {"--map", "--grid-config", "--start", "--goal", "--planner",
                             "--request", "--options", "--post", "--batch", "--json"}) {
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
  }
}

TEST(OrvikPlanErrors, NoPathIsReportedWithItsReasonAndExitOne) {
  TempDir dir;
  // The goal lies inside a shelf rack and may not be moved off it.
  std::vector<std::string> args = demoArgs({});
  args[7] = "3.0,1.5,0";
  const ToolRun run = runTool(args, dir.path());
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_TRUE(run.err.empty()) << run.err;
  EXPECT_NE(run.out.find("NOT FOUND"), std::string::npos);
  const auto json = readJson(dir.path() / "out" / "plan.json");
  EXPECT_FALSE(json["found"].get<bool>());
  EXPECT_NE(json["reason"].get<std::string>().find("setGoalNode"), std::string::npos)
      << json["reason"];
  EXPECT_TRUE(json["final_paths"].empty());
}

TEST(OrvikPlanErrors, UnwritableOutputExitsThree) {
  TempDir dir;
  dir.write("blocker", "a file where a folder is needed");
  const ToolRun run = runTool(demoArgs({"--json", "blocker/plan.json"}), dir.path());
  expectOneErrorLine(run, 3, "cannot write");
}

}  // namespace
