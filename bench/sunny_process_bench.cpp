// SPDX-License-Identifier: Apache-2.0
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
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

// A robot that stands (or creeps) while its pose is recorded: `count` poses jittering by up
// to 2 cm around a point that drifts 0.1 mm per pose, all within half a metre. Every start
// point of every corner lies within 0.5 m of the corner and no stretch of side_length_ ever
// ends, so the plain stretch scans walk the whole path for each start point of each corner.
Path standingPath(size_t count, unsigned int seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> noise(-0.02, 0.02);
  Path path(count);
  for (size_t i = 0; i < count; ++i) {
    const double drift = 0.4 * static_cast<double>(i) / static_cast<double>(count);
    path[i].pose.position.x = drift + noise(rng);
    path[i].pose.position.y = 0.5 * drift + noise(rng);
  }
  return path;
}

void BM_ProcessPathStanding(benchmark::State& state) {
  const Path path = standingPath(static_cast<size_t>(state.range(0)), 42);
  DouglasPeuker analyser(0.01, 0.05, 30.0, 0.2, 1.0);
  for (auto _ : state) {
    analyser.processPath(path);
    benchmark::DoNotOptimize(analyser.line_corners_.data());
  }
  state.counters["key_points"] = static_cast<double>(analyser.key_points_.size());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ProcessPathStanding)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(16000)
    ->Arg(64000)
    ->Unit(benchmark::kMillisecond);

// processPath as it was before the stretch search, with the plain scans of leftMeanDistance
// and rightMeanDistance per corner, for a side-by-side comparison in one run.
void plainProcessPath(DouglasPeuker& analyser, const Path& path) {
  analyser.reset();
  std::vector<Point> points;
  path2PointList(path, points);
  analyser.diluting(points);
  while (!analyser.pending_segments_.empty()) {
    std::vector<Point> segment = std::move(analyser.pending_segments_.back());
    analyser.pending_segments_.pop_back();
    analyser.diluting(segment);
  }
  if (analyser.key_points_.empty()) {
    return;
  }
  std::reverse(analyser.key_points_.begin(), analyser.key_points_.end());
  std::vector<Point> candidates{analyser.key_points_.front()};
  for (const Point& key : analyser.key_points_) {
    if (std::llabs(static_cast<long long>(key.index) - candidates.back().index) > 2) {
      candidates.push_back(key);
    }
  }
  std::vector<Point> scratch;
  for (size_t c = 1; c + 1 < candidates.size(); ++c) {
    Point corner = candidates[c];
    const double left = leftMeanDistance(points, scratch, corner, analyser.side_length_);
    const double right = rightMeanDistance(points, scratch, corner, analyser.side_length_);
    benchmark::DoNotOptimize(left + right);
  }
  analyser.fromPoints2Line(points);
}

void BM_ProcessPathStandingPlainScans(benchmark::State& state) {
  const Path path = standingPath(static_cast<size_t>(state.range(0)), 42);
  DouglasPeuker analyser(0.01, 0.05, 30.0, 0.2, 1.0);
  for (auto _ : state) {
    plainProcessPath(analyser, path);
    benchmark::DoNotOptimize(analyser.key_points_.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
// Cubic: 4000 poses take tens of seconds, so only the small sizes.
BENCHMARK(BM_ProcessPathStandingPlainScans)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
