// SPDX-License-Identifier: Apache-2.0
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_tools/communicator_engine.hpp"
#include "support/bench_maps.hpp"

// Soak of the process-wide telemetry: a robot that asks for a turn-around point again and
// again, as it does for weeks in service. Every forward search in this corridor ends on a cell
// between 0.6 and 0.8 m from the walls, which is checked and published as a turn-around pose.
// The counters show what the communicator keeps after all requests: it must not grow with them.

namespace {

// Resident set size in KiB, from /proc/self/statm (0 where unreadable).
double residentKib() {
  std::FILE* file = std::fopen("/proc/self/statm", "r");
  if (file == nullptr) {
    return 0.0;
  }
  long total = 0;
  long resident = 0;
  const int read = std::fscanf(file, "%ld %ld", &total, &resident);
  std::fclose(file);
  return read == 2 ? static_cast<double>(resident) * 4.0 : 0.0;
}

// A 1.4 m wide corridor (28 cells at 0.05 m) between two walls, 4 m long.
std::shared_ptr<orvik_nav2_gridmap::GridMapROS> corridorMap() {
  nav2_costmap_2d::Costmap2D costmap = orvik_bench::openCostmap(80);
  for (unsigned int x = 0; x < 80; ++x) {
    for (unsigned int y = 0; y < 80; ++y) {
      if (y < 20 || y > 49) {
        costmap.setCost(x, y, nav2_costmap_2d::LETHAL_OBSTACLE);
      }
    }
  }
  orvik_nav2_gridmap::GridMapConfig config;
  config.robot_radius = 0.1;
  return orvik_bench::toGridMap(costmap, config);
}

void BM_TelemetrySoakForwardSearches(benchmark::State& state) {
  const auto map = corridorMap();
  orvik_nav2_planner::astar2::AstarPlanner planner("soak", map);
  const auto trace = orvik_communicator::CommunicatorEngine::GetInstance()->getMicroUnitTrace();
  trace->clear();
  geometry_msgs::msg::PoseStamped start;
  start.pose.position.x = 1.025;
  start.pose.position.y = 1.125;  // cell (20, 22), 0.15 m above the lower wall
  start.pose.orientation.w = 1.0;
  const orvik_nav2_planner::astar2::AstarOptions options;
  const double resident_before = residentKib();
  int found = 0;
  for (auto _ : state) {
    orvik_nav2_protocol::msg::Path path;
    found += planner.searchForwardPath(start, options, path) ? 1 : 0;
    benchmark::DoNotOptimize(path.poses.data());
  }
  state.counters["requests_found"] = found;
  state.counters["turn_arounds_published"] = static_cast<double>(trace->dirPoseCount());
  state.counters["turn_arounds_kept"] = static_cast<double>(trace->dirPoses().size());
  state.counters["rss_growth_kib"] = residentKib() - resident_before;
}
// 10,000 requests as one soak; more show the same bound.
BENCHMARK(BM_TelemetrySoakForwardSearches)->Iterations(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TelemetrySoakForwardSearches)->Iterations(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
