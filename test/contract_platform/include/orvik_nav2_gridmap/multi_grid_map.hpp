// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "nav2_costmap_2d/costmap_2d.hpp"

namespace orvik_nav2_gridmap {

/// Test stand-in for the maker's grid map: exactly the queries the planners may make, answered
/// simply from one costmap and deliberately unlike our own platform, so that a planner relying
/// on anything but the stated results gives different answers here:
/// - getCost is not the master byte: 2 x master + 1, plus a per-cell term (0..6) under the flag;
/// - danger levels of its own: level 0 and below blocks master costs >= 200, level 1 costs
///   >= 253, higher levels costs >= 254;
/// - a cell query outside the map aborts the process (callers must pass only cells inside).
class MultiGridMap {
 public:
  /// @param passage_labels empty, or one label per cell (row-major, <= 0 = none).
  explicit MultiGridMap(const nav2_costmap_2d::Costmap2D& costmap,
                        std::vector<int> passage_labels = {});

  std::shared_ptr<nav2_costmap_2d::Costmap2D> getCostmap() const;

  uint32_t getCost(unsigned int x, unsigned int y, bool flag) const;
  /// Metres from the cell centre to the nearest lethal or unknown cell centre (brute force over
  /// those cells; meant for small maps); the map's diagonal when there is none.
  double getDistance(unsigned int x, unsigned int y) const;
  bool inDanger(unsigned int x, unsigned int y, int level) const;

  bool hasPriorityPassage() const;
  int getPriorityPassageLabelCount() const;
  int getPriorityPassageLabel(unsigned int x, unsigned int y) const;
  /// Labelled and not in danger at the level.
  bool inPriorityPassage(unsigned int x, unsigned int y, int level) const;
  /// Metres to the nearest cell with another label (cells off the map count as other).
  float getPriorityPassageBoundaryDist(unsigned int x, unsigned int y) const;

 private:
  std::size_t indexOf(const char* query, unsigned int x, unsigned int y) const;

  std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap_;
  std::vector<int> labels_;
  std::vector<std::size_t> obstacle_cells_;
  int label_count_{0};
};

}  // namespace orvik_nav2_gridmap
