// SPDX-License-Identifier: Apache-2.0
#include "orvik_path_quality/path_quality.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>

#include "support/grid_fixtures.hpp"

namespace {

using orvik_path_quality::measurePathQuality;
using orvik_path_quality::PathPoint;

constexpr double kResolution = 0.1;

std::shared_ptr<orvik_nav2_gridmap::GridMapROS> mapOf(const std::vector<std::string>& rows) {
  return orvik_test::gridMapFromAscii(rows, {}, kResolution);
}

// Row 2 from the bottom carries the path; a cost of 100 at cell (3, 2), an obstacle two rows
// above cell (5, 2).
const std::vector<std::string> kAisle = {
    ".....#....",  // y = 4
    "..........",  // y = 3
    "...4......",  // y = 2
    "..........",  // y = 1
    "..........",  // y = 0
};

TEST(PathQuality, StraightPathAlongARowOfHandWorkedCells) {
  const auto map = mapOf(kAisle);
  std::vector<PathPoint> path;
  for (int x = 0; x < 10; ++x) {
    path.push_back({(x + 0.5) * kResolution, 2.5 * kResolution});
  }
  const auto q = measurePathQuality(*map, path);
  EXPECT_EQ(q.pose_count, 10u);
  EXPECT_NEAR(q.length_m, 0.9, 1e-12);
  EXPECT_NEAR(q.total_turning_rad, 0.0, 1e-12);
  EXPECT_NEAR(q.max_curvature, 0.0, 1e-12);
  EXPECT_EQ(q.cells_passed, 10u);
  // Cell (5, 2) lies two cells below the obstacle at (5, 4).
  EXPECT_NEAR(q.min_clearance_m, 0.2, 1e-6);
  EXPECT_EQ(q.max_cost, 100u);
  EXPECT_NEAR(q.mean_cost, 10.0, 1e-12);
  EXPECT_EQ(q.off_map_length_m, 0.0);
}

TEST(PathQuality, RightAngleTurnCountsItsAngleOverTheMeanSegment) {
  const auto map = mapOf(kAisle);
  // (0.05, 0.05) -> (0.45, 0.05) -> (0.45, 0.25), with a repeated pose at the corner.
  const std::vector<PathPoint> path = {{0.05, 0.05}, {0.45, 0.05}, {0.45, 0.05}, {0.45, 0.25}};
  const auto q = measurePathQuality(*map, path);
  EXPECT_NEAR(q.length_m, 0.6, 1e-12);
  EXPECT_NEAR(q.total_turning_rad, M_PI / 2.0, 1e-12);
  EXPECT_NEAR(q.max_curvature, (M_PI / 2.0) / 0.3, 1e-9);
  // Cells (0..4, 0) then (4, 1), (4, 2): the corner cell once.
  EXPECT_EQ(q.cells_passed, 7u);
}

TEST(PathQuality, ZigZagScoresItsTurningAndArcScoresItsCurvature) {
  const auto map = mapOf(kAisle);
  // +-1 cm around a straight line every 5 cm: each inner pose turns 2 atan(0.02 / 0.05).
  std::vector<PathPoint> zigzag;
  for (int i = 0; i < 5; ++i) {
    zigzag.push_back({0.1 + 0.05 * i, 0.25 + (i % 2 ? 0.01 : -0.01)});
  }
  const auto z = measurePathQuality(*map, zigzag);
  const double turn = 2.0 * std::atan(0.4);
  EXPECT_NEAR(z.total_turning_rad, 3.0 * turn, 1e-12);
  EXPECT_NEAR(z.max_curvature, turn / std::hypot(0.05, 0.02), 1e-9);
  EXPECT_NEAR(z.length_m, 4.0 * std::hypot(0.05, 0.02), 1e-12);

  // Poses 0.05 rad apart on a circle of radius 2 m: curvature close to 1 / 2.
  const auto big = orvik_test::gridMapFromAscii(std::vector<std::string>(60, std::string(60, '.')),
                                                {}, kResolution);
  std::vector<PathPoint> arc;
  for (int i = 0; i <= 20; ++i) {
    arc.push_back({3.0 + 2.0 * std::cos(0.05 * i), 3.0 + 2.0 * std::sin(0.05 * i)});
  }
  const auto a = measurePathQuality(*big, arc);
  EXPECT_NEAR(a.max_curvature, 0.5, 1e-3);
  EXPECT_NEAR(a.total_turning_rad, 19 * 0.05, 1e-9);
}

TEST(PathQuality, DiagonalStepThroughACellCornerTouchesNeitherSideCell) {
  // Obstacles on both side cells of the first diagonal step.
  const auto map = mapOf({
      "....", "....",
      "#...",  // (0, 1)
      ".#..",  // (1, 0)
  });
  const std::vector<PathPoint> path = {{0.05, 0.05}, {0.15, 0.15}, {0.25, 0.25}};
  const auto q = measurePathQuality(*map, path);
  EXPECT_EQ(q.cells_passed, 3u);
  // Passing a side cell would show as a lethal cost and zero clearance.
  EXPECT_EQ(q.max_cost, 0u);
  EXPECT_NEAR(q.min_clearance_m, 0.1, 1e-6);
}

// Oracle: a segment passes a cell exactly when it meets the cell's open square; found by
// clipping the segment to every square of the map.
bool segmentMeetsOpenSquare(double ax, double ay, double bx, double by, int cx, int cy) {
  double t0 = 0.0;
  double t1 = 1.0;
  const double d[2] = {bx - ax, by - ay};
  const double a[2] = {ax, ay};
  const double lo[2] = {static_cast<double>(cx), static_cast<double>(cy)};
  for (int axis = 0; axis < 2; ++axis) {
    if (d[axis] == 0.0) {
      if (!(a[axis] > lo[axis] && a[axis] < lo[axis] + 1.0)) {
        return false;
      }
      continue;
    }
    double enter = (lo[axis] - a[axis]) / d[axis];
    double leave = (lo[axis] + 1.0 - a[axis]) / d[axis];
    if (enter > leave) {
      std::swap(enter, leave);
    }
    t0 = std::max(t0, enter);
    t1 = std::min(t1, leave);
  }
  return t0 < t1;
}

TEST(PathQuality, CellsOfRandomSegmentsMatchAnOpenSquareOracle) {
  std::mt19937 rng(1234);
  const unsigned int size = 24;
  const auto costmap = orvik_test::randomGradedCostmap(size, size, 0.15, 200, rng);
  const orvik_nav2_gridmap::GridMapROS map(costmap, {});
  const auto grid = map.getMultiGridMap();
  std::uniform_real_distribution<double> coordinate(0.0, size);
  std::uniform_int_distribution<int> cell(0, size - 1);
  for (int trial = 0; trial < 300; ++trial) {
    double ax, ay, bx, by;
    if (trial % 2 == 0) {  // cell centres: diagonal runs pass exactly through corners
      ax = cell(rng) + 0.5;
      ay = cell(rng) + 0.5;
      const int run = cell(rng) % 6;
      bx = std::min(size - 0.5, ax + run);
      by = std::min(size - 0.5, ay + (trial % 4 == 0 ? run : cell(rng) % 6));
    } else {
      ax = coordinate(rng);
      ay = coordinate(rng);
      bx = coordinate(rng);
      by = coordinate(rng);
    }
    std::size_t count = 0;
    uint32_t max_cost = 0;
    double cost_sum = 0.0;
    double clearance = std::numeric_limits<double>::infinity();
    for (unsigned int y = 0; y < size; ++y) {
      for (unsigned int x = 0; x < size; ++x) {
        if (segmentMeetsOpenSquare(ax, ay, bx, by, static_cast<int>(x), static_cast<int>(y))) {
          ++count;
          max_cost = std::max(max_cost, grid->getCost(x, y, false));
          cost_sum += grid->getCost(x, y, false);
          clearance = std::min(clearance, grid->getDistance(x, y));
        }
      }
    }
    const double r = costmap.getResolution();
    const auto q =
        measurePathQuality(map, std::vector<PathPoint>{{ax * r, ay * r}, {bx * r, by * r}});
    SCOPED_TRACE(::testing::Message()
                 << "segment (" << ax << ", " << ay << ") -> (" << bx << ", " << by << ")");
    ASSERT_EQ(q.cells_passed, count);
    EXPECT_EQ(q.max_cost, max_cost);
    EXPECT_NEAR(q.mean_cost, cost_sum / count, 1e-9);
    EXPECT_DOUBLE_EQ(q.min_clearance_m, clearance);
  }
}

TEST(PathQuality, EdgeCasesEndCleanly) {
  const auto map = mapOf(kAisle);
  const auto empty = measurePathQuality(*map, std::vector<PathPoint>{});
  EXPECT_EQ(empty.pose_count, 0u);
  EXPECT_EQ(empty.cells_passed, 0u);
  EXPECT_TRUE(std::isnan(empty.min_clearance_m));
  EXPECT_TRUE(std::isnan(empty.mean_cost));

  const auto single = measurePathQuality(*map, std::vector<PathPoint>{{0.35, 0.25}});
  EXPECT_EQ(single.cells_passed, 1u);
  EXPECT_EQ(single.max_cost, 100u);

  // The first 0.5 m of this segment lie left of the map.
  const auto leaving = measurePathQuality(*map, std::vector<PathPoint>{{-0.5, 0.25}, {0.45, 0.25}});
  EXPECT_NEAR(leaving.off_map_length_m, 0.5, 1e-12);
  EXPECT_EQ(leaving.cells_passed, 5u);

  // Far off the map: measured without walking the cells out there.
  const auto begin = std::chrono::steady_clock::now();
  const auto far = measurePathQuality(*map, std::vector<PathPoint>{{-1e15, 0.25}, {1e15, 0.25}});
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
  EXPECT_EQ(far.cells_passed, 10u);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(measurePathQuality(*map, std::vector<PathPoint>{{0.1, 0.1}, {nan, 0.1}}),
               std::invalid_argument);
}

TEST(PathQuality, RouteAddsItsLegsAndKeepsTheirExtremes) {
  const auto map = mapOf(kAisle);
  // Along row 2 past the cost cell, then back along row 0.
  const auto first =
      measurePathQuality(*map, std::vector<PathPoint>{{0.05, 0.25}, {0.45, 0.25}, {0.45, 0.45}});
  const auto second = measurePathQuality(*map, std::vector<PathPoint>{{0.45, 0.05}, {0.05, 0.05}});
  const auto route = orvik_path_quality::combinePathQualities({first, second});
  EXPECT_NEAR(route.length_m, 0.6 + 0.4, 1e-12);
  EXPECT_NEAR(route.total_turning_rad, M_PI / 2.0, 1e-12);
  EXPECT_EQ(route.cells_passed, 7u + 5u);
  EXPECT_EQ(route.max_cost, 100u);
  EXPECT_NEAR(route.mean_cost, 100.0 / 12.0, 1e-12);
  // Cell (4, 4) ends the first leg one cell beside the obstacle at (5, 4).
  EXPECT_NEAR(route.min_clearance_m, 0.1, 1e-6);
  EXPECT_TRUE(std::isnan(orvik_path_quality::combinePathQualities({}).min_clearance_m));
}

}  // namespace
