// SPDX-License-Identifier: Apache-2.0
// Legacy A* planner: searchv2 (both forms) with arbitrary poses, radii and danger levels on
// small maps, optionally under a path constraint; two requests per input share one planner.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "nav_msgs/msg/path.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"

namespace {

using orvik_fuzz::awkwardDouble;
using orvik_fuzz::awkwardInt;
using orvik_nav2_planner::astar::AstarPlanner;
using orvik_nav2_planner::astar::PathConstraint;

void maybeConstrain(FuzzedDataProvider& input, AstarPlanner& planner,
                    const AstarPlanner::GridMapPtr& map,
                    const nav2_costmap_2d::Costmap2D& costmap) {
  if (!input.ConsumeBool()) {
    return;
  }
  PathConstraint constraint;
  constraint.cost = awkwardDouble(input, -1.0, 20.0);
  constraint.distance = awkwardDouble(input, -1.0, 3.0);
  const int count = input.ConsumeIntegralInRange<int>(0, 12);
  for (int i = 0; i < count; ++i) {
    constraint.path.poses.push_back(orvik_fuzz::awkwardPose(input, costmap));
  }
  const auto robot = orvik_fuzz::awkwardPose(input, costmap);
  planner.setPathConstraint(robot, constraint,
                            input.ConsumeIntegralInRange<int>(0, 7) ? map : nullptr);
}

void runRequest(FuzzedDataProvider& input, AstarPlanner& planner,
                const AstarPlanner::GridMapPtr& map, const nav2_costmap_2d::Costmap2D& costmap) {
  maybeConstrain(input, planner, map, costmap);
  const auto start = orvik_fuzz::awkwardPose(input, costmap);
  const auto goal = orvik_fuzz::awkwardPose(input, costmap);
  const bool cost_flag = input.ConsumeBool();
  const double start_radius = awkwardDouble(input, -0.5, 1.5);
  const double goal_radius = awkwardDouble(input, -0.5, 1.5);
  const int danger_level = awkwardInt(input, -2, 4);

  nav_msgs::msg::Path path;
  if (input.ConsumeBool()) {
    // Stale poses from a caller's earlier request must not leak into the answer.
    path.poses.resize(input.ConsumeIntegralInRange<size_t>(1, 3));
  }
  const bool found =
      input.ConsumeBool()
          ? planner.searchv2(map, start, goal, path, cost_flag, start_radius, danger_level)
          : planner.searchv2(map, start, goal, path, cost_flag, start_radius, goal_radius,
                             danger_level);
  if (found) {
    ORVIK_FUZZ_CHECK(!path.poses.empty(), "searchv2: true with no poses");
    orvik_fuzz::checkGridPath(path.poses, costmap, "searchv2");
  } else {
    ORVIK_FUZZ_CHECK(path.poses.empty(), "searchv2: false with %zu poses", path.poses.size());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvik_fuzz::quietLogging();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const auto map = orvik_fuzz::smallGridMap(input, 14);
  if (!map) {
    return 0;
  }
  const nav2_costmap_2d::Costmap2D costmap = *map->getMultiGridMap()->getCostmap();
  AstarPlanner planner;
  runRequest(input, planner, map, costmap);
  if (input.remaining_bytes() > 0) {
    runRequest(input, planner, map, costmap);
  }
  return 0;
}
