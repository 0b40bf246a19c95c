// SPDX-License-Identifier: Apache-2.0
// Timing of the gradient path smoother on a 1,000-point path.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "orvik_nav2_planner/path_smoother.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"
#include "support/bench_maps.hpp"

namespace {

constexpr double kResolution = 0.05;
constexpr unsigned int kWidth = 1000;  // 50 m
constexpr unsigned int kHeight = 200;  // 10 m

/// A 50 m x 10 m corridor with walls at y = 3 m and y = 7 m, so that the peaks of the path come
/// within reach of the obstacle term.
std::shared_ptr<orvik_nav2_gridmap::GridMapROS> corridorMap() {
  nav2_costmap_2d::Costmap2D costmap(kWidth, kHeight, kResolution, 0.0, 0.0,
                                     nav2_costmap_2d::FREE_SPACE);
  for (unsigned int x = 0; x < kWidth; ++x) {
    costmap.setCost(x, 60, nav2_costmap_2d::LETHAL_OBSTACLE);
    costmap.setCost(x, 140, nav2_costmap_2d::LETHAL_OBSTACLE);
  }
  return orvik_bench::toGridMap(costmap);
}

/// A meandering path of `points` poses 5 cm apart, so that it resamples to as many points.
nav_msgs::msg::Path meander(int points) {
  nav_msgs::msg::Path path;
  path.header.frame_id = "map";
  double x = 1.0;
  double y = 5.0;
  for (int k = 0; k < points; ++k) {
    geometry_msgs::msg::PoseStamped pose;
    pose.pose.position.x = x;
    pose.pose.position.y = y;
    pose.pose.orientation.w = 1.0;
    path.poses.push_back(pose);
    const double heading = 0.9 * std::sin(k / 40.0);
    x += kResolution * std::cos(heading);
    y += kResolution * std::sin(heading);
  }
  return path;
}

struct Fixture {
  explicit Fixture(int iterations)
      : node(std::make_shared<rclcpp_lifecycle::LifecycleNode>(
            "path_smoother_bench", rclcpp::NodeOptions().append_parameter_override(
                                       "gradient_smoother.max_iterations", iterations))),
        smoother(node, corridorMap()) {
    smoother.setOriginalPath(meander(1000));
    geometry_msgs::msg::PoseStamped robot;
    robot.pose.position.x = 1.0;
    robot.pose.position.y = 5.0;
    robot.pose.orientation.w = 1.0;
    geometry_msgs::msg::Twist velocity;
    velocity.linear.x = 0.5;
    smoother.setCurrentData(robot, velocity);
  }
  rclcpp_lifecycle::LifecycleNode::SharedPtr node;
  PathSmoother smoother;
};

// smoothPath starts again from the resampled path on every call, so each iteration is a full
// run of max_iterations sweeps.
void BM_SmoothPath1000(benchmark::State& state) {
  Fixture fixture(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    fixture.smoother.smoothPath();
    benchmark::DoNotOptimize(fixture.smoother.getSmoothedPath().data());
  }
  state.counters["points"] = static_cast<double>(fixture.smoother.getSmoothedPath().size());
  state.counters["point_updates/s"] = benchmark::Counter(
      static_cast<double>(fixture.smoother.getSmoothedPath().size() * state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SmoothPath1000)->Arg(200)->Arg(50)->Unit(benchmark::kMillisecond);

// The whole request as a caller makes it: input, robot state, smoothing and the output message.
void BM_SmoothRequest1000(benchmark::State& state) {
  Fixture fixture(200);
  const nav_msgs::msg::Path input = meander(1000);
  geometry_msgs::msg::PoseStamped robot;
  robot.pose.position.x = 1.0;
  robot.pose.position.y = 5.0;
  robot.pose.orientation.w = 1.0;
  geometry_msgs::msg::Twist velocity;
  velocity.linear.x = 0.5;
  nav_msgs::msg::Path output;
  for (auto _ : state) {
    fixture.smoother.setOriginalPath(input);
    fixture.smoother.setCurrentData(robot, velocity);
    fixture.smoother.smoothPath();
    benchmark::DoNotOptimize(fixture.smoother.getSmoothedNavPath(output));
  }
}
BENCHMARK(BM_SmoothRequest1000)->Unit(benchmark::kMillisecond);

void BM_ResamplePath1000(benchmark::State& state) {
  Fixture fixture(0);
  std::vector<Pose2d> poses;
  for (const auto& pose : meander(1000).poses) {
    poses.push_back(Pose2d{pose.pose.position.x, pose.pose.position.y, 0.0});
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(fixture.smoother.resamplePath(poses, 0.05f).data());
  }
}
BENCHMARK(BM_ResamplePath1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
