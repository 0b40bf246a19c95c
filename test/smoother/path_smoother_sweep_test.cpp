// SPDX-License-Identifier: Apache-2.0
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "orvik_nav2_planner/path_smoother.hpp"
#include "smoother/path_smoother_fixtures.hpp"

namespace {

// resamplePath written out from its rule: differences and offsets in single precision, added to
// double anchors; a pose nearer than a step to the anchor is passed over; the last pose closes
// the list with the heading of the pose before it.
std::vector<Pose2d> referenceResample(const std::vector<Pose2d>& poses, float step) {
  std::vector<Pose2d> out;
  if (poses.size() <= 2) {
    return out;
  }
  out.push_back(poses.front());
  double ax = poses.front().x;
  double ay = poses.front().y;
  for (std::size_t i = 1; i < poses.size(); ++i) {
    float dx = static_cast<float>(poses[i].x - ax);
    float dy = static_cast<float>(poses[i].y - ay);
    float length = std::sqrt(dx * dx + dy * dy);
    while (length >= step) {
      const float ratio = step / length;
      ax += ratio * dx;
      ay += ratio * dy;
      out.push_back({ax, ay, atan2f(dy, dx)});
      dx = static_cast<float>(poses[i].x - ax);
      dy = static_cast<float>(poses[i].y - ay);
      length = std::sqrt(dx * dx + dy * dy);
    }
  }
  out.push_back({poses.back().x, poses.back().y, poses[poses.size() - 2].theta});
  return out;
}

struct SweepTally {
  int moved{0};
  int pushed_by_obstacle{0};
  int held_at_the_edge{0};
  int held_although_a_later_term_pulls_back{0};
};

// One smoothing sweep with the obstacle and smoothness terms only (curvature weight 0, no
// prediction), every term's sum checked against the map edge as it is added.
std::vector<Pose2d> referenceSweep(std::vector<Pose2d> points,
                                   const orvik_nav2_gridmap::GridMapROS& map, float reach,
                                   float obstacle_weight, float smooth_weight, float total_weight,
                                   SweepTally& tally) {
  const auto grid = map.getMultiGridMap();
  const auto costmap = grid->getCostmap();
  const int size_x = static_cast<int>(costmap->getSizeInCellsX());
  const int size_y = static_cast<int>(costmap->getSizeInCellsY());
  const auto on_grid = [&](double x, double y) {
    unsigned int mx = 0;
    unsigned int my = 0;
    return costmap->worldToMap(x, y, mx, my);
  };
  const auto obstacle_push = [&](double px, double py, double& cx, double& cy) {
    cx = cy = 0.0;
    unsigned int mx = 0;
    unsigned int my = 0;
    if (!costmap->worldToMap(px, py, mx, my)) {
      return;
    }
    const int x = static_cast<int>(mx);
    const int y = static_cast<int>(my);
    const double distance = grid->getDistance(mx, my);
    if (static_cast<float>(distance) > reach || x < 1 || y < 1 || x + 1 >= size_x ||
        y + 1 >= size_y) {
      return;
    }
    const auto d = [&](int a, int b) {
      return static_cast<float>(grid->getDistance(x + a, y + b));
    };
    const float gx = (d(1, 0) - d(-1, 0) + d(1, 1) - d(-1, 1) + d(1, -1) - d(-1, -1)) * 0.25f;
    const float gy = (d(0, 1) - d(0, -1) + d(1, 1) - d(1, -1) + d(-1, 1) - d(-1, -1)) * 0.25f;
    const float m = std::hypot(gx, gy);
    if (m > 1e-6) {
      const double scale = obstacle_weight * std::exp(-distance / reach);
      cx = scale * (gx / m);
      cy = scale * (gy / m);
    }
  };
  for (std::size_t i = 1; i + 1 < points.size(); ++i) {
    const Pose2d prev = points[i - 1];
    const Pose2d cur = points[i];
    const Pose2d next = points[i + 1];
    double cx = 0.0;
    double cy = 0.0;
    obstacle_push(cur.x, cur.y, cx, cy);
    tally.pushed_by_obstacle += cx != 0.0 || cy != 0.0;
    const double sx = smooth_weight * 4.0 * (prev.x - 2 * cur.x + next.x);
    const double sy = smooth_weight * 4.0 * (prev.y - 2 * cur.y + next.y);
    if (!on_grid(cur.x + cx, cur.y + cy)) {
      ++tally.held_at_the_edge;
      tally.held_although_a_later_term_pulls_back += on_grid(cur.x + cx + sx, cur.y + cy + sy);
      continue;
    }
    cx += sx;
    cy += sy;
    if (!on_grid(cur.x + cx, cur.y + cy)) {
      ++tally.held_at_the_edge;
      continue;
    }
    const double step = 0.1f;
    points[i].x = cur.x + step * cx / total_weight;
    points[i].y = cur.y + step * cy / total_weight;
    points[i - 1].theta = std::atan2(points[i].y - prev.y, points[i].x - prev.x);
    points[i].theta = points[i + 1].theta = std::atan2(next.y - prev.y, next.x - prev.x);
    ++tally.moved;
  }
  return points;
}

// Wavy paths running between the lower map edge and a wall just above them: the wall pushes
// points towards the edge, the smoothness pull brings some of them back. One sweep of the
// smoother, and its resampling, must be what the rules give point for point.
TEST(PathSmootherSweep, OneSweepAndItsResamplingMatchTheRulesPointForPoint) {
  std::vector<std::string> rows(40, std::string(60, '.'));
  rows[40 - 1 - 15] = std::string(60, '#');  // cell row 15: y from 0.75 to 0.8 m
  const auto map = orvik_test::gridMapFromAscii(rows, {}, 0.05);
  const auto node =
      orvik_test::smootherNode({rclcpp::Parameter("gradient_smoother.max_iterations", 1)});
  std::mt19937 rng(3162);
  SweepTally tally;
  for (int trial = 0; trial < 60; ++trial) {
    const float resample_step = trial % 3 == 0 ? 0.05f : 0.037f;
    PathSmoother smoother(node, map);
    // The alignment weight only enters the divisor: without a prediction its term is 0.
    smoother.config(0.6, 0.5, 0.0, 1.5, 0.5, 100.0, resample_step);
    std::vector<std::pair<double, double>> points;
    double x = 0.15;
    while (x < 2.8) {
      points.emplace_back(x, 0.1 + 0.001 * (rng() % 500));
      x += 0.02 + 0.001 * (rng() % 120);
    }
    const nav_msgs::msg::Path path = orvik_test::pathThrough(points);
    smoother.setOriginalPath(path);
    std::vector<Pose2d> input;
    for (const auto& [px, py] : points) {
      input.push_back({px, py, 0.0});
    }
    const std::vector<Pose2d> resampled = referenceResample(input, resample_step);
    const auto& actual_resampled = smoother.getResampledPath();
    ASSERT_EQ(actual_resampled.size(), resampled.size()) << "trial " << trial;
    for (std::size_t i = 0; i < resampled.size(); ++i) {
      EXPECT_EQ(actual_resampled[i].x, resampled[i].x) << "trial " << trial << " point " << i;
      EXPECT_EQ(actual_resampled[i].y, resampled[i].y) << "trial " << trial << " point " << i;
      EXPECT_EQ(actual_resampled[i].theta, resampled[i].theta)
          << "trial " << trial << " point " << i;
    }
    smoother.smoothPath();
    const auto expected =
        referenceSweep(resampled, *map, 0.6f, 0.5f, 1.5f, 1.5f + 0.0f + 0.5f + 0.5f, tally);
    const auto& actual = smoother.getSmoothedPath();
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_NEAR(actual[i].x, expected[i].x, 1e-9) << "trial " << trial << " point " << i;
      EXPECT_NEAR(actual[i].y, expected[i].y, 1e-9) << "trial " << trial << " point " << i;
      EXPECT_NEAR(actual[i].theta, expected[i].theta, 1e-9) << "trial " << trial << " point " << i;
    }
    if (::testing::Test::HasFailure()) {
      return;
    }
  }
  EXPECT_GT(tally.moved, 500);
  EXPECT_GT(tally.pushed_by_obstacle, 200);
  EXPECT_GT(tally.held_although_a_later_term_pulls_back, 5);
  std::printf("moved %d pushed %d held %d held-though-pulled-back %d\n", tally.moved,
              tally.pushed_by_obstacle, tally.held_at_the_edge,
              tally.held_although_a_later_term_pulls_back);
}

}  // namespace
