// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_set>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_planner/astar_node.hpp"
#include "orvik_nav2_planner/astar_options.hpp"
#include "orvik_nav2_planner/reference_path.hpp"

namespace orvik_nav2_planner::astar2 {

/// Marks a corridor along the caller's reference path and the cells of a short prediction of
/// the current motion; a search step into an unmarked cell then costs the reference path's
/// cost, which keeps a replanned path close to the previous one.
///
/// One per planner, used by that planner's thread only; it trims the caller's ReferencePath,
/// which therefore must not be shared between planners or read during a request.
class AstarPathConstraint {
 public:
  explicit AstarPathConstraint(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map);

  /// Drops every mark and releases the set's memory.
  void clearPathConstraint();

  /// Rebuilds the marks for a request starting at `start`. Trims the poses of
  /// options.reference_path before the one nearest to `start`, in the caller's record; `start`
  /// may be one of those poses (it is copied first). A non-finite start trims nothing and still
  /// gets the corridor. A NaN reference distance marks the whole path when priority passages
  /// are preferred (the corridor then has its own width) and no corridor otherwise.
  void buildPathConstraint(const geometry_msgs::msg::PoseStamped& start,
                           const AstarOptions& options);

  /// Adds the cells of the motion predicted from `pose` and the options' velocities. Non-finite
  /// input is ignored with a warning.
  void buildVelConstraint(const geometry_msgs::msg::PoseStamped& pose, const AstarOptions& options);

  /// @return 0 for a marked cell or when the constraint is off or empty, else the reference
  ///         path's cost.
  double getPathConsistencyCost(const AstarNode* node, const AstarOptions& options) const;

  /// Whether cell (x, y) is marked.
  bool isMarked(int32_t x, int32_t y) const;
  std::size_t markedCount() const { return constraint_cells_.size(); }
  const std::unordered_set<int>& getConstraintCells() const { return constraint_cells_; }

 private:
  void fillCentred(int32_t mx, int32_t my, int n);
  void fillAnchored(int32_t mx, int32_t my, int n);
  void fill(bool centred, int32_t mx, int32_t my, int n);
  int cellsFromSize(double value) const;

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  std::unordered_set<int> constraint_cells_;
  // The map never swaps its costmap; keeping it saves a shared-pointer copy per scored step.
  std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap_;
};

}  // namespace orvik_nav2_planner::astar2
