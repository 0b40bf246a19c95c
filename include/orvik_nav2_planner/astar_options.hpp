// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>

namespace orvik_nav2_planner::astar2 {

struct ReferencePath;

/// The caller's options for one planning request.
struct AstarOptions {
  /// Rate directions near the start with the spin analysis (heuristic penalty, path flag).
  bool check_spin_direction{false};
  /// Same rating; also lets searchPaths look for a turn-around cell first.
  bool search_spin_free_point{false};
  /// Passed unchanged as the flag of MultiGridMap::getCost.
  bool cost_flag{false};
  /// Metres within which a blocked start is moved to a usable cell.
  double start_fuzzy_radius{0.0};
  /// Metres within which a blocked goal is moved to a usable cell.
  double goal_fuzzy_radius{0.0};
  /// Current linear velocity, m/s.
  double linear_velocity{0.0};
  /// Current angular velocity, rad/s.
  double angular_velocity{0.0};
  /// Horizon of the velocity constraint, s.
  double predict_time{0.0};
  /// Metres; used by the goal reachability check and copied into the result.
  double goal_tolerance{0.3};
  /// Run the footprint check near the goal on a found path.
  bool check_goal_reachable{false};
  /// Added to the heuristic of a node whose direction needs a blocked rotation.
  int32_t spin_penalty{0};
  /// Bias the search towards `reference_path`.
  bool use_path_consistency{false};
  /// Caller-owned path to stay consistent with; null for none.
  ReferencePath* reference_path{nullptr};
  /// Passed unchanged to MultiGridMap::inDanger and inPriorityPassage.
  int32_t danger_level{0};
  /// Prefer priority passages.
  bool priority_preference{false};
  /// Step penalty outside the target passage.
  double outside_penalty{0.0};
  /// Weight of the passage boundary term.
  double boundary_weight{0.0};
  /// Weight of the passage centre term.
  double center_weight{0.0};
  /// Metres; obstacle distance below which the centre term applies.
  double center_distance{0.5};
  /// Factor of the map cost in the heuristic.
  double cost_weight{1.0};
  /// Passage label to prefer; 0 picks the one nearest to the start.
  int32_t target_label{0};
};

}  // namespace orvik_nav2_planner::astar2
