// SPDX-License-Identifier: Apache-2.0
// Grid map construction and collision query rates on a real building map.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "orvik_nav2_gridmap/collision_check.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"
#include "orvik_nav2_gridmap/multi_grid_map.hpp"
#include "orvik_nav2_gridmap/spin_collision.hpp"

namespace {

using orvik_nav2_gridmap::GridMapConfig;

std::string willowYaml() {
  return std::string(ORVIK_SHARED_MAPS_DIR) + "/willow_garage/willow-full-0.05.yaml";
}

// Loaded once: the benchmarks time the layers, not the PNG decoder.
const nav2_costmap_2d::Costmap2D* willowCostmap() {
  static std::unique_ptr<nav2_costmap_2d::Costmap2D> costmap;
  if (!costmap && std::filesystem::exists(willowYaml())) {
    costmap =
        std::make_unique<nav2_costmap_2d::Costmap2D>(orvik_nav2_gridmap::costmapFromOccupancyGrid(
            orvik_nav2_gridmap::loadOccupancyGrid(willowYaml())));
  }
  return costmap.get();
}

GridMapConfig robotConfig(bool inflation) {
  GridMapConfig config;
  geometry_msgs::msg::Point p;
  for (auto [x, y] : {std::pair{0.3, 0.2}, {-0.2, 0.2}, {-0.2, -0.2}, {0.3, -0.2}}) {
    p.x = x;
    p.y = y;
    config.footprint.push_back(p);
  }
  config.danger_clearances = {0.4, 0.25, 0.0};
  config.inflation.enabled = inflation;
  config.inflation.inflation_radius = 0.55;
  return config;
}

std::shared_ptr<orvik_nav2_gridmap::GridMapROS> willowMap() {
  static std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map;
  if (!map && willowCostmap() != nullptr) {
    map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(*willowCostmap(), robotConfig(false));
  }
  return map;
}

// Free cells whose obstacle distance lies in [min_m, max_m): near walls the footprint must be
// rasterised, far from them the distance field answers alone.
std::vector<geometry_msgs::msg::Pose2D> posesAt(double min_m, double max_m, std::size_t count) {
  std::vector<geometry_msgs::msg::Pose2D> poses;
  auto map = willowMap();
  const auto grid = map->getMultiGridMap();
  const auto costmap = grid->getCostmap();
  std::mt19937 rng(5);
  std::uniform_int_distribution<unsigned int> cx(0, costmap->getSizeInCellsX() - 1);
  std::uniform_int_distribution<unsigned int> cy(0, costmap->getSizeInCellsY() - 1);
  std::uniform_real_distribution<double> angle(-M_PI, M_PI);
  for (int tries = 0; poses.size() < count && tries < 10000000; ++tries) {
    const unsigned int x = cx(rng), y = cy(rng);
    const double d = grid->getDistance(x, y);
    if (grid->isObstacle(x, y) || d < min_m || d >= max_m) {
      continue;
    }
    geometry_msgs::msg::Pose2D pose;
    costmap->mapToWorld(x, y, pose.x, pose.y);
    pose.theta = angle(rng);
    poses.push_back(pose);
  }
  return poses;
}

void BM_BuildWillowLayers(benchmark::State& state) {
  const auto* costmap = willowCostmap();
  if (costmap == nullptr) {
    state.SkipWithError("shared maps folder absent");
    return;
  }
  const GridMapConfig config = robotConfig(state.range(0) != 0);
  for (auto _ : state) {
    orvik_nav2_gridmap::MultiGridMap map(*costmap, config);
    benchmark::DoNotOptimize(map.getDistance(0, 0));
  }
  state.counters["cells"] =
      static_cast<double>(costmap->getSizeInCellsX()) * costmap->getSizeInCellsY();
}
BENCHMARK(BM_BuildWillowLayers)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"inflation"})
    ->Unit(benchmark::kMillisecond);

// A passage label layer of noise: every cell carries a random label of `labels` (0 = none),
// the worst case for anything that works label by label over the map.
void BM_BuildNoisePassageLabels(benchmark::State& state) {
  const unsigned int side = static_cast<unsigned int>(state.range(0));
  const int label_count = static_cast<int>(state.range(1));
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> label(0, label_count);
  std::vector<int> labels(static_cast<std::size_t>(side) * side);
  for (int& value : labels) {
    value = label(rng);
  }
  const nav2_costmap_2d::Costmap2D costmap(side, side, 0.05, 0.0, 0.0, 0);
  for (auto _ : state) {
    orvik_nav2_gridmap::MultiGridMap map(costmap, GridMapConfig{}, labels);
    benchmark::DoNotOptimize(map.getPriorityPassageBoundaryDist(0, 0));
  }
  state.counters["cells"] = static_cast<double>(side) * side;
}
BENCHMARK(BM_BuildNoisePassageLabels)
    ->Args({100, 255})
    ->Args({500, 255})
    ->Args({500, 65535})
    ->ArgNames({"side", "labels"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_FootprintCheck(benchmark::State& state) {
  if (!willowMap()) {
    state.SkipWithError("shared maps folder absent");
    return;
  }
  // Arg 0: poses near walls (rasterised); arg 1: open space (distance-field shortcut).
  const auto poses = state.range(0) == 0 ? posesAt(0.05, 0.5, 4096) : posesAt(1.0, 1e9, 4096);
  Collision::CollisionCheck checker(willowMap());
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(checker.isCollisionFreePose(poses[i++ & 4095], true));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FootprintCheck)->Arg(0)->Arg(1)->ArgNames({"open"});

void BM_SpinFreeAngle(benchmark::State& state) {
  if (!willowMap()) {
    state.SkipWithError("shared maps folder absent");
    return;
  }
  const auto poses = posesAt(0.25, 0.8, 512);
  auto checker = std::make_shared<Collision::CollisionCheck>(willowMap());
  Collision::SpinCollision spin(checker);
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& p = poses[i++ & 511];
    geometry_msgs::msg::PoseStamped pose;
    pose.pose.position.x = p.x;
    pose.pose.position.y = p.y;
    pose.pose.orientation.z = std::sin(p.theta / 2);
    pose.pose.orientation.w = std::cos(p.theta / 2);
    double lo = 0, hi = 0;
    benchmark::DoNotOptimize(spin.getCollisionFreeAngle(pose, lo, hi));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SpinFreeAngle);

void BM_DangerQuery(benchmark::State& state) {
  if (!willowMap()) {
    state.SkipWithError("shared maps folder absent");
    return;
  }
  const auto grid = willowMap()->getMultiGridMap();
  const unsigned int sx = grid->getCostmap()->getSizeInCellsX();
  const unsigned int sy = grid->getCostmap()->getSizeInCellsY();
  unsigned int x = 0, y = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(grid->inDanger(x, y, 1));
    if (++x == sx) {
      x = 0;
      y = (y + 1) % sy;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DangerQuery);

}  // namespace

BENCHMARK_MAIN();
