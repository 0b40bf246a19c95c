// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "orvik_nav2_planner/astar_planner.hpp"
#include "planner_test_support.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using Lines = std::vector<std::pair<spdlog::level::level_enum, std::string>>;
constexpr auto kErr = spdlog::level::err;
constexpr auto kInfo = spdlog::level::info;

// Every way a request can fail, with the exact lines it writes, in order and at their levels:
// the start and goal variants differ only in a word, and a swapped word, level or cell
// coordinate would mislead whoever reads the robot's log. Cells with x != y show a swap.
TEST(AstarFailureMessages, EachFailureWritesExactlyItsLinesAtTheirLevels) {
  orvik_nav2_gridmap::GridMapConfig config;
  config.danger_clearances = {0.0};
  const auto map = orvik_test::gridMapFromAscii({"######",  //
                                                 "#....#",  //
                                                 "#.#..#",  //
                                                 "#....#",  //
                                                 "######"},
                                                config);
  const auto cell = [&](int x, int y) { return orvik_test::cellPose(map, x, y); };
  geometry_msgs::msg::PoseStamped off_map = cell(1, 1);
  off_map.pose.position.x = -5.0;
  AstarOptions plain;
  AstarOptions tiny_radius;
  tiny_radius.start_fuzzy_radius = 0.04;
  tiny_radius.goal_fuzzy_radius = 0.04;
  AstarOptions reach;
  reach.check_goal_reachable = true;
  reach.goal_tolerance = 0.1;

  struct Case {
    const char* what;
    geometry_msgs::msg::PoseStamped start;
    geometry_msgs::msg::PoseStamped goal;
    AstarOptions options;
    Lines expected;
  };
  const std::vector<Case> cases = {
      {"start off the map",
       off_map,
       cell(1, 1),
       plain,
       {{kErr, "convert point from world to map failed"},
        {kErr, "AstarPlanner(msg): setStartNode convertPoseToAstarNode failed"}}},
      {"goal off the map",
       cell(1, 1),
       off_map,
       plain,
       {{kErr, "convert point from world to map failed"},
        {kErr, "AstarPlanner(msg): setGoalNode convertPoseToAstarNode failed"}}},
      {"start on a wall",
       cell(3, 0),
       cell(1, 1),
       plain,
       {{kErr, "pose(3 0) is not valid:"},
        {kErr, "AstarPlanner(msg): setStartNode fuzzyNode failed"}}},
      {"goal on a wall",
       cell(1, 1),
       cell(5, 2),
       plain,
       {{kErr, "pose(5 2) is not valid:"},
        {kErr, "AstarPlanner(msg): setGoalNode fuzzyNode failed"}}},
      {"start window without a free cell",
       cell(0, 3),
       cell(1, 1),
       tiny_radius,
       {{kErr, "Cloud could not find the best node"},
        {kErr, "AstarPlanner::fuzzyPoint fuzzyNode failed, error code is 101100011"},
        {kErr, "AstarPlanner(msg): setStartNode fuzzyNode failed"}}},
      {"goal window without a free cell",
       cell(1, 1),
       cell(4, 0),
       tiny_radius,
       {{kErr, "Cloud could not find the best node"},
        {kErr, "AstarPlanner::fuzzyPoint fuzzyNode failed, error code is 101100011"},
        {kErr, "AstarPlanner(msg): setGoalNode fuzzyNode failed"}}},
      {"goal approach blocked",
       cell(3, 1),
       cell(3, 1),
       reach,
       {{kInfo, "AstarPlanner(msg): canReachGoal tolerance is 0.1"},
        {kErr, "AstarPlanner(msg): can not reach goal"}}},
  };
  AstarPlanner planner("msg", map);
  for (const Case& c : cases) {
    orvik_nav2_protocol::msg::Path path;
    orvik_test::LogCapture log(spdlog::level::debug);
    EXPECT_FALSE(planner.searchPath(c.start, c.goal, c.options, path)) << c.what;
    EXPECT_EQ(log.lines(), c.expected) << c.what << "\n" << log.text();
  }

  // searchPaths frames a failed direct search with its own lines.
  orvik_nav2_protocol::msg::MultiPaths paths;
  geometry_msgs::msg::PoseStamped start = cell(1, 1);
  start.pose.position.x = 0.06;
  start.pose.position.y = 0.07;
  orvik_test::LogCapture log(spdlog::level::debug);
  EXPECT_FALSE(planner.searchPaths(start, cell(5, 2), plain, paths));
  const Lines expected = {{kInfo, "Current pose is (0.06,0.07)"},
                          {kInfo, "Recieved goal pose is (0.275,0.125)"},
                          {kErr, "pose(5 2) is not valid:"},
                          {kErr, "AstarPlanner(msg): setGoalNode fuzzyNode failed"},
                          {kInfo, "AstarPlanner(msg): search failed"}};
  EXPECT_EQ(log.lines(), expected) << log.text();
}

}  // namespace

namespace {

// The passage reports of found paths, exactly: the warning about a path that stays outside
// every passage belongs to searches that asked for passages, and only to them.
TEST(AstarPassageReports, EachSearchWritesExactlyItsPassageLines) {
  std::vector<int> labels(12 * 6, 0);
  for (int y = 4; y < 6; ++y) {
    for (int x = 9; x < 12; ++x) {
      labels[y * 12 + x] = 2;
    }
  }
  orvik_nav2_gridmap::GridMapConfig config;
  config.danger_clearances = {0.0};
  const auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(
      nav2_costmap_2d::Costmap2D(12, 6, 0.05, 0.0, 0.0, 0), config, labels);
  const auto cell = [&](int x, int y) { return orvik_test::cellPose(map, x, y); };
  AstarOptions preferred;
  preferred.priority_preference = true;
  struct Case {
    const char* what;
    int from_x, from_y, to_x, to_y;
    AstarOptions options;
    Lines expected;
  };
  const std::string tag = "[PriorityPassage] AstarPlanner(pp) ";
  const std::vector<Case> cases = {
      {"outside, preference off",
       0,
       0,
       5,
       0,
       AstarOptions(),
       {{kInfo, tag + "priority passage loaded, but preference disabled"}}},
      {"outside, preference on",
       0,
       0,
       5,
       0,
       preferred,
       {{kInfo, tag + "selected nearest target label: 2 (total: 1)"},
        {kInfo, tag + "priority preference enabled, outside_penalty: 0"},
        {spdlog::level::warn, tag + "priority passage loaded and preference enabled, but selected "
                                    "path does not enter priority passage"}}},
      {"inside, preference off",
       9,
       4,
       11,
       4,
       AstarOptions(),
       {{kInfo, tag + "priority passage loaded, but preference disabled"},
        {kInfo, tag + "path uses priority passage, cells: 3/3, ratio: 1.000"}}},
  };
  AstarPlanner planner("pp", map);
  for (const Case& c : cases) {
    orvik_nav2_protocol::msg::Path path;
    orvik_test::LogCapture log(spdlog::level::debug);
    ASSERT_TRUE(planner.searchPath(cell(c.from_x, c.from_y), cell(c.to_x, c.to_y), c.options, path))
        << c.what;
    EXPECT_EQ(log.lines(), c.expected) << c.what << "\n" << log.text();
  }
}

}  // namespace
