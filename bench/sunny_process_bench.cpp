#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_planner/sunny_process.hpp"

namespace {

using Path = std::vector<geometry_msgs::msg::PoseStamped>;

// A planned-looking path of `count` poses 0.05 m apart: straight legs of 1 to 5 m joined by
// turns of 20 to 120 degrees either way, with `jitter` metres of lateral noise on each pose
// (0 for clean legs; a few centimetres imitate a grid path).
Path legsPath(size_t count, double jitter, unsigned int seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> leg_length(1.0, 5.0);
  std::uniform_real_distribution<double> turn(20.0, 120.0);
  std::uniform_real_distribution<double> noise(-jitter, jitter);
  std::bernoulli_distribution clockwise(0.5);
  Path path;
  path.reserve(count);
  double x = 0.0;
  double y = 0.0;
  double heading = 0.0;
  while (path.size() < count) {
    const int steps = static_cast<int>(leg_length(rng) / 0.05);
    for (int s = 0; s < steps && path.size() < count; ++s) {
      geometry_msgs::msg::PoseStamped pose;
      const double lateral = jitter > 0.0 ? noise(rng) : 0.0;
      pose.pose.position.x = x - lateral * std::sin(heading);
      pose.pose.position.y = y + lateral * std::cos(heading);
      path.push_back(pose);
      x += 0.05 * std::cos(heading);
      y += 0.05 * std::sin(heading);
    }
    const double degrees = turn(rng);
    heading += (clockwise(rng) ? -degrees : degrees) * M_PI / 180.0;
  }
  return path;
}

void runProcessPath(benchmark::State& state, double jitter) {
  const Path path = legsPath(static_cast<size_t>(state.range(0)), jitter, 42);
  DouglasPeuker analyser(0.1, 0.05, 30.0, 0.2, 1.0);
  for (auto _ : state) {
    analyser.processPath(path);
    benchmark::DoNotOptimize(analyser.line_corners_.data());
  }
  state.counters["key_points"] = static_cast<double>(analyser.key_points_.size());
  state.counters["sunny_corners"] = static_cast<double>(analyser.sunny_corners_.size());
  state.counters["line_corners"] = static_cast<double>(analyser.line_corners_.size());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ProcessPathCleanLegs(benchmark::State& state) {
  runProcessPath(state, 0.0);
}
BENCHMARK(BM_ProcessPathCleanLegs)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ProcessPathNoisyLegs(benchmark::State& state) {
  runProcessPath(state, 0.02);
}
BENCHMARK(BM_ProcessPathNoisyLegs)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
