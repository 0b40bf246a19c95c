// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <functional>

#include "geometry_msgs/msg/quaternion.hpp"
#include "orvik_nav2_planner/astar_node.hpp"
#include "orvik_nav2_planner/astar_options.hpp"

namespace orvik_nav2_planner::astar2 {

/// Configuration of one run of the single-path search, built by each request mode.
struct SearchInfo {
  explicit SearchInfo(const AstarOptions& request_options = AstarOptions())
      : options(request_options) {}

  AstarOptions options;
  /// Goal test, applied to each node taken from the open list.
  std::function<bool(const SearchInfo&, const AstarNode*)> is_goal;
  /// Neighbour filter; true leaves the neighbour out.
  std::function<bool(const AstarNode*)> skip_neighbor;
  /// Writes the heuristic of a node into its third argument; false keeps the node closed off.
  std::function<bool(const SearchInfo&, const AstarNode*, double&)> heuristic;
  AstarNode* start{nullptr};
  /// Not set by the forward-only search.
  AstarNode* goal{nullptr};
  geometry_msgs::msg::Quaternion start_orientation;
  geometry_msgs::msg::Quaternion goal_orientation;
  /// Goal tolerance of this search, metres.
  double tolerance{0.0};
  /// Priority passage label of this search; 0 = none chosen.
  int32_t target_label{0};
};

}  // namespace orvik_nav2_planner::astar2
