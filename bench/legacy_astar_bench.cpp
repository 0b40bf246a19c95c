// SPDX-License-Identifier: Apache-2.0
// The legacy grid A* planner on the generated maps and Moving AI queries that the A* planner
// v2 is timed on, with the v2 planner run on the very same queries beside it, so that the two
// can be compared run for run. Also the two inner costs of the legacy planner that grow with
// their inputs: the corridor of a path constraint and the fuzzy point window.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "orvik_nav2_gridmap/map_loader.hpp"
#include "orvik_nav2_planner/astar_options.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "orvik_nav2_planner/deprecated/fuzzy_point.hpp"
#include "orvik_nav2_protocol/msg/path.hpp"
#include "support/bench_maps.hpp"
#include "support/legacy_bench_queries.hpp"

namespace {

using orvik_bench::MapKind;
using orvik_nav2_planner::astar::AstarPlanner;
using orvik_nav2_planner::astar::FuzzyPoint;
using orvik_nav2_planner::astar::PathConstraint;

void runLegacyGenerated(benchmark::State& state, MapKind kind) {
  const auto& query = legacy_bench::generatedQuery(kind, static_cast<unsigned int>(state.range(0)));
  AstarPlanner planner;
  std::size_t poses = 0;
  for (auto _ : state) {
    nav_msgs::msg::Path path;
    if (!planner.searchv2(query.map, query.start, query.goal, path, false, 0.0, 0)) {
      state.SkipWithError("legacy planner found no path");
      return;
    }
    poses = path.poses.size();
    benchmark::DoNotOptimize(path.poses.data());
  }
  state.counters["path_poses"] = static_cast<double>(poses);
  state.counters["expanded"] = static_cast<double>(planner.closedNodes().size());
}

void runLegacyScenario(benchmark::State& state, const std::string& relative_map) {
  const auto* set = legacy_bench::scenarioSet(relative_map);
  if (set == nullptr) {
    state.SkipWithError("Moving AI map folder not available");
    return;
  }
  AstarPlanner planner;
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (const auto& query : set->queries) {
      nav_msgs::msg::Path path;
      found += planner.searchv2(set->map, query.first, query.second, path, false, 0.0, 0) ? 1 : 0;
      benchmark::DoNotOptimize(path.poses.data());
    }
  }
  state.counters["queries"] = static_cast<double>(set->queries.size());
  state.counters["found"] = static_cast<double>(found);
}

// The A* planner v2 with default options (danger level 0, no cost flag, no fuzzy radius, no
// spin or passage terms): the same request as the legacy call above.
void runV2Generated(benchmark::State& state, MapKind kind) {
  const auto& query = legacy_bench::generatedQuery(kind, static_cast<unsigned int>(state.range(0)));
  orvik_nav2_planner::astar2::AstarPlanner planner("bench", query.map);
  const orvik_nav2_planner::astar2::AstarOptions options;
  std::size_t poses = 0;
  for (auto _ : state) {
    orvik_nav2_protocol::msg::Path path;
    if (!planner.searchPath(query.start, query.goal, options, path)) {
      state.SkipWithError("A* planner v2 found no path");
      return;
    }
    poses = path.poses.size();
    benchmark::DoNotOptimize(path.poses.data());
  }
  state.counters["path_poses"] = static_cast<double>(poses);
}

void runV2Scenario(benchmark::State& state, const std::string& relative_map) {
  const auto* set = legacy_bench::scenarioSet(relative_map);
  if (set == nullptr) {
    state.SkipWithError("Moving AI map folder not available");
    return;
  }
  orvik_nav2_planner::astar2::AstarPlanner planner("bench", set->map);
  const orvik_nav2_planner::astar2::AstarOptions options;
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (const auto& query : set->queries) {
      orvik_nav2_protocol::msg::Path path;
      found += planner.searchPath(query.first, query.second, options, path) ? 1 : 0;
      benchmark::DoNotOptimize(path.poses.data());
    }
  }
  state.counters["queries"] = static_cast<double>(set->queries.size());
  state.counters["found"] = static_cast<double>(found);
}

void BM_LegacyOpen(benchmark::State& state) {
  runLegacyGenerated(state, MapKind::kOpen);
}
void BM_LegacyRandom(benchmark::State& state) {
  runLegacyGenerated(state, MapKind::kRandom);
}
void BM_LegacyMaze(benchmark::State& state) {
  runLegacyGenerated(state, MapKind::kMaze);
}
void BM_AstarV2Open(benchmark::State& state) {
  runV2Generated(state, MapKind::kOpen);
}
void BM_AstarV2Random(benchmark::State& state) {
  runV2Generated(state, MapKind::kRandom);
}
void BM_AstarV2Maze(benchmark::State& state) {
  runV2Generated(state, MapKind::kMaze);
}

