// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_planner/astar_options.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_plan/plan_model.hpp"

namespace orvik_plan {

/// Runs requests of the A* planner v2 and gathers what they show besides the paths: timing,
/// expanded nodes, the search trace, the endpoints used and the turn-around poses.
class Astar2Runner {
 public:
  /// @throw ToolError when the planner cannot be built on the map.
  explicit Astar2Runner(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map);
  Astar2Runner(const Astar2Runner&) = delete;
  Astar2Runner& operator=(const Astar2Runner&) = delete;

  /// Runs `request` ("path", "forward" or "paths"); `goal` is ignored for "forward".
  /// Fuzzy radii larger than the map's diagonal are reduced to it, which searches the same
  /// cells (the window then covers the whole map) without overflowing the window arithmetic.
  PlanOutcome run(const std::string& request, const geometry_msgs::msg::PoseStamped& start,
                  const std::optional<geometry_msgs::msg::PoseStamped>& goal,
                  orvik_nav2_planner::astar2::AstarOptions options, bool keep_trace = true);

  orvik_nav2_planner::astar2::AstarPlanner& planner() { return *planner_; }

 private:
  struct SearchRecord {
    std::size_t expanded{0};
  };

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  std::unique_ptr<orvik_nav2_planner::astar2::AstarPlanner> planner_;
  double diagonal_m_{0.0};
  // Filled by the trace listener during a request.
  bool collecting_{false};
  bool keep_trace_{true};
  std::vector<SearchRecord> searches_;
  cv::Mat merged_trace_;
};

/// Merges a trace image into another, keeping per cell the most telling code: turn-around,
/// then blocked direction, then free direction, then opened.
void mergeTraceCodes(const cv::Mat& codes, cv::Mat& merged);

}  // namespace orvik_plan
