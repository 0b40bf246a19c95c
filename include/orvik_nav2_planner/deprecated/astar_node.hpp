// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <utility>

namespace orvik_nav2_planner::astar {

/// One cell reached by the legacy search. Nodes are always held through std::shared_ptr; a
/// node keeps its parent alive, so the chain back to the start stays valid while it is held.
struct AstarNode {
  /// Cell column (always a whole number).
  double x{0.0};
  /// Cell row (always a whole number).
  double y{0.0};
  /// Accumulated cost from the start along `parent`, in cells.
  double g{0.0};
  /// Predecessor; null for the start node.
  std::shared_ptr<AstarNode> parent;

  AstarNode() = default;
  AstarNode(const AstarNode&) = default;
  AstarNode(AstarNode&&) = default;
  AstarNode& operator=(const AstarNode&) = default;
  AstarNode& operator=(AstarNode&&) = default;

  /// Releases the parent chain iteratively. The default destructor would release it
  /// recursively, one stack frame group per ancestor, and a path of a few hundred thousand
  /// cells (a long maze corridor) overflows the stack when its last holder lets go.
  ~AstarNode() {
    std::shared_ptr<AstarNode> next = std::move(parent);
    // Only a node that this chain owns alone may be taken apart; a shared ancestor is still in
    // use elsewhere (node table, another path) and stops the walk.
    while (next && next.use_count() == 1) {
      std::shared_ptr<AstarNode> after = std::move(next->parent);
      next = std::move(after);
    }
  }
};

}  // namespace orvik_nav2_planner::astar
