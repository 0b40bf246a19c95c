// SPDX-License-Identifier: Apache-2.0
// Time per request of AstarPlanner::searchPath over the 100 start/goal pairs of Nav2's planner
// benchmark on its two 2000 x 2000 fields, with the costmap of Nav2's default bringup. Prints
// one line per map: median and 95th percentile of the time per request (thread CPU time, and
// wall time beside it) and expansions per CPU second. Each request is run once per round and
// its time is the median over the rounds.
//
// The program uses only the planner's public interface, so the same file builds against an
// older commit: scripts/bench_side_by_side.py runs two such builds interleaved and compares.
//
// Usage: astar_nav2_pairs_bench [--rounds N] [--maps DIR]
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "orvik_nav2_planner/astar_planner.hpp"
#include "support/nav2_benchmark_pairs.hpp"

namespace {

double threadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) * 1e-6;
}

double wallMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// Nearest-rank percentile.
double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  std::size_t rank = static_cast<std::size_t>(std::ceil(p / 100.0 * values.size()));
  rank = std::max<std::size_t>(rank, 1);
  return values[rank - 1];
}

struct RequestTimes {
  std::vector<double> cpu_ms;
  std::vector<double> wall_ms;
};

}  // namespace

int main(int argc, char** argv) {
  // The planner reports every request over 100 ms at info level; keep the output to the table.
  setenv("SPDLOG_LEVEL", "error", 0);
  int rounds = 3;
  std::string dir = std::string(ORVIK_SHARED_MAPS_DIR) + "/nav2_benchmark";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--maps" && i + 1 < argc) {
      dir = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--rounds N] [--maps DIR]\n", argv[0]);
      return 2;
    }
  }

  const auto options = orvik_bench::nav2BenchmarkOptions();
  for (const std::string& stem : orvik_bench::nav2BenchmarkStems()) {
    std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map;
    try {
      map = orvik_nav2_gridmap::loadRosMap(dir + "/" + stem + ".yaml",
                                           orvik_bench::nav2DefaultBringupConfig());
    } catch (const std::exception& e) {
      std::printf("map=%s skipped: %s\n", stem.c_str(), e.what());
      continue;
    }
    const auto pairs = orvik_bench::loadPosePairs(dir + "/" + stem + ".pairs.csv");
    if (pairs.empty()) {
      std::printf("map=%s skipped: no pairs\n", stem.c_str());
      continue;
    }
    orvik_nav2_planner::astar2::AstarPlanner planner("bench", map);
    std::vector<RequestTimes> times(pairs.size());
    std::vector<std::size_t> expanded(pairs.size(), 0);
    std::size_t found = 0;
    for (int round = 0; round < rounds; ++round) {
      for (std::size_t i = 0; i < pairs.size(); ++i) {
        orvik_nav2_protocol::msg::Path path;
        const double cpu0 = threadCpuMs();
        const double wall0 = wallMs();
        const bool ok = planner.searchPath(pairs[i].start, pairs[i].goal, options, path);
        const double wall1 = wallMs();
        const double cpu1 = threadCpuMs();
        times[i].cpu_ms.push_back(cpu1 - cpu0);
        times[i].wall_ms.push_back(wall1 - wall0);
        expanded[i] = planner.expandedCount();
        if (round == 0 && ok) {
          ++found;
        }
      }
    }
    std::vector<double> cpu;
    std::vector<double> wall;
    double total_cpu_ms = 0.0;
    double total_expanded = 0.0;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      cpu.push_back(median(times[i].cpu_ms));
      wall.push_back(median(times[i].wall_ms));
      total_cpu_ms += cpu.back();
      total_expanded += static_cast<double>(expanded[i]);
    }
    std::printf(
        "map=%s requests=%zu found=%zu rounds=%d cpu_median_ms=%.3f cpu_p95_ms=%.3f "
        "wall_median_ms=%.3f wall_p95_ms=%.3f expanded=%.0f expansions_per_cpu_s=%.0f\n",
        stem.c_str(), pairs.size(), found, rounds, median(cpu), percentile(cpu, 95.0), median(wall),
        percentile(wall, 95.0), total_expanded, total_expanded / (total_cpu_ms / 1000.0));
    std::fflush(stdout);
  }
  return 0;
}
