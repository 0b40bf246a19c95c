// SPDX-License-Identifier: Apache-2.0
// Timing of the A* planner v2: generated maps (open, random obstacles, maze) of 1000 and 4000
// cells a side, a full flood of a 4000 x 4000 map, the shared ROS maps, the Nav2 benchmark
// pairs and the Moving AI scenarios, the optional search terms, and the node table against
// abseil's node_hash_map. Counters: expanded nodes per second, table memory, peak RSS.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <absl/container/node_hash_map.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "orvik_nav2_gridmap/map_loader.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/reference_path.hpp"
#include "support/bench_maps.hpp"

namespace {

using orvik_bench::MapKind;
using orvik_nav2_planner::astar2::AstarNode;
using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using orvik_nav2_planner::astar2::AstarTable;
using GridMapPtr = std::shared_ptr<orvik_nav2_gridmap::GridMapROS>;

double peakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

geometry_msgs::msg::PoseStamped cellPose(const GridMapPtr& map, unsigned int x, unsigned int y) {
  geometry_msgs::msg::PoseStamped pose;
  map->getMultiGridMap()->getCostmap()->mapToWorld(x, y, pose.pose.position.x,
                                                   pose.pose.position.y);
  return pose;
}

geometry_msgs::msg::PoseStamped worldPose(double x, double y) {
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  return pose;
}

// Building the layers of a 4000 x 4000 map takes seconds: each map is built once per process.
const GridMapPtr& generatedMap(MapKind kind, unsigned int side) {
  static std::map<std::pair<int, unsigned int>, GridMapPtr> cache;
  GridMapPtr& slot = cache[{static_cast<int>(kind), side}];
  if (!slot) {
    slot = orvik_bench::toGridMap(orvik_bench::generatedCostmap(kind, side));
  }
  return slot;
}

struct Query {
  geometry_msgs::msg::PoseStamped start;
  geometry_msgs::msg::PoseStamped goal;
};

// Runs the queries round-robin, one per iteration, and reports expansion rate and memory.
void runQueries(benchmark::State& state, const GridMapPtr& map, const std::vector<Query>& queries,
                const AstarOptions& options) {
  if (queries.empty()) {
    state.SkipWithError("no queries");
    return;
  }
  AstarPlanner planner("bench", map);
  std::size_t next = 0;
  double expanded = 0.0;
  double found = 0.0;
  std::size_t table_bytes = 0;
  for (auto _ : state) {
    const Query& q = queries[next];
    next = (next + 1) % queries.size();
    orvik_nav2_protocol::msg::Path path;
    found += planner.searchPath(q.start, q.goal, options, path) ? 1.0 : 0.0;
    expanded += static_cast<double>(planner.expandedCount());
    table_bytes = std::max(table_bytes, planner.getTable()->memoryBytes());
    benchmark::DoNotOptimize(path.poses.data());
  }
  state.counters["expanded_per_s"] = benchmark::Counter(expanded, benchmark::Counter::kIsRate);
  state.counters["expanded_per_query"] =
      benchmark::Counter(expanded, benchmark::Counter::kAvgIterations);
  state.counters["found_ratio"] = benchmark::Counter(found, benchmark::Counter::kAvgIterations);
  state.counters["table_MiB"] = static_cast<double>(table_bytes) / (1024.0 * 1024.0);
  state.counters["peak_rss_MiB"] = peakRssMiB();
}

// Corner to corner on a generated map: args = kind, side.
void BM_GeneratedCornerToCorner(benchmark::State& state) {
  const auto kind = static_cast<MapKind>(state.range(0));
  const auto side = static_cast<unsigned int>(state.range(1));
  const GridMapPtr& map = generatedMap(kind, side);
  state.SetLabel(std::string(orvik_bench::mapKindName(kind)) + " " + std::to_string(side));
  // The maze generator keeps (0,0) and the nearest corridor cell to the far corner open.
  const unsigned int far = kind == MapKind::kMaze ? (side / 4 - 1) * 4 : side - 1;
  runQueries(state, map, {{cellPose(map, 0, 0), cellPose(map, far, far)}}, AstarOptions());
}
BENCHMARK(BM_GeneratedCornerToCorner)
    ->ArgsProduct({{static_cast<int>(MapKind::kOpen), static_cast<int>(MapKind::kRandom),
                    static_cast<int>(MapKind::kMaze)},
                   {1000, 4000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Goal walled in: the search floods every free cell of an open map (arg: side in cells). This
// is the open-map expansion rate, since a reachable goal on an open map expands only the path.
void BM_FullFlood(benchmark::State& state) {
  const auto side = static_cast<unsigned int>(state.range(0));
  static std::map<unsigned int, GridMapPtr> maps;
  GridMapPtr& map = maps[side];
  if (!map) {
    nav2_costmap_2d::Costmap2D costmap = orvik_bench::openCostmap(side);
    for (unsigned int y = side - 5; y < side; ++y) {
      for (unsigned int x = side - 5; x < side; ++x) {
        const bool ring = x == side - 5 || y == side - 5 || x == side - 1 || y == side - 1;
        costmap.setCost(x, y, ring ? nav2_costmap_2d::LETHAL_OBSTACLE : 0);
      }
    }
    map = orvik_bench::toGridMap(costmap);
  }
  runQueries(state, map, {{cellPose(map, 0, 0), cellPose(map, side - 3, side - 3)}},
             AstarOptions());
}
// Repeated, with the minimum beside mean and median: on a shared virtual machine the steal
// time of a neighbour can stretch a single run by a third.
BENCHMARK(BM_FullFlood)
    ->Arg(1000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->Repetitions(3)
    ->DisplayAggregatesOnly(true)
    ->ComputeStatistics("min", [](const std::vector<double>& values) {
      return *std::min_element(values.begin(), values.end());
    });

// The optional terms on a 1000 x 1000 random map: arg 0 plain, 1 spin rating, 2 path
// consistency with a reference and a velocity, 3 passage preference (labelled band).
void BM_OptionCost(benchmark::State& state) {
  const unsigned int side = 1000;
  static GridMapPtr map = [] {
    std::vector<int> labels(static_cast<std::size_t>(side) * side, 0);
    for (unsigned int y = 480; y < 520; ++y) {
      for (unsigned int x = 0; x < side; ++x) {
        labels[static_cast<std::size_t>(y) * side + x] = 1 + static_cast<int>(x / 500);
      }
    }
    auto costmap = orvik_bench::randomObstacleCostmap(side, 0.1);
    for (unsigned int y = 0; y < 3; ++y) {
      for (unsigned int x = 0; x < 3; ++x) {
        costmap.setCost(x, 500 + y, 0);
        costmap.setCost(side - 1 - x, 500 + y, 0);
      }
    }
    orvik_nav2_gridmap::GridMapConfig config = orvik_bench::pointRobotConfig();
    config.robot_radius = 0.1;
    return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, config, labels);
  }();
  static orvik_nav2_planner::astar2::ReferencePath reference;
  AstarOptions options;
  const char* labels[] = {"plain", "check_spin_direction", "use_path_consistency",
                          "priority_preference"};
  state.SetLabel(labels[state.range(0)]);
  switch (state.range(0)) {
    case 1:
      options.check_spin_direction = true;
      options.spin_penalty = 20;
      break;
    case 2:
      options.use_path_consistency = true;
      options.linear_velocity = 0.5;
      options.predict_time = 2.0;
      options.reference_path = &reference;
      break;
    case 3:
      options.priority_preference = true;
      options.outside_penalty = 0.5;
      options.boundary_weight = 0.2;
      options.center_weight = 0.1;
      break;
    default:
      break;
  }
  AstarPlanner planner("options", map);
  const auto start = cellPose(map, 0, 501);
  const auto goal = cellPose(map, side - 1, 501);
  double expanded = 0.0;
  for (auto _ : state) {
    // The constraint trims the caller's reference in place, so it is refilled each time.
    state.PauseTiming();
    reference.path.poses.clear();
    reference.cost = 2.0;
    reference.distance = 30.0;
    for (unsigned int x = 0; x < side; x += 4) {
      reference.path.poses.push_back(cellPose(map, x, 400 + x / 10));
    }
    state.ResumeTiming();
    orvik_nav2_protocol::msg::Path path;
    benchmark::DoNotOptimize(planner.searchPath(start, goal, options, path));
    expanded += static_cast<double>(planner.expandedCount());
  }
  state.counters["expanded_per_s"] = benchmark::Counter(expanded, benchmark::Counter::kIsRate);
  state.counters["expanded_per_query"] =
      benchmark::Counter(expanded, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_OptionCost)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(5);

// Random free-cell queries on the shared ROS maps.
void BM_RosMap(benchmark::State& state, const std::string& relative) {
  const std::string dir = ORVIK_SHARED_MAPS_DIR;
  GridMapPtr map;
  try {
    map = orvik_nav2_gridmap::loadRosMap(dir + "/" + relative, orvik_bench::pointRobotConfig());
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  const auto& grid = *map->getMultiGridMap();
  const auto costmap = grid.getCostmap();
  std::vector<std::pair<unsigned int, unsigned int>> free_cells;
  for (unsigned int y = 0; y < costmap->getSizeInCellsY(); ++y) {
    for (unsigned int x = 0; x < costmap->getSizeInCellsX(); ++x) {
      if (!grid.inDanger(x, y, 0)) {
        free_cells.emplace_back(x, y);
      }
    }
  }
  std::mt19937 rng(17);
  std::vector<Query> queries;
  for (int i = 0; i < 20 && !free_cells.empty(); ++i) {
    const auto s = free_cells[rng() % free_cells.size()];
    const auto g = free_cells[rng() % free_cells.size()];
    queries.push_back({cellPose(map, s.first, s.second), cellPose(map, g.first, g.second)});
  }
  runQueries(state, map, queries, AstarOptions());
}
BENCHMARK_CAPTURE(BM_RosMap, willow_005, std::string("willow_garage/willow-full-0.05.yaml"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RosMap, turtlebot3, std::string("turtlebot3_world/turtlebot3_world.yaml"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RosMap, planner_test_map, std::string("nav2_planner_test_map/map.yaml"))
    ->Unit(benchmark::kMillisecond);

// The 100 start/goal pairs of Nav2's planner benchmark on its 2000 x 2000 fields.
void BM_Nav2BenchmarkPairs(benchmark::State& state, const std::string& stem) {
  const std::string dir = std::string(ORVIK_SHARED_MAPS_DIR) + "/nav2_benchmark/";
  GridMapPtr map;
  try {
    map = orvik_nav2_gridmap::loadRosMap(dir + stem + ".yaml", orvik_bench::pointRobotConfig());
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  std::ifstream in(dir + stem + ".pairs.csv");
  std::string line;
  std::getline(in, line);
  std::vector<Query> queries;
  while (std::getline(in, line)) {
    double v[6];
    if (std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf,%lf,%lf", &v[0], &v[1], &v[2], &v[3], &v[4],
                    &v[5]) == 6) {
      queries.push_back({worldPose(v[0], v[1]), worldPose(v[3], v[4])});
    }
  }
  runQueries(state, map, queries, AstarOptions());
}
BENCHMARK_CAPTURE(BM_Nav2BenchmarkPairs, field_10, std::string("100by100_10"))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(100);

// Every 50th query of a Moving AI scenario, on its map at 1 m per cell.
void BM_MovingAi(benchmark::State& state, const std::string& relative) {
  const std::string dir = std::string(ORVIK_SHARED_MAPS_DIR) + "/movingai/";
  GridMapPtr map;
  std::vector<orvik_bench::ScenarioQuery> scenario;
  try {
    map = orvik_nav2_gridmap::loadMovingAiMap(dir + relative, orvik_bench::pointRobotConfig());
    scenario = orvik_bench::sampleQueries(orvik_bench::loadScenario(dir + relative + ".scen"), 50);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  const auto costmap = map->getMultiGridMap()->getCostmap();
  std::vector<Query> queries;
  for (const auto& q : scenario) {
    const auto s = orvik_bench::movingAiCellCentre(*costmap, q.start_x, q.start_y);
    const auto g = orvik_bench::movingAiCellCentre(*costmap, q.goal_x, q.goal_y);
    queries.push_back({worldPose(s.first, s.second), worldPose(g.first, g.second)});
  }
  state.SetLabel(std::to_string(queries.size()) + " queries");
  runQueries(state, map, queries, AstarOptions());
}
BENCHMARK_CAPTURE(BM_MovingAi, berlin, std::string("cities/Berlin_0_256.map"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MovingAi, newyork, std::string("cities/NewYork_1_1024.map"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MovingAi, brc202d, std::string("dao/brc202d.map"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MovingAi, maze512_2, std::string("mazes/maze512-2-0.map"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MovingAi, rooms_8, std::string("rooms/8room_000.map"))
    ->Unit(benchmark::kMillisecond);

// Node table choice: find-or-create of every cell of a 2000 x 2000 map, row by row, into the
// tiled table versus abseil's pointer-stable node_hash_map reserved as the search's would be.
void BM_TableTiled(benchmark::State& state) {
  const GridMapPtr& map = generatedMap(MapKind::kOpen, 2000);
  AstarTable table(map);
  for (auto _ : state) {
    table.clear();
    for (int y = 0; y < 2000; ++y) {
      for (int x = 0; x < 2000; ++x) {
        benchmark::DoNotOptimize(table.findOrCreate(x, y));
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * 2000 * 2000);
}
BENCHMARK(BM_TableTiled)->Unit(benchmark::kMillisecond);

void BM_TableAbslNodeHashMap(benchmark::State& state) {
  for (auto _ : state) {
    absl::node_hash_map<int32_t, AstarNode> nodes;
    nodes.reserve(100000);
    for (int y = 0; y < 2000; ++y) {
      for (int x = 0; x < 2000; ++x) {
        const int32_t index = x + y * 2000;
        auto [it, inserted] = nodes.try_emplace(index);
        if (inserted) {
          it->second.index = index;
          it->second.x = x;
          it->second.y = y;
        }
        benchmark::DoNotOptimize(&it->second);
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * 2000 * 2000);
}
BENCHMARK(BM_TableAbslNodeHashMap)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
