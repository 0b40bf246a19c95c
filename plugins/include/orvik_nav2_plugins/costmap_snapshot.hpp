// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "nav2_costmap_2d/costmap_2d_ros.hpp"
#include "orvik_nav2_plugins/grid_map_cache.hpp"
#include "orvik_nav2_plugins/planner_grid_settings.hpp"

namespace orvik_nav2_plugins {

/// The grid map of a planner's costmap as it is now, read under the costmap's lock (the
/// costmap node updates it from its own thread). The planners then search their own copy
/// without holding the lock.
/// @throw nav2_core::PlannerException, by value, when no grid map can be built (an empty
///        costmap before the first map arrived, say), with `planner` and the reason in the text.
std::shared_ptr<orvik_nav2_gridmap::GridMapROS> currentGridMap(
    nav2_costmap_2d::Costmap2DROS& costmap_ros, const PlannerGridSettings& settings,
    GridMapCache& cache, const std::string& planner);

}  // namespace orvik_nav2_plugins
