// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/line_geometry.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "sunny_corner/path_builders.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Point pt(double x, double y, int32_t index = -1) {
  Point p;
  p.x = x;
  p.y = y;
  p.index = index;
  return p;
}

// The path runs east along y = 0 from x = 0 to 1 (indices 0..8), then north along x = 1 to
// y = 2 (indices 9..24), 0.125 apart, so that every coordinate and difference is exact.
std::vector<Point> eastThenNorthPoints() {
  std::vector<Point> points;
  for (int i = 0; i <= 8; ++i) {
    points.push_back(pt(i / 8.0, 0.0, i));
  }
  for (int k = 1; k <= 16; ++k) {
    points.push_back(pt(1.0, k / 8.0, 8 + k));
  }
  return points;
}

TEST(LineGeometrySgn, GivesSignAndTreatsNaNAsNegative) {
  EXPECT_EQ(sgn(3.5), 1);
  EXPECT_EQ(sgn(-1e-300), -1);
  EXPECT_EQ(sgn(0.0), 0);
  EXPECT_EQ(sgn(-0.0), 0);
  EXPECT_EQ(sgn(kNaN), -1);
  EXPECT_EQ(sgn(std::numeric_limits<double>::infinity()), 1);
}

TEST(LineGeometryDistance, NearlyVerticalChordMeasuresAlongX) {
  EXPECT_DOUBLE_EQ(point2LineDistance(pt(3, 7), pt(1, 0), pt(1.04, 5)), 2.0);
  // Exactly 0.05 apart still counts as vertical; a little more is an ordinary steep line.
  EXPECT_DOUBLE_EQ(point2LineDistance(pt(-2, 7), pt(0, 0), pt(0.05, 5)), 2.0);
  const double k = 5.0 / 0.06;
  EXPECT_NEAR(point2LineDistance(pt(-2, 7), pt(0, 0), pt(0.06, 5)),
              std::fabs(-2.0 * k - 7.0) / std::sqrt(k * k + 1.0), 1e-12);
}

TEST(LineGeometryDistance, MatchesCrossProductDistanceForOrdinaryChords) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coord(-10.0, 10.0);
  for (int trial = 0; trial < 500; ++trial) {
    const Point a = pt(coord(rng), coord(rng));
    const Point b = pt(coord(rng), coord(rng));
    if (std::fabs(a.x - b.x) <= 0.06) {
      continue;
    }
    const Point p = pt(coord(rng), coord(rng));
    const double cross = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
    const double expected = std::fabs(cross) / std::hypot(b.x - a.x, b.y - a.y);
    EXPECT_NEAR(point2LineDistance(p, a, b), expected, 1e-9 * (1.0 + expected));
  }
}

TEST(LineGeometryMeanDistance, EmptyListYieldsSentinel) {
  EXPECT_EQ(points2LineMeanDistance({}, pt(0, 0), pt(1, 1), true), 99999.0);
  EXPECT_EQ(points2LineMeanDistance({}, pt(0, 0), pt(1, 1), false), 99999.0);
  EXPECT_EQ(points2FitLineMeanDistance({}, true), 99999.0);
  EXPECT_EQ(points2FitLineMeanDistance({}, false), 99999.0);
}

TEST(LineGeometryMeanDistance, SymmetricPointsCancelOnlyInSignedForm) {
  // About y = x (through (0,0) and (2,2)): (0,1) lies above, (1,0) below, both 1/sqrt(2) away.
  const std::vector<Point> around = {pt(0, 1), pt(1, 0)};
  EXPECT_NEAR(points2LineMeanDistance(around, pt(0, 0), pt(2, 2), false), 0.0, 1e-12);
  EXPECT_NEAR(points2LineMeanDistance(around, pt(0, 0), pt(2, 2), true), std::sqrt(0.5), 1e-12);
  // About the vertical x = 1: one point on each side.
  const std::vector<Point> beside = {pt(0, 3), pt(2, -1)};
  EXPECT_NEAR(points2LineMeanDistance(beside, pt(1, 0), pt(1, 5), false), 0.0, 1e-12);
  EXPECT_NEAR(points2LineMeanDistance(beside, pt(1, 0), pt(1, 5), true), 1.0, 1e-12);
}

TEST(LineGeometryMeanDistance, OneSidedPointsGiveSameSignedAndAbsoluteMean) {
  const std::vector<Point> above = {pt(0, 1), pt(3, 2), pt(-1, 0.5)};
  // Line y = 0: distances 1, 2, 0.5.
  EXPECT_NEAR(points2LineMeanDistance(above, pt(0, 0), pt(4, 0), false), 3.5 / 3, 1e-12);
  EXPECT_NEAR(points2LineMeanDistance(above, pt(0, 0), pt(4, 0), true), 3.5 / 3, 1e-12);
  // Never negative, also when the balance lies on the negative side.
  const std::vector<Point> left_of = {pt(-2, 0), pt(-4, 1)};
  EXPECT_NEAR(points2LineMeanDistance(left_of, pt(0, 0), pt(0.01, 3), false), 3.0, 1e-12);
}

