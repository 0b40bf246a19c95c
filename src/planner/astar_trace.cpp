// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/astar_trace.hpp"

namespace orvik_nav2_planner::astar2 {

AstarTrace::AstarTrace(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map, const std::string& name)
    : trace_mat_(std::make_shared<orvik_trace::TraceMat>(map, name + "_astar_trace")) {}

}  // namespace orvik_nav2_planner::astar2
