// SPDX-License-Identifier: Apache-2.0
// Constrained smoothing of a path planned by the A* planner v2 on Nav2's smoother benchmark
// world: time per smooth and the Ceres iterations it takes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "nav2_core/exceptions.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"
#include "orvik_nav2_planner/astar_options.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/orvik_constrained_smoother.hpp"

namespace {

constexpr size_t kPathPoses = 300;
constexpr char kSmootherName[] = "constrained_smoother";

std::string worldYaml() {
  return std::string(ORVIK_SHARED_MAPS_DIR) + "/smoothers_world/smoothers_world.yaml";
}

geometry_msgs::msg::PoseStamped poseAt(double x, double y) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.orientation.w = 1.0;
  return pose;
}

/// The smoothers world with Nav2's default inflation (0.55 m, scaling 3), so that the cost term
/// of the smoother has a gradient to follow near walls.
std::shared_ptr<orvik_nav2_gridmap::GridMapROS> worldMap() {
  static std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map;
  if (!map && std::filesystem::exists(worldYaml())) {
    orvik_nav2_gridmap::GridMapConfig config;
    config.robot_radius = 0.2;
    config.inflation.enabled = true;
    config.inflation.inflation_radius = 0.55;
    config.inflation.cost_scaling_factor = 3.0;
    map = orvik_nav2_gridmap::loadRosMap(worldYaml(), config);
  }
  return map;
}

/// The first 300 poses of an A* path across the world, each headed towards the next pose as a
/// planner plugin hands it to a smoother. Empty when the map is missing or no query plans.
const nav_msgs::msg::Path& plannedPath(std::string* query_label = nullptr) {
  static nav_msgs::msg::Path path;
  static std::string label;
  if (query_label != nullptr) {
    *query_label = label;
  }
  if (!path.poses.empty() || !worldMap()) {
    return path;
  }
  orvik_nav2_planner::astar2::AstarPlanner planner("bench", worldMap());
  orvik_nav2_planner::astar2::AstarOptions options;
  const double queries[][4] = {
      {1.0, 1.0, 14.0, 14.0}, {1.0, 14.0, 14.0, 1.0}, {1.0, 7.5, 14.0, 7.5}, {7.5, 1.0, 7.5, 14.0}};
  for (const auto& q : queries) {
    orvik_nav2_protocol::msg::Path planned;
    if (planner.searchPath(poseAt(q[0], q[1]), poseAt(q[2], q[3]), options, planned) &&
        planned.poses.size() > kPathPoses) {
      path.header = planned.header;
      path.poses.assign(planned.poses.begin(), planned.poses.begin() + kPathPoses);
      label = "A* (" + std::to_string(q[0]).substr(0, 4) + ", " +
              std::to_string(q[1]).substr(0, 4) + ") -> (" + std::to_string(q[2]).substr(0, 4) +
              ", " + std::to_string(q[3]).substr(0, 4) + "), first " + std::to_string(kPathPoses) +
              " of " + std::to_string(planned.poses.size()) + " poses";
      if (query_label != nullptr) {
        *query_label = label;
      }
      break;
    }
  }
  for (size_t i = 0; i < path.poses.size(); ++i) {
    const size_t from = i + 1 < path.poses.size() ? i : i - 1;
    const auto& a = path.poses[from].pose.position;
    const auto& b = path.poses[from + 1].pose.position;
    const double yaw = std::atan2(b.y - a.y, b.x - a.x);
    path.poses[i].pose.orientation.x = 0.0;
    path.poses[i].pose.orientation.y = 0.0;
    path.poses[i].pose.orientation.z = std::sin(yaw / 2);
    path.poses[i].pose.orientation.w = std::cos(yaw / 2);
  }
  return path;
}

/// Parameter overrides of one benchmarked configuration, beside the debug switch.
using Overrides = std::vector<rclcpp::Parameter>;

Overrides defaultOverrides() {
  return {};
}

/// The example configuration of Nav2's documentation for this smoother: every third pose
/// optimised and refilled by Bezier points, tolerances that keep Ceres from stopping while the
/// large curvature residuals of grid corners still dominate, and one cost check point behind
/// the robot's centre.
Overrides nav2ExampleOverrides() {
  const std::string p = std::string(kSmootherName) + ".";
  return {rclcpp::Parameter(p + "path_downsampling_factor", 3),
          rclcpp::Parameter(p + "cost_check_points", std::vector<double>{-0.185, 0.0, 1.0}),
          rclcpp::Parameter(p + "optimizer.max_iterations", 70),
          rclcpp::Parameter(p + "optimizer.gradient_tol", 5e3),
          rclcpp::Parameter(p + "optimizer.fn_tol", 1e-15),
          rclcpp::Parameter(p + "optimizer.param_tol", 1e-20)};
}

