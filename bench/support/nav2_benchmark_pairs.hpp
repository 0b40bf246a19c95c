// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"
#include "orvik_nav2_planner/astar_options.hpp"

namespace orvik_bench {

/// The costmap of Nav2's default bringup for its planner benchmark: trinary with each YAML's
/// thresholds, unknown kept as unknown and not an obstacle, inflation with inscribed radius
/// 0.2255 m (robot_radius 0.22 plus the default footprint padding), inflation radius 0.55 m and
/// cost_scaling_factor 3.0; danger level 0 keeps the inscribed radius clear.
inline orvik_nav2_gridmap::GridMapConfig nav2DefaultBringupConfig() {
  orvik_nav2_gridmap::GridMapConfig config;
  config.robot_radius = 0.22;
  config.danger_clearances = {0.2255};
  config.unknown_is_obstacle = false;
  config.inflation.enabled = true;
  config.inflation.inscribed_radius = 0.2255;
  config.inflation.inflation_radius = 0.55;
  config.inflation.cost_scaling_factor = 3.0;
  return config;
}

/// Request options of the benchmark: the defaults, with start and goal moved off a blocked cell
/// within 0.3 m.
inline orvik_nav2_planner::astar2::AstarOptions nav2BenchmarkOptions() {
  orvik_nav2_planner::astar2::AstarOptions options;
  options.start_fuzzy_radius = 0.3;
  options.goal_fuzzy_radius = 0.3;
  return options;
}

struct PosePair {
  geometry_msgs::msg::PoseStamped start;
  geometry_msgs::msg::PoseStamped goal;
};

/// The start/goal pairs of `<dir>/<stem>.pairs.csv` (header line, then
/// start_x,start_y,start_yaw,goal_x,goal_y,goal_yaw per line), headings as yaw quaternions.
inline std::vector<PosePair> loadPosePairs(const std::string& csv_path) {
  std::ifstream in(csv_path);
  std::string line;
  std::getline(in, line);
  std::vector<PosePair> pairs;
  while (std::getline(in, line)) {
    double v[6];
    if (std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf,%lf,%lf", &v[0], &v[1], &v[2], &v[3], &v[4],
                    &v[5]) != 6) {
      continue;
    }
    PosePair pair;
    for (auto [pose, x, y, yaw] : {std::make_tuple(&pair.start, v[0], v[1], v[2]),
                                   std::make_tuple(&pair.goal, v[3], v[4], v[5])}) {
      pose->header.frame_id = "map";
      pose->pose.position.x = x;
      pose->pose.position.y = y;
      pose->pose.orientation.z = std::sin(yaw / 2.0);
      pose->pose.orientation.w = std::cos(yaw / 2.0);
    }
    pairs.push_back(pair);
  }
  return pairs;
}

/// Map stems of Nav2's planner benchmark in the shared maps folder.
inline const std::vector<std::string>& nav2BenchmarkStems() {
  static const std::vector<std::string> stems{"100by100_10", "100by100_15"};
  return stems;
}

}  // namespace orvik_bench
