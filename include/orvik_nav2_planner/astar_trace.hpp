// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_tools/trace_mat.hpp"

namespace orvik_nav2_planner::astar2 {

/// Colour codes a search draws into its trace image.
namespace trace_code {
/// Put into the open list (only on a cell without colour).
constexpr char kOpened = 127;
/// Direction reachable by an in-place rotation from the start heading.
constexpr char kSpinFree = 20;
/// Direction needs a rotation that is blocked.
constexpr char kSpinBlocked = 98;
/// Accepted as a turn-around cell.
constexpr char kTurnAround = -2;
}  // namespace trace_code

/// The planner's search trace: one image per planner, named after it.
class AstarTrace {
 public:
  /// Creates the image "<name>_astar_trace" over the map.
  AstarTrace(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map, const std::string& name);

  /// The trace image; never null.
  const std::shared_ptr<orvik_trace::TraceMat>& getTraceMat() const { return trace_mat_; }

 private:
  std::shared_ptr<orvik_trace::TraceMat> trace_mat_;
};

}  // namespace orvik_nav2_planner::astar2
