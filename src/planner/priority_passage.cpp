// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/priority_passage.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "orvik/logger.hpp"

namespace orvik_nav2_planner::astar2 {

int findNearestPassageLabel(const orvik_nav2_gridmap::MultiGridMap& grid, int x, int y) {
  const auto costmap = grid.getCostmap();
  const int64_t size_x = costmap->getSizeInCellsX();
  const int64_t size_y = costmap->getSizeInCellsY();
  auto inMap = [&](int64_t cx, int64_t cy) {
    return cx >= 0 && cy >= 0 && cx < size_x && cy < size_y;
  };
  auto labelAt = [&](int64_t cx, int64_t cy) {
    return grid.getPriorityPassageLabel(static_cast<unsigned int>(cx),
                                        static_cast<unsigned int>(cy));
  };

  if (inMap(x, y)) {
    const int own = labelAt(x, y);
    if (own > 0) {
      return own;
    }
  }
  int64_t best_d2 = std::numeric_limits<int32_t>::max();
  int best = 0;
  auto consider = [&](int64_t cx, int64_t cy) {
    if (!inMap(cx, cy)) {
      return;
    }
    const int label = labelAt(cx, cy);
    if (label <= 0) {
      return;
    }
    const int64_t dx = cx - x;
    const int64_t dy = cy - y;
    const int64_t d2 = dx * dx + dy * dy;
    if (d2 < best_d2 || (d2 == best_d2 && (best == 0 || label < best))) {
      best_d2 = d2;
      best = label;
    }
  };
  const int64_t limit = std::max(size_x, size_y);
  for (int64_t i = 1; i <= limit; ++i) {
    for (int64_t cx = x - i; cx <= x + i; ++cx) {
      consider(cx, y - i);
      consider(cx, y + i);
    }
    for (int64_t cy = y - i + 1; cy <= y + i - 1; ++cy) {
      consider(x - i, cy);
      consider(x + i, cy);
    }
    // Every cell of ring i + 1 is at least i + 1 cells away.
    if (best != 0 && (i + 1) * (i + 1) >= best_d2) {
      break;
    }
  }
  return best;
}

double passageStepTerm(const orvik_nav2_gridmap::MultiGridMap& grid, const AstarNode* node,
                       const AstarOptions& options, int target_label) {
  if (!grid.hasPriorityPassage()) {
    return 0.0;
  }
  const auto x = static_cast<unsigned int>(node->x);
  const auto y = static_cast<unsigned int>(node->y);
  // With a target label, cells of other passages count as outside.
  const bool outside = target_label > 0 ? grid.getPriorityPassageLabel(x, y) != target_label
                                        : !grid.inPriorityPassage(x, y, options.danger_level);
  if (outside) {
    return options.outside_penalty;
  }
  double term = 0.0;
  if (options.boundary_weight > 0.0) {
    const double boundary = static_cast<double>(grid.getPriorityPassageBoundaryDist(x, y));
    term += options.boundary_weight / (boundary + 1.0);
    // The centre part only ever comes with the boundary part.
    if (options.center_weight > 0.0) {
      const double obstacle = grid.getDistance(x, y);
      if (obstacle < options.center_distance) {
        term -= options.center_weight / (obstacle + 1.0);
      }
    }
  }
  return term;
}

void reportPassageSearchStart(const std::string& planner_name, const AstarOptions& options,
                              bool has_passage) {
  if (options.priority_preference && has_passage) {
    ORVIK_INFO(
        "[PriorityPassage] AstarPlanner({}) priority preference enabled, outside_penalty: {}",
        planner_name, options.outside_penalty);
  } else if (options.priority_preference) {
    ORVIK_WARN(
        "[PriorityPassage] AstarPlanner({}) priority preference enabled, but no priority passage "
        "loaded",
        planner_name);
  } else if (has_passage) {
    ORVIK_INFO(
        "[PriorityPassage] AstarPlanner({}) priority passage loaded, but preference disabled",
        planner_name);
  }
}

void reportPassagePathUsage(const std::string& planner_name,
                            const orvik_nav2_gridmap::MultiGridMap& grid,
                            const std::vector<AstarNode*>& nodes, const AstarOptions& options,
                            bool has_passage) {
  if (!has_passage) {
    return;
  }
  std::size_t count = 0;
  for (const AstarNode* node : nodes) {
    if (grid.inPriorityPassage(static_cast<unsigned int>(node->x),
                               static_cast<unsigned int>(node->y), options.danger_level)) {
      ++count;
    }
  }
  const std::size_t total = nodes.size();
  const double ratio = total == 0 ? 0.0 : static_cast<double>(count) / static_cast<double>(total);
  if (count > 0) {
    ORVIK_INFO(
        "[PriorityPassage] AstarPlanner({}) path uses priority passage, cells: {}/{}, ratio: "
        "{:.3f}",
        planner_name, count, total, ratio);
  } else if (options.priority_preference) {
    ORVIK_WARN(
        "[PriorityPassage] AstarPlanner({}) priority passage loaded and preference enabled, but "
        "selected path does not enter priority passage",
        planner_name);
  }
}

}  // namespace orvik_nav2_planner::astar2
