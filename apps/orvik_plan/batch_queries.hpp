// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <limits>
#include <string>
#include <vector>

namespace orvik_plan {

/// One start/goal query of a batch.
struct BatchQuery {
  /// Line of the file it came from.
  int line{0};
  int bucket{0};
  /// Moving AI: cell column and row (row 0 at the top); CSV: metres and radians.
  double start_x{0.0};
  double start_y{0.0};
  double start_yaw{0.0};
  double goal_x{0.0};
  double goal_y{0.0};
  double goal_yaw{0.0};
  /// Published optimal length in cells (Moving AI), NaN when not known.
  double optimal_length{std::numeric_limits<double>::quiet_NaN()};
};

/// A Moving AI scenario: the map it names, its size and its queries.
struct MovingAiScenario {
  std::string map_name;
  unsigned int width{0};
  unsigned int height{0};
  std::vector<BatchQuery> queries;
};

/// Reads a Moving AI .scen file ("version 1", then tab-separated lines of bucket, map, width,
/// height, start x, start y, goal x, goal y, optimal length; blank lines skipped, CRLF
/// accepted). @throw ToolError naming the file and line for anything malformed, for queries of
/// several maps or sizes, and for a file without queries.
MovingAiScenario readMovingAiScenario(const std::string& path);

/// The .map file of a scenario: the scenario's name without ".scen" when that exists, else the
/// file name of its map field in the scenario's folder. @throw ToolError when neither exists.
std::string findScenarioMap(const std::string& scenario_path, const std::string& map_name);

/// Reads a CSV of queries on a ROS map: "sx,sy,syaw,gx,gy,gyaw" per line (yaws may be left
/// out: "sx,sy,gx,gy"), '#' comments, an optional header line of names.
/// @throw ToolError naming the line for anything malformed, or a file without queries.
std::vector<BatchQuery> readQueryCsv(const std::string& path);

}  // namespace orvik_plan
