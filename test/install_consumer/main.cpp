// SPDX-License-Identifier: Apache-2.0
// Plans around a wall with the installed A* planner, then loads the plugin library as pluginlib
// does and creates a planner through its registered class: proof that headers, libraries,
// run paths and the CMake package work once installed.
#include <dlfcn.h>

#include <cstdio>
#include <memory>

#include "class_loader/class_loader_core.hpp"
#include "nav2_core/global_planner.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"

int main() {
  nav2_costmap_2d::Costmap2D costmap(40, 40, 0.1, 0.0, 0.0);
  for (unsigned int y = 0; y < 30; ++y) {
    costmap.setCost(20, y, nav2_costmap_2d::LETHAL_OBSTACLE);
  }
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap,
                                                              orvik_nav2_gridmap::GridMapConfig{});
  orvik_nav2_planner::astar2::AstarPlanner planner("consumer", map);
  geometry_msgs::msg::PoseStamped start;
  start.pose.position.x = 0.5;
  start.pose.position.y = 0.5;
  geometry_msgs::msg::PoseStamped goal = start;
  goal.pose.position.x = 3.5;
  orvik_nav2_protocol::msg::Path path;
  if (!planner.searchPath(start, goal, {}, path) || path.poses.size() < 30) {
    std::fprintf(stderr, "no path around the wall\n");
    return 1;
  }
  if (dlopen(ORVIK_PLUGIN_LIBRARY, RTLD_NOW | RTLD_LOCAL) == nullptr) {
    std::fprintf(stderr, "cannot load the plugin library: %s\n", dlerror());
    return 1;
  }
  const std::unique_ptr<nav2_core::GlobalPlanner> plugin(
      class_loader::impl::createInstance<nav2_core::GlobalPlanner>(
          "orvik_nav2_plugins::Astar2Planner", nullptr));
  if (!plugin) {
    std::fprintf(stderr, "the planner plugin is not registered\n");
    return 1;
  }
  std::printf("planned %zu poses around the wall; planner plugin available\n", path.poses.size());
  return 0;
}