// A 4000 x 4000 maze sends either planner through some eight million cells; with one shared
// node per generated neighbour the legacy planner needs several GB for it, so mazes are timed
// at 1000 only.
// Each legacy benchmark is followed by the v2 planner on the same query.
BENCHMARK(BM_LegacyOpen)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AstarV2Open)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LegacyRandom)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AstarV2Random)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LegacyMaze)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AstarV2Maze)->Arg(1000)->Unit(benchmark::kMillisecond);

// The Moving AI maps and queries of the v2 planner's benchmark; one iteration runs the whole
// sample, so each pair of lines compares the same requests. The legacy side takes seconds on
// the larger maps, so it runs once.
BENCHMARK_CAPTURE(runLegacyScenario, berlin, std::string("cities/Berlin_0_256.map"))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(runV2Scenario, berlin, std::string("cities/Berlin_0_256.map"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runLegacyScenario, newyork, std::string("cities/NewYork_1_1024.map"))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(runV2Scenario, newyork, std::string("cities/NewYork_1_1024.map"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runLegacyScenario, brc202d, std::string("dao/brc202d.map"))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(runV2Scenario, brc202d, std::string("dao/brc202d.map"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runLegacyScenario, maze512_2, std::string("mazes/maze512-2-0.map"))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(runV2Scenario, maze512_2, std::string("mazes/maze512-2-0.map"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runLegacyScenario, rooms_8, std::string("rooms/8room_000.map"))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(runV2Scenario, rooms_8, std::string("rooms/8room_000.map"))
    ->Unit(benchmark::kMillisecond);

// Corridor of a constraint reaching `arg` metres x 10 along a reference path with a pose every
// half cell: blocks of `arg` cells at 40 x distance poses. At 200 that is 800 blocks of 200 x
// 200 cells, 32 million set insertions if marked cell by cell; the difference grid keeps it
// to one pass over the million cells of the map.
void BM_LegacySetPathConstraint(benchmark::State& state) {
  const unsigned int side_cells = 1000;
  const auto map = orvik_bench::toGridMap(orvik_bench::openCostmap(side_cells));
  const double resolution = 0.05;
  PathConstraint constraint;
  constraint.cost = 2.0;
  constraint.distance = static_cast<double>(state.range(0)) * resolution * 2.0;
  for (int i = 0; i < 2000; ++i) {
    geometry_msgs::msg::PoseStamped pose;
    pose.pose.position.x = (100.0 + 0.4 * i) * resolution;
    pose.pose.position.y = (100.0 + 0.3 * i) * resolution;
    constraint.path.poses.push_back(pose);
  }
  AstarPlanner planner;
  for (auto _ : state) {
    planner.setPathConstraint(constraint.path.poses.front(), constraint, map);
    benchmark::DoNotOptimize(planner.constraintCells().size());
  }
  state.counters["corridor_cells"] = static_cast<double>(planner.constraintCells().size());
}
BENCHMARK(BM_LegacySetPathConstraint)->Arg(10)->Arg(40)->Arg(200)->Unit(benchmark::kMillisecond);

// Fuzzy point window: a blocked pose in the middle of a large wall block, radius in cells.
void BM_LegacyFuzzyPoint(benchmark::State& state) {
  nav2_costmap_2d::Costmap2D costmap = orvik_bench::openCostmap(1000);
  for (unsigned int y = 300; y < 700; ++y) {
    for (unsigned int x = 300; x < 700; ++x) {
      costmap.setCost(x, y, nav2_costmap_2d::LETHAL_OBSTACLE);
    }
  }
  const auto map = orvik_bench::toGridMap(costmap);
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = 500.5 * 0.05;
  pose.pose.position.y = 500.5 * 0.05;
  const double radius = static_cast<double>(state.range(0)) * 0.05 + 0.01;
  for (auto _ : state) {
    geometry_msgs::msg::PoseStamped out;
    benchmark::DoNotOptimize(FuzzyPoint::fuzzyPoint(pose, map, out, 0, radius));
  }
}
BENCHMARK(BM_LegacyFuzzyPoint)->Arg(10)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