TEST(LineGeometryFit, SinglePointHasUndefinedSlopeAndZeroHeading) {
  const Line line = fit({pt(2, 3)}, false);
  EXPECT_EQ(line.k, 99999.0);
  EXPECT_FALSE(line.vertical);
  EXPECT_EQ(line.angle, 0.0);
}

TEST(LineGeometryFit, RecoversExactLineAndHeadsFromFirstToLast) {
  std::vector<Point> points;
  for (int i = 0; i < 6; ++i) {
    points.push_back(pt(i, 2.0 * i + 1.0));
  }
  const Line forward = fit(points, false);
  EXPECT_NEAR(forward.k, 2.0, 1e-12);
  EXPECT_NEAR(forward.b, 1.0, 1e-12);
  EXPECT_FALSE(forward.vertical);
  EXPECT_NEAR(forward.angle, std::atan(2.0), 1e-12);

  const std::vector<Point> reversed(points.rbegin(), points.rend());
  EXPECT_NEAR(fit(reversed, false).angle, std::atan2(-2.0, -1.0), 1e-12);
}

TEST(LineGeometryFit, SwappedAxesDetectVerticalLineAndItsDirection) {
  std::vector<Point> up;
  for (int y = 0; y <= 4; ++y) {
    up.push_back(pt(2, y));
  }
  const Line line = fit(up, true);
  EXPECT_TRUE(line.vertical);
  EXPECT_EQ(line.x, 2.0);
  EXPECT_DOUBLE_EQ(line.angle, M_PI / 2);

  const std::vector<Point> down(up.rbegin(), up.rend());
  EXPECT_DOUBLE_EQ(fit(down, true).angle, -M_PI / 2);
}

TEST(LineGeometryFit, SwappedAxesOnHorizontalPointsAreNotVertical) {
  const Line line = fit({pt(0, 1), pt(1, 1), pt(2, 1)}, true);
  EXPECT_EQ(line.k, 99999.0);
  EXPECT_FALSE(line.vertical);
}

TEST(LineGeometryFit, EmptyListDoesNotCrash) {
  const Line line = fit({}, false);
  EXPECT_EQ(line.k, 99999.0);
  EXPECT_FALSE(line.vertical);
  EXPECT_TRUE(std::isfinite(line.b));
}

TEST(LineGeometryFitMeanDistance, HandWorkedZigzag) {
  // Least squares over (0,0), (1,1), (2,0), (3,1): y = 0.2x + 0.2, residuals -0.2, 0.6, -0.6,
  // 0.2. The absolute mean is 1.6 / 4 / sqrt(1.04); above and below balance out.
  const std::vector<Point> zigzag = {pt(0, 0), pt(1, 1), pt(2, 0), pt(3, 1)};
  EXPECT_NEAR(points2FitLineMeanDistance(zigzag, true), 0.4 / std::sqrt(1.04), 1e-12);
  EXPECT_NEAR(points2FitLineMeanDistance(zigzag, false), 0.0, 1e-12);
}

TEST(LineGeometryFitMeanDistance, StraightStretchesFitExactly) {
  EXPECT_NEAR(points2FitLineMeanDistance({pt(1, 0), pt(1, 0.5), pt(1, 1.2)}, true), 0.0, 1e-12);
  EXPECT_NEAR(points2FitLineMeanDistance({pt(0, 2), pt(1, 3), pt(2, 4)}, true), 0.0, 1e-12);
  // One point off a vertical line: measured along x from the middle point's x.
  EXPECT_NEAR(points2FitLineMeanDistance({pt(1, 0), pt(1, 1), pt(1.003, 2)}, true), 0.001, 1e-12);
}

TEST(LineGeometryIntersection, CrossesOrdinaryAndVerticalLines) {
  Line rising;
  rising.k = 1.0;
  rising.b = 0.0;
  Line falling;
  falling.k = -1.0;
  falling.b = 2.0;
  const Point p = intersection(rising, falling);
  EXPECT_DOUBLE_EQ(p.x, 1.0);
  EXPECT_DOUBLE_EQ(p.y, 1.0);

  Line vertical;
  vertical.vertical = true;
  vertical.x = 3.0;
  Line steep;
  steep.k = 2.0;
  steep.b = 1.0;
  for (const Point& q : {intersection(vertical, steep), intersection(steep, vertical)}) {
    EXPECT_DOUBLE_EQ(q.x, 3.0);
    EXPECT_DOUBLE_EQ(q.y, 7.0);
  }
}

TEST(LineGeometryIntersection, ParallelLinesGiveNonFiniteCoordinates) {
  Line a;
  a.k = 0.5;
  a.b = 0.0;
  Line b;
  b.k = 0.5;
  b.b = 1.0;
  const Point p = intersection(a, b);
  EXPECT_FALSE(std::isfinite(p.x));
}

