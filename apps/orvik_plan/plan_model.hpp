// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "orvik_path_quality/path_quality.hpp"
#include "orvik_plan/path_geometry.hpp"

namespace orvik_plan {

/// What the A* planner v2 reports about a path besides its poses.
struct PathFlags {
  float goal_tolerance{0.0f};
  bool spin_blocked_on_path{false};
  bool start_spin_blocked{false};
};

/// One path of a result, with the role it plays ("direct", "forward leg", "backward leg").
struct PathRecord {
  std::string role;
  PoseList poses;
  std::optional<PathFlags> flags;
  /// Quality figures on the map, once measured.
  std::optional<orvik_path_quality::PathQuality> quality{};
};

/// A corner found by the sunny corner analysis, in world coordinates.
struct CornerRecord {
  double x{0.0};
  double y{0.0};
  int index{-1};
  double angle{0.0};
  double heading_in{0.0};
  double heading_out{0.0};
};

/// What one planner request produced.
struct PlanOutcome {
  bool found{false};
  /// Why the request failed (empty on success): the planner's own error lines, or our
  /// diagnosis of the endpoints when it logged none.
  std::string reason;
  double search_time_ms{0.0};
  /// Cells taken from the open list and expanded; empty when the planner does not tell.
  std::optional<std::size_t> nodes_expanded;
  /// Cells put into the open list, from the search trace.
  std::optional<std::size_t> nodes_opened;
  std::vector<PathRecord> paths;
  /// Start and goal the planner actually used (after moving blocked endpoints).
  std::optional<geometry_msgs::msg::PoseStamped> used_start;
  std::optional<geometry_msgs::msg::PoseStamped> used_goal;
  /// Turn-around poses published as telemetry during the request.
  PoseList turn_around_poses;
  /// Colour codes of the search trace (CV_8UC1, row = cell row); for the legacy planner, its
  /// discovered cells.
  cv::Mat trace_codes;
};

/// How a step with a wall-clock limit used it.
struct TimeLimitRecord {
  double limit_s{0.0};
  /// True when the solve of at least one path ran until the limit (and so was cut short).
  bool reached{false};
  /// Roles of the paths whose solve the limit cut short.
  std::vector<std::string> cut_short;
};

/// The result of one post-processing step over every path of the route.
struct StepOutcome {
  std::string name;
  bool ok{true};
  /// Per-path notes: failures, corners not found, fallbacks.
  std::vector<std::string> notes;
  std::vector<PathRecord> paths;
  std::vector<CornerRecord> sunny_corners;
  std::vector<CornerRecord> line_corners;
  PoseList cut_poses;
  /// Steps with a time limit (the constrained smoother): the limit per path, and whether it
  /// ended the solve of some path, which then depends on the machine's speed and load.
  std::optional<TimeLimitRecord> time_limit;
};

}  // namespace orvik_plan
