// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"
#include "support/bench_maps.hpp"

/// Ready-made start and goal poses over the shared benchmark maps, built once per process, so
/// that planners compared side by side run exactly the same requests.
namespace legacy_bench {

/// One request on a generated map.
struct GeneratedQuery {
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map;
  geometry_msgs::msg::PoseStamped start;
  geometry_msgs::msg::PoseStamped goal;
};

inline geometry_msgs::msg::PoseStamped poseAt(const nav2_costmap_2d::Costmap2D& costmap,
                                              unsigned int x, unsigned int y) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  costmap.mapToWorld(x, y, pose.pose.position.x, pose.pose.position.y);
  return pose;
}

/// Corner to far corner of the generated map of that kind and side, over the point-robot
/// configuration: cell (0, 0) to (side - 1, side - 1), or on a maze to the open corridor cell
/// nearest that corner, ((side / 4 - 1) x 4) on both axes, as the v2 planner's benchmark asks.
inline const GeneratedQuery& generatedQuery(orvik_bench::MapKind kind, unsigned int side) {
  static std::map<std::pair<int, unsigned int>, GeneratedQuery> cache;
  const auto key = std::make_pair(static_cast<int>(kind), side);
  auto found = cache.find(key);
  if (found == cache.end()) {
    const nav2_costmap_2d::Costmap2D costmap = orvik_bench::generatedCostmap(kind, side);
    const unsigned int far = kind == orvik_bench::MapKind::kMaze ? (side / 4 - 1) * 4 : side - 1;
    GeneratedQuery query{orvik_bench::toGridMap(costmap), poseAt(costmap, 0, 0),
                         poseAt(costmap, far, far)};
    found = cache.emplace(key, std::move(query)).first;
  }
  return found->second;
}

/// A Moving AI map with an even sample of its scenario's queries.
struct ScenarioSet {
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map;
  std::vector<std::pair<geometry_msgs::msg::PoseStamped, geometry_msgs::msg::PoseStamped>> queries;
};

/// Every `stride`-th query of "<movingai>/<relative_map>.scen" (every 50th, as the v2
/// planner's benchmark takes them), on one-metre cells.
/// @return null when the shared map folder is absent.
inline const ScenarioSet* scenarioSet(const std::string& relative_map, std::size_t stride = 50) {
  static std::map<std::string, ScenarioSet> cache;
  auto found = cache.find(relative_map);
  if (found != cache.end()) {
    return &found->second;
  }
  const std::string path = std::string(ORVIK_SHARED_MAPS_DIR) + "/movingai/" + relative_map;
  if (!std::filesystem::exists(path) || !std::filesystem::exists(path + ".scen")) {
    return nullptr;
  }
  ScenarioSet set;
  set.map = orvik_nav2_gridmap::loadMovingAiMap(path, orvik_bench::pointRobotConfig());
  const auto costmap = set.map->getMultiGridMap()->getCostmap();
  const auto all = orvik_bench::loadScenario(path + ".scen");
  for (const auto& q : orvik_bench::sampleQueries(all, stride)) {
    geometry_msgs::msg::PoseStamped start;
    geometry_msgs::msg::PoseStamped goal;
    start.header.frame_id = goal.header.frame_id = set.map->getGlobalFrame();
    std::tie(start.pose.position.x, start.pose.position.y) =
        orvik_bench::movingAiCellCentre(*costmap, q.start_x, q.start_y);
    std::tie(goal.pose.position.x, goal.pose.position.y) =
        orvik_bench::movingAiCellCentre(*costmap, q.goal_x, q.goal_y);
    set.queries.emplace_back(start, goal);
  }
  return &cache.emplace(relative_map, std::move(set)).first->second;
}

}  // namespace legacy_bench
