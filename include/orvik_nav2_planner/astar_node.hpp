// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>

namespace orvik_nav2_planner::astar2 {

/// One grid cell as the search sees it. Owned by AstarTable; a pointer to it stays valid until
/// the table is cleared.
struct AstarNode {
  /// Cell index x + y * size_x; -1 marks a table slot that no search has touched yet.
  int32_t index{-1};
  int32_t x{0};
  int32_t y{0};
  /// Cost of the best path found so far from the start, in cells.
  double g{0.0};
  /// Predecessor on that path; null for the start and for untouched nodes.
  AstarNode* parent{nullptr};
  /// Taken from the open list and expanded.
  bool closed{false};
  /// Put into the open list at least once.
  bool opened{false};
};

}  // namespace orvik_nav2_planner::astar2
