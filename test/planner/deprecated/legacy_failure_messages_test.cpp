// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "legacy_test_support.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "support/grid_fixtures.hpp"
#include "support/log_capture.hpp"

namespace {

using orvik_nav2_planner::astar::AstarPlanner;
using Lines = std::vector<std::pair<spdlog::level::level_enum, std::string>>;
constexpr auto kDebug = spdlog::level::debug;
constexpr auto kWarn = spdlog::level::warn;
constexpr auto kErr = spdlog::level::err;

// Every outcome of a legacy request with the exact lines it writes, in order and at their
// levels. The start and goal variants differ only in a word or a code; cells with x != y show
// swapped coordinates; the two progress lines belong at DEBUG, below a deployed robot's level.
TEST(LegacyFailureMessages, EachOutcomeWritesExactlyItsLinesAtTheirLevels) {
  orvik_nav2_gridmap::GridMapConfig config;
  config.danger_clearances = {0.0};
  const auto map = orvik_test::gridMapFromAscii({"#######",  //
                                                 "#...#.#",  //
                                                 "#.#.###",  //
                                                 "#.....#",  //
                                                 "#######"},
                                                config, 0.1);
  const auto cell = [&](int x, int y) { return legacy_test::cellPose(map, x, y); };
  geometry_msgs::msg::PoseStamped off_map = cell(1, 1);
  off_map.pose.position.y = -3.0;
  struct Case {
    const char* what;
    geometry_msgs::msg::PoseStamped start;
    geometry_msgs::msg::PoseStamped goal;
    double start_radius;
    double goal_radius;
    Lines expected;
  };
  const std::vector<Case> cases = {
      {"found",
       cell(1, 1),
       cell(4, 1),
       0.0,
       0.0,
       {{kDebug, "AstarPlanner: search start"},
        {kDebug, "A star has found best path, path_msg size =4"}}},
      {"start on a wall",
       cell(3, 0),
       cell(1, 1),
       0.0,
       0.0,
       {{kDebug, "AstarPlanner: search start"},
        {kWarn, "起点不可达，像素坐标：3 0;离障碍物最小距离0"}}},
      {"goal on a wall",
       cell(1, 1),
       cell(5, 2),
       0.0,
       0.0,
       {{kDebug, "AstarPlanner: search start"},
        {kWarn, "终点不可达，像素坐标：5 2;离障碍物最小距离0"}}},
      {"start off the map",
       off_map,
       cell(1, 1),
       0.0,
       0.0,
       {{kDebug, "AstarPlanner: search start"},
        {kErr, "AstarPlanner::setStart failed, error code is 101100005"}}},
      {"goal off the map",
       cell(1, 1),
       off_map,
       0.0,
       0.0,
       {{kDebug, "AstarPlanner: search start"},
        {kErr, "AstarPlanner::setGoal failed worldToMap, error code is 101100005"}}},
      {"start window without a free cell",
       cell(3, 0),
       cell(1, 1),
       0.05,
       0.0,
       {{kDebug, "AstarPlanner: search start"},
        {kErr, "Cloud could not find the best pose"},
        {kErr, "AstarPlanner::fuzzyPoint setStart failed, error code is 101100011"}}},
      {"goal window without a free cell",
       cell(1, 1),
       cell(3, 0),
       0.0,
       0.05,
       {{kDebug, "AstarPlanner: search start"},
        {kErr, "Cloud could not find the best pose"},
        {kErr, "AstarPlanner::fuzzyPoint setGoal failed, error code is 101100012"}}},
      {"walled-in goal",
       cell(1, 1),
       cell(5, 3),
       0.0,
       0.0,
       {{kDebug, "AstarPlanner: search start"},
        {kErr, "AstarPlanner: search failed, error code is 101100025"}}},
  };
  AstarPlanner planner;
  for (const Case& c : cases) {
    nav_msgs::msg::Path path;
    orvik_test::LogCapture log(kDebug);
    planner.searchv2(map, c.start, c.goal, path, false, c.start_radius, c.goal_radius, 0);
    EXPECT_EQ(log.lines(), c.expected) << c.what << "\n" << log.text();
  }
}

}  // namespace