TEST(LineGeometryStretch, EndsOfPathHaveNoStretch) {
  const std::vector<Point> points = eastThenNorthPoints();
  std::vector<Point> segment;
  Point last = points.back();
  EXPECT_EQ(rightMeanDistance(points, segment, last, 1.0), 10.0);
  EXPECT_EQ(last.right_near, -1);
  EXPECT_EQ(last.right_far, -1);

  Point first = points.front();
  EXPECT_EQ(leftMeanDistance(points, segment, first, 1.0), 10.0);
  EXPECT_EQ(first.left_near, -1);
  EXPECT_EQ(first.left_far, -1);
}

TEST(LineGeometryStretch, IndexOffThePointListIsRefused) {
  const std::vector<Point> points = eastThenNorthPoints();
  std::vector<Point> segment;
  for (int32_t index : {-1, 25, 1000}) {
    Point corner = pt(1, 0, index);
    corner.left_near = corner.right_near = 5;
    EXPECT_EQ(rightMeanDistance(points, segment, corner, 1.0), 10.0);
    EXPECT_EQ(leftMeanDistance(points, segment, corner, 1.0), 10.0);
    EXPECT_EQ(corner.right_near, -1);
    EXPECT_EQ(corner.left_near, -1);
  }
}

TEST(LineGeometryStretch, RightSearchFindsStraightStretchAfterTheBend) {
  // From (0.75, 0) the stretches starting at 6 and 7 wrap round the bend at index 8; the one
  // starting at the bend is straight, and later straight ones do not replace it.
  const std::vector<Point> points = eastThenNorthPoints();
  std::vector<Point> segment;
  Point corner = points[6];
  const double best = rightMeanDistance(points, segment, corner, 1.0);
  EXPECT_EQ(best, 0.0);
  EXPECT_EQ(corner.right_near, 8);
  EXPECT_EQ(corner.right_far, 16);
  // The working list holds the last candidate examined: the start at (1, 0.375), index 11, is
  // the last within 0.5 m of the corner, and its stretch ends before y = 1.375 (index 19).
  ASSERT_FALSE(segment.empty());
  EXPECT_EQ(segment.front().index, 11);
  EXPECT_EQ(segment.back().index, 18);
}

TEST(LineGeometryStretch, LeftSearchFindsStraightStretchBeforeTheBend) {
  // From (1, 0.25) backwards: the stretch ending just before index 10 wraps round the bend;
  // the one ending before index 9 lies on y = 0 and runs from index 0. Starts nearer than 1 m
  // to the path's beginning have no stretch at all.
  const std::vector<Point> points = eastThenNorthPoints();
  std::vector<Point> segment;
  Point corner = points[10];
  const double best = leftMeanDistance(points, segment, corner, 1.0);
  EXPECT_EQ(best, 0.0);
  EXPECT_EQ(corner.left_near, 9);
  EXPECT_EQ(corner.left_far, 0);
}

TEST(LineGeometryStretch, StretchLongerThanThePathIsNotFound) {
  const std::vector<Point> points = eastThenNorthPoints();
  std::vector<Point> segment;
  Point corner = points[8];
  EXPECT_EQ(rightMeanDistance(points, segment, corner, 50.0), 10.0);
  EXPECT_EQ(leftMeanDistance(points, segment, corner, 50.0), 10.0);
  EXPECT_EQ(corner.right_far, -1);
  EXPECT_EQ(corner.left_far, -1);
  // A NaN length never ends a stretch either.
  EXPECT_EQ(rightMeanDistance(points, segment, corner, kNaN), 10.0);
}

TEST(LineGeometryConversion, PathToPointsKeepsPositionsAndIndices) {
  std::vector<geometry_msgs::msg::PoseStamped> path =
      orvik_test::pathThrough({{1, 2}, {3, 4}, {5, -6}});
  path[1].pose.position.z = 9.0;
  std::vector<Point> points = {pt(100, 100)};
  path2PointList(path, points);
  ASSERT_EQ(points.size(), 3u);
  for (size_t i = 0; i < points.size(); ++i) {
    EXPECT_EQ(points[i].x, path[i].pose.position.x);
    EXPECT_EQ(points[i].y, path[i].pose.position.y);
    EXPECT_EQ(points[i].index, static_cast<int32_t>(i));
  }
}

TEST(LineGeometryConversion, PointsToPathGivesFlatIdentityPoses) {
  std::vector<geometry_msgs::msg::PoseStamped> path = orvik_test::pathThrough({{7, 7}});
  pointList2path(path, {pt(1, 2), pt(-3, 4)});
  ASSERT_EQ(path.size(), 2u);
  EXPECT_EQ(path[1].pose.position.x, -3.0);
  EXPECT_EQ(path[1].pose.position.y, 4.0);
  for (const auto& pose : path) {
    EXPECT_EQ(pose.pose.position.z, 0.0);
    EXPECT_EQ(pose.pose.orientation, geometry_msgs::msg::Quaternion());
    EXPECT_EQ(pose.header.frame_id, "");
    EXPECT_EQ(pose.header.stamp.sec, 0);
    EXPECT_EQ(pose.header.stamp.nanosec, 0u);
  }
  pointList2path(path, {});
  EXPECT_TRUE(path.empty());
}

}  // namespace
