// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_plugins/costmap_snapshot.hpp"

#include <mutex>
#include <stdexcept>

#include "nav2_core/exceptions.hpp"

namespace orvik_nav2_plugins {

std::shared_ptr<orvik_nav2_gridmap::GridMapROS> currentGridMap(
    nav2_costmap_2d::Costmap2DROS& costmap_ros, const PlannerGridSettings& settings,
    GridMapCache& cache, const std::string& planner) {
  nav2_costmap_2d::Costmap2D* costmap = costmap_ros.getCostmap();
  std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
  try {
    return cache.update(*costmap, settings.configFor(costmap_ros));
  } catch (const std::invalid_argument& error) {
    throw nav2_core::PlannerException(planner + ": cannot use the costmap: " + error.what());
  }
}

}  // namespace orvik_nav2_plugins
