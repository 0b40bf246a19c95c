// SPDX-License-Identifier: Apache-2.0
// A* planner v2: searchPath, searchForwardPath and searchPaths with arbitrary poses and options
// on small maps. Two requests per input share one planner, so that state left by the first
// (node table, trace, trimmed reference path) meets the second.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "orvik_nav2_planner/astar_options.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/reference_path.hpp"

namespace {

using orvik_fuzz::awkwardDouble;
using orvik_fuzz::awkwardInt;
using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_nav2_planner::astar2::ReferencePath;

void fillReferencePath(FuzzedDataProvider& input, const nav2_costmap_2d::Costmap2D& costmap,
                       ReferencePath& reference) {
  reference.path.poses.clear();
  const int count = input.ConsumeIntegralInRange<int>(0, 12);
  for (int i = 0; i < count; ++i) {
    reference.path.poses.push_back(orvik_fuzz::awkwardPose(input, costmap));
  }
  reference.cost = awkwardDouble(input, -1.0, 20.0);
  reference.distance = awkwardDouble(input, -1.0, 3.0);
  reference.half_width = awkwardDouble(input, -0.5, 1.0);
}

AstarOptions fuzzedOptions(FuzzedDataProvider& input, ReferencePath* reference) {
  AstarOptions options;
  options.check_spin_direction = input.ConsumeBool();
  options.search_spin_free_point = input.ConsumeBool();
  options.cost_flag = input.ConsumeBool();
  options.start_fuzzy_radius = awkwardDouble(input, -0.5, 1.5);
  options.goal_fuzzy_radius = awkwardDouble(input, -0.5, 1.5);
  options.linear_velocity = awkwardDouble(input, -1.0, 1.5);
  options.angular_velocity = awkwardDouble(input, -2.0, 2.0);
  options.predict_time = awkwardDouble(input, -1.0, 3.0);
  options.goal_tolerance = awkwardDouble(input, -1.0, 1.0);
  options.check_goal_reachable = input.ConsumeBool();
  options.spin_penalty = awkwardInt(input, -100, 100);
  options.use_path_consistency = input.ConsumeBool();
  options.reference_path = input.ConsumeBool() ? reference : nullptr;
  options.danger_level = awkwardInt(input, -2, 4);
  options.priority_preference = input.ConsumeBool();
  options.outside_penalty = awkwardDouble(input, -5.0, 20.0);
  options.boundary_weight = awkwardDouble(input, -5.0, 20.0);
  options.center_weight = awkwardDouble(input, -5.0, 20.0);
  options.center_distance = awkwardDouble(input, -1.0, 1.0);
  options.cost_weight = awkwardDouble(input, -2.0, 5.0);
  options.target_label = awkwardInt(input, -1, 4);
  return options;
}

void runRequest(FuzzedDataProvider& input, AstarPlanner& planner,
                const nav2_costmap_2d::Costmap2D& costmap, ReferencePath& reference) {
  fillReferencePath(input, costmap, reference);
  const AstarOptions options = fuzzedOptions(input, &reference);
  const auto own_start = orvik_fuzz::awkwardPose(input, costmap);
  const auto own_goal = orvik_fuzz::awkwardPose(input, costmap);
  // Now and then the start or the goal is a pose of the reference path itself, which the
  // request trims under it (a replanning robot does this).
  auto poseOrReferencePose =
      [&](const geometry_msgs::msg::PoseStamped& own) -> const geometry_msgs::msg::PoseStamped& {
    if (reference.path.poses.empty() || !input.ConsumeBool()) {
      return own;
    }
    return reference.path
        .poses[input.ConsumeIntegralInRange<size_t>(0, reference.path.poses.size() - 1)];
  };
  const geometry_msgs::msg::PoseStamped& start = poseOrReferencePose(own_start);
  const geometry_msgs::msg::PoseStamped& goal = poseOrReferencePose(own_goal);

  switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0: {
      orvik_nav2_protocol::msg::Path path;
      const bool found = planner.searchPath(start, goal, options, path);
      if (found) {
        ORVIK_FUZZ_CHECK(!path.poses.empty(), "searchPath: true with no poses");
        orvik_fuzz::checkGridPath(path.poses, costmap, "searchPath");
      } else {
        ORVIK_FUZZ_CHECK(path.poses.empty(), "searchPath: false with %zu poses", path.poses.size());
      }
      break;
    }
    case 1: {
      orvik_nav2_protocol::msg::Path path;
      if (planner.searchForwardPath(start, options, path)) {
        orvik_fuzz::checkGridPath(path.poses, costmap, "searchForwardPath");
      }
      break;
    }
    default: {
      orvik_nav2_protocol::msg::MultiPaths paths;
      // A path already in the list must survive whatever the request does.
      paths.paths.emplace_back();
      paths.paths.back().sequence = 7;
      const orvik_nav2_protocol::msg::MultiPaths before = paths;
      if (planner.searchPaths(start, goal, options, paths)) {
        ORVIK_FUZZ_CHECK(paths.paths.size() == 2 || paths.paths.size() == 3,
                         "searchPaths: true with %zu paths appended", paths.paths.size() - 1);
        ORVIK_FUZZ_CHECK(paths.paths.front() == before.paths.front(),
                         "searchPaths: an earlier path was changed");
        for (size_t i = 1; i < paths.paths.size(); ++i) {
          ORVIK_FUZZ_CHECK(!paths.paths[i].poses.empty(), "searchPaths: leg %zu is empty", i);
          orvik_fuzz::checkGridPath(paths.paths[i].poses, costmap, "searchPaths");
        }
      } else {
        ORVIK_FUZZ_CHECK(paths == before, "searchPaths: false but the list changed");
      }
      break;
    }
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
  AstarPlanner planner("fuzz", map);
  ReferencePath reference;
  runRequest(input, planner, costmap, reference);
  if (input.remaining_bytes() > 0) {
    runRequest(input, planner, costmap, reference);
  }
  return 0;
}