std::shared_ptr<rclcpp_lifecycle::LifecycleNode> smootherNode(Overrides overrides, bool debug) {
  overrides.emplace_back(std::string(kSmootherName) + ".optimizer.debug_optimizer", debug);
  rclcpp::NodeOptions options;
  options.parameter_overrides(overrides);
  return std::make_shared<rclcpp_lifecycle::LifecycleNode>("bench_node", options);
}

/// Discrete bending energy: squared heading change over mean segment length, summed.
double bendingEnergy(const nav_msgs::msg::Path& path) {
  double energy = 0;
  for (size_t i = 1; i + 1 < path.poses.size(); ++i) {
    const auto& a = path.poses[i - 1].pose.position;
    const auto& b = path.poses[i].pose.position;
    const auto& c = path.poses[i + 1].pose.position;
    const double turn = std::remainder(
        std::atan2(c.y - b.y, c.x - b.x) - std::atan2(b.y - a.y, b.x - a.x), 2 * M_PI);
    energy +=
        turn * turn / (0.5 * (std::hypot(b.x - a.x, b.y - a.y) + std::hypot(c.x - b.x, c.y - b.y)));
  }
  return energy;
}

double largestShift(const nav_msgs::msg::Path& before, const nav_msgs::msg::Path& after) {
  double shift = 0;
  for (size_t i = 0; i < before.poses.size() && i < after.poses.size(); ++i) {
    shift = std::max(shift,
                     std::hypot(after.poses[i].pose.position.x - before.poses[i].pose.position.x,
                                after.poses[i].pose.position.y - before.poses[i].pose.position.y));
  }
  return shift;
}

/// One smooth with Ceres' per-iteration progress captured (the smoother reports no summary to
/// its caller). Returns the number of minimizer iterations, counted as Ceres' summary counts
/// them (iteration 0 included), or -1 when the smooth failed; `result` gets the smoothed path.
int smoothCountingIterations(const Overrides& overrides, const nav_msgs::msg::Path& input,
                             const std::shared_ptr<nav2_costmap_2d::Costmap2D>& costmap,
                             nav_msgs::msg::Path& result) {
  auto node = smootherNode(overrides, true);
  orvik_nav2_planner::OrvikConstrainedSmoother smoother;
  smoother.configure(node, kSmootherName);
  result = input;
  std::ostringstream progress;
  std::streambuf* previous = std::cout.rdbuf(progress.rdbuf());
  bool ok = true;
  try {
    smoother.smooth(costmap, result, rclcpp::Duration::from_seconds(10.0));
  } catch (nav2_core::PlannerException* e) {
    delete e;
    ok = false;
  }
  std::cout.rdbuf(previous);
  if (!ok) {
    return -1;
  }
  // Progress lines start with the iteration number: "  12  3.4e+05 ...".
  int iterations = 0;
  std::istringstream lines(progress.str());
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    int iteration;
    if (fields >> iteration) {
      ++iterations;
    }
  }
  return iterations;
}

void BM_SmoothPlannedPath(benchmark::State& state, const Overrides& overrides) {
  std::string label;
  const nav_msgs::msg::Path& input = plannedPath(&label);
  if (input.poses.size() != kPathPoses) {
    state.SkipWithError("smoothers_world missing or no 300-pose path planned");
    return;
  }
  const auto costmap = worldMap()->getMultiGridMap()->getCostmap();
  auto node = smootherNode(overrides, false);
  orvik_nav2_planner::OrvikConstrainedSmoother smoother;
  smoother.configure(node, kSmootherName);

  size_t failures = 0;
  for (auto _ : state) {
    nav_msgs::msg::Path path = input;
    try {
      smoother.smooth(costmap, path, rclcpp::Duration::from_seconds(10.0));
    } catch (nav2_core::PlannerException* e) {
      delete e;
      ++failures;
    }
    benchmark::DoNotOptimize(path.poses.data());
  }

  nav_msgs::msg::Path smoothed;
  state.counters["ceres_iterations"] =
      smoothCountingIterations(overrides, input, costmap, smoothed);
  state.counters["failures"] = static_cast<double>(failures);
  state.counters["poses"] = static_cast<double>(input.poses.size());
  state.counters["bending_after/before"] = bendingEnergy(smoothed) / bendingEnergy(input);
  state.counters["largest_shift_m"] = largestShift(input, smoothed);
  state.SetLabel(label);
}

BENCHMARK_CAPTURE(BM_SmoothPlannedPath, defaults, defaultOverrides())
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmoothPlannedPath, nav2_example, nav2ExampleOverrides())
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
