// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "orvik_nav2_planner/sunny_process.hpp"
#include "sunny_corner/path_builders.hpp"
#include "support/log_capture.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDeg = M_PI / 180.0;

using orvik_test::eastThenTurnPath;
using orvik_test::pathThrough;
using orvik_test::polylinePath;
using Path = std::vector<geometry_msgs::msg::PoseStamped>;

// Threshold 0.1, fit error 0.05, margin 30 degrees, corner shift 0.1, side length 1.
DouglasPeuker makeAnalyser(double dilute_threshold = 0.1, double max_corner_shift = 0.1) {
  return DouglasPeuker(dilute_threshold, 0.05, 30.0, max_corner_shift, 1.0);
}

std::vector<int32_t> indicesOf(const std::vector<Point>& points) {
  std::vector<int32_t> indices;
  for (const Point& p : points) {
    indices.push_back(p.index);
  }
  return indices;
}

Point pointOf(const Path& path, int32_t index) {
  Point p;
  p.x = path[index].pose.position.x;
  p.y = path[index].pose.position.y;
  p.index = index;
  return p;
}

// Two straight 3 m legs, 0.05 m apart, the second turned by `turn` radians (negative is
// clockwise) at (3, 0).
Path twoLegPath(double turn) {
  return polylinePath({{0.0, 0.0}, {3.0, 0.0}, {3.0 + 3.0 * std::cos(turn), 3.0 * std::sin(turn)}},
                      0.05);
}

// Douglas-Peucker written recursively from its definition, with the distance measured by the
// cross product (chords whose ends differ by 0.05 or less in x count as vertical). Appends the
// path indices of the key points in path order.
void recursiveKeyPoints(const Path& path, size_t first, size_t last, double threshold,
                        std::vector<int32_t>& out) {
  if (last - first + 1 <= 2) {
    for (size_t i = first; i <= last; ++i) {
      out.push_back(static_cast<int32_t>(i));
    }
    return;
  }
  const auto& a = path[first].pose.position;
  const auto& b = path[last].pose.position;
  double farthest = -1.0;
  size_t split = first + 1;
  for (size_t i = first + 1; i < last; ++i) {
    const auto& p = path[i].pose.position;
    double d = 0.0;
    if (std::fabs(a.x - b.x) <= 0.05) {
      d = std::fabs(p.x - a.x);
    } else {
      d = std::fabs((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x)) /
          std::hypot(b.x - a.x, b.y - a.y);
    }
    if (d > farthest) {
      farthest = d;
      split = i;
    }
  }
  if (farthest < threshold) {
    out.push_back(static_cast<int32_t>(first));
    out.push_back(static_cast<int32_t>(last));
    return;
  }
  recursiveKeyPoints(path, first, split - 1, threshold, out);
  recursiveKeyPoints(path, split, last, threshold, out);
}

Path randomWalk(std::mt19937& rng, size_t count) {
  std::uniform_real_distribution<double> step(0.02, 0.3);
  std::uniform_real_distribution<double> turn(-0.7, 0.7);
  std::uniform_real_distribution<double> start(-5.0, 5.0);
  Path path;
  double x = start(rng);
  double y = start(rng);
  double heading = turn(rng) * 4.0;
  for (size_t i = 0; i < count; ++i) {
    path.push_back(orvik_test::poseAt(x, y));
    heading += turn(rng);
    const double length = step(rng);
    x += length * std::cos(heading);
    y += length * std::sin(heading);
  }
  return path;
}

TEST(DouglasPeukerProcess, EmptyPathLeavesEveryListEmptyAndLogsNothing) {
  DouglasPeuker analyser = makeAnalyser();
  analyser.processPath(pathThrough({{0, 0}, {1, 1}, {2, 0}}));
  orvik_test::LogCapture log(spdlog::level::debug);
  analyser.processPath({});
  EXPECT_TRUE(analyser.key_points_.empty());
  EXPECT_TRUE(analyser.pending_segments_.empty());
  EXPECT_TRUE(analyser.sunny_corners_.empty());
  EXPECT_TRUE(analyser.line_corners_.empty());
  EXPECT_TRUE(analyser.cut_poses_.empty());
  EXPECT_EQ(log.text(), "");
}

TEST(DouglasPeukerProcess, OneOrTwoPosesAreTheirOwnKeyPoints) {
  DouglasPeuker analyser = makeAnalyser();
  analyser.processPath(pathThrough({{1, 2}}));
  ASSERT_EQ(analyser.key_points_.size(), 1u);
  EXPECT_EQ(analyser.key_points_[0].x, 1.0);
  EXPECT_EQ(analyser.key_points_[0].y, 2.0);
  EXPECT_TRUE(analyser.sunny_corners_.empty());

  analyser.processPath(pathThrough({{1, 2}, {3, 4}}));
  EXPECT_EQ(indicesOf(analyser.key_points_), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(analyser.key_points_[1].x, 3.0);
  EXPECT_TRUE(analyser.sunny_corners_.empty());
}

TEST(DouglasPeukerProcess, StraightPathKeepsOnlyItsEnds) {
  DouglasPeuker analyser = makeAnalyser();
  analyser.processPath(polylinePath({{0, 0}, {4, 3}}, 0.05));
  EXPECT_EQ(indicesOf(analyser.key_points_), (std::vector<int32_t>{0, 100}));
  EXPECT_TRUE(analyser.sunny_corners_.empty());
  EXPECT_TRUE(analyser.line_corners_.empty());

  analyser.processPath(pathThrough({{0, 0}, {0.5, 0}, {1, 0}}));
  EXPECT_EQ(indicesOf(analyser.key_points_), (std::vector<int32_t>{0, 2}));
}

TEST(DouglasPeukerProcess, ClockwiseRightAngleYieldsOneCornerMovedOntoTheVertex) {
  DouglasPeuker analyser(0.1, 0.01, 30.0, 0.05, 1.0);
  analyser.processPath(eastThenTurnPath(-1.0));

  ASSERT_EQ(analyser.key_points_.size(), 4u);
  EXPECT_EQ(indicesOf(analyser.key_points_), (std::vector<int32_t>{0, 99, 100, 200}));
  EXPECT_DOUBLE_EQ(analyser.key_points_[1].x, 4.95);
  EXPECT_DOUBLE_EQ(analyser.key_points_[3].y, -5.0);
  EXPECT_TRUE(analyser.pending_segments_.empty());

  ASSERT_EQ(analyser.sunny_corners_.size(), 1u);
  const Point& sunny = analyser.sunny_corners_[0];
  EXPECT_EQ(sunny.index, 99);
  EXPECT_DOUBLE_EQ(sunny.x, 4.95);
  EXPECT_DOUBLE_EQ(sunny.y, 0.0);
  EXPECT_NEAR(sunny.angle, M_PI / 2, 1e-12);
  EXPECT_LT(sunny.left_far, sunny.left_near);
  EXPECT_LE(sunny.left_near, sunny.right_near);
  EXPECT_LT(sunny.right_near, sunny.right_far);

  ASSERT_EQ(analyser.line_corners_.size(), 1u);
  const Point& moved = analyser.line_corners_[0];
  EXPECT_NEAR(moved.x, 5.0, 1e-12);
  EXPECT_NEAR(moved.y, 0.0, 1e-12);
  EXPECT_NEAR(moved.heading_in, 0.0, 1e-12);
  EXPECT_NEAR(moved.heading_out, -M_PI / 2, 1e-12);
  EXPECT_EQ(moved.index, 99);
  EXPECT_EQ(moved.angle, sunny.angle);
  EXPECT_EQ(moved.left_near, sunny.left_near);
  EXPECT_EQ(moved.right_far, sunny.right_far);
}

TEST(DouglasPeukerProcess, CounterClockwiseRightAngleYieldsNoCorner) {
  DouglasPeuker analyser(0.1, 0.01, 30.0, 0.05, 1.0);
  analyser.processPath(eastThenTurnPath(+1.0));
  EXPECT_EQ(indicesOf(analyser.key_points_), (std::vector<int32_t>{0, 99, 100, 200}));
  EXPECT_TRUE(analyser.sunny_corners_.empty());
  EXPECT_TRUE(analyser.line_corners_.empty());
}

TEST(DouglasPeukerProcess, LineCornersAreLoggedInPathOrderOfTheirStretches) {
  DouglasPeuker analyser(0.1, 0.01, 30.0, 0.05, 1.0);
  orvik_test::LogCapture log(spdlog::level::debug);
  analyser.processPath(eastThenTurnPath(-1.0));
  ASSERT_EQ(analyser.line_corners_.size(), 1u);
  const Point& c = analyser.line_corners_[0];
  EXPECT_TRUE(log.contains(
      spdlog::level::debug,
      fmt::format("sunny corner from line {}, {}, {}, {}, {}, {}, {}, {}", c.x, c.y, c.index,
                  c.angle, c.left_far, c.left_near, c.right_near, c.right_far)))
      << log.text();
}

TEST(DouglasPeukerProcess, CornerWhoseLinesCrossTooFarAwayIsNotMoved) {
  DouglasPeuker analyser(0.1, 0.01, 30.0, 0.04, 1.0);
  analyser.processPath(eastThenTurnPath(-1.0));
  EXPECT_EQ(analyser.sunny_corners_.size(), 1u);
  EXPECT_TRUE(analyser.line_corners_.empty());
}

TEST(DouglasPeukerProcess, OnlyModerateClockwiseTurnsAreSunnyCorners) {
  // Turning angles inside [30, 150] degrees qualify, and only clockwise.
  for (double degrees : {20.0, 45.0, 90.0, 135.0, 160.0}) {
    SCOPED_TRACE(degrees);
    const bool moderate = degrees >= 30.0 && degrees <= 150.0;
    DouglasPeuker analyser(0.05, 0.01, 30.0, 0.1, 1.0);
    analyser.processPath(twoLegPath(-degrees * kDeg));
    ASSERT_EQ(analyser.sunny_corners_.size(), moderate ? 1u : 0u);
    if (moderate) {
      EXPECT_NEAR(analyser.sunny_corners_[0].angle, degrees * kDeg, 1e-9);
      ASSERT_EQ(analyser.line_corners_.size(), 1u);
      const Point& moved = analyser.line_corners_[0];
      EXPECT_NEAR(moved.x, 3.0, 1e-9);
      EXPECT_NEAR(moved.y, 0.0, 1e-9);
      EXPECT_NEAR(moved.heading_in, 0.0, 1e-9);
      EXPECT_NEAR(moved.heading_out, -degrees * kDeg, 1e-9);
    }
    analyser.processPath(twoLegPath(degrees * kDeg));
    EXPECT_TRUE(analyser.sunny_corners_.empty());
  }
}

TEST(DouglasPeukerProcess, CrookedSidesAreNotSunnyCorners) {
  // Waves of 0.04 m amplitude along the incoming leg: fine for a generous fit error, too much
  // for a strict one.
  Path path = twoLegPath(-M_PI / 2);
  for (size_t i = 0; i < 60; ++i) {
    path[i].pose.position.y = (i % 2 == 0) ? 0.04 : -0.04;
  }
  DouglasPeuker strict(0.1, 0.01, 30.0, 0.1, 1.0);
  strict.processPath(path);
  EXPECT_TRUE(strict.sunny_corners_.empty());
  DouglasPeuker generous(0.1, 0.5, 30.0, 0.1, 1.0);
  generous.processPath(path);
  EXPECT_EQ(generous.sunny_corners_.size(), 1u);
}

TEST(DouglasPeukerCorners, KeyPointsTwoApartCountAsOneCandidate) {
  const Path path = eastThenTurnPath(-1.0);
  std::vector<Point> points;
  path2PointList(path, points);

  DouglasPeuker analyser(0.1, 0.01, 30.0, 0.1, 1.0);
  analyser.key_points_ = {pointOf(path, 0), pointOf(path, 97), pointOf(path, 99),
                          pointOf(path, 200)};
  analyser.selectSunnyCorner(points);
  EXPECT_EQ(indicesOf(analyser.sunny_corners_), (std::vector<int32_t>{97}));

  analyser.sunny_corners_.clear();
  analyser.key_points_ = {pointOf(path, 0), pointOf(path, 96), pointOf(path, 99),
                          pointOf(path, 200)};
  analyser.selectSunnyCorner(points);
  EXPECT_EQ(indicesOf(analyser.sunny_corners_), (std::vector<int32_t>{96, 99}));
}

TEST(DouglasPeukerCorners, KeyPointsOffThePathAreRejectedSafely) {
  const Path path = eastThenTurnPath(-1.0);
  std::vector<Point> points;
  path2PointList(path, points);
  DouglasPeuker analyser = makeAnalyser();
  Point stray = pointOf(path, 99);
  stray.index = 5000;
  analyser.key_points_ = {pointOf(path, 0), stray, pointOf(path, 200)};
  analyser.selectSunnyCorner(points);
  EXPECT_TRUE(analyser.sunny_corners_.empty());

  Point broken = pointOf(path, 99);
  broken.left_far = 150;
  broken.left_near = 3000;
  analyser.sunny_corners_ = {broken};
  analyser.fromPoints2Line(points);
  EXPECT_TRUE(analyser.line_corners_.empty());
}

TEST(DouglasPeukerDiluting, ShortListsAreAppendedLastFirst) {
  DouglasPeuker analyser = makeAnalyser();
  std::vector<Point> none;
  analyser.diluting(none);
  EXPECT_TRUE(analyser.key_points_.empty());
  std::vector<Point> two = {pointOf(pathThrough({{0, 0}, {1, 0}}), 0),
                            pointOf(pathThrough({{0, 0}, {1, 0}}), 1)};
  analyser.diluting(two);
  EXPECT_EQ(indicesOf(analyser.key_points_), (std::vector<int32_t>{1, 0}));
  EXPECT_TRUE(analyser.pending_segments_.empty());
}

TEST(DouglasPeukerDiluting, SplitsAtFirstFarthestPointIntoTwoPendingLists) {
  // Points 2 and 4 lie equally far (1 m) from the chord; the first of them splits.
  const Path path = pathThrough({{0, 0}, {1, 0.5}, {2, 1}, {3, 0.5}, {4, 1}, {5, 0}});
  std::vector<Point> points;
  path2PointList(path, points);
  DouglasPeuker analyser = makeAnalyser(0.3);
  analyser.diluting(points);
  EXPECT_TRUE(analyser.key_points_.empty());
  ASSERT_EQ(analyser.pending_segments_.size(), 2u);
  EXPECT_EQ(indicesOf(analyser.pending_segments_[0]), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(indicesOf(analyser.pending_segments_[1]), (std::vector<int32_t>{2, 3, 4, 5}));
  EXPECT_EQ(points.size(), 6u);
}

TEST(DouglasPeukerDiluting, SegmentWithinThresholdKeepsItsEnds) {
  const Path path = pathThrough({{0, 0}, {1, 0.05}, {2, -0.05}, {3, 0}});
  std::vector<Point> points;
  path2PointList(path, points);
  DouglasPeuker analyser = makeAnalyser(0.1);
  analyser.diluting(points);
  EXPECT_EQ(indicesOf(analyser.key_points_), (std::vector<int32_t>{3, 0}));
  EXPECT_TRUE(analyser.pending_segments_.empty());
}

TEST(DouglasPeukerDiluting, MatchesRecursiveDouglasPeuckerOnRandomPolylines) {
  std::mt19937 rng(20240607);
  std::uniform_int_distribution<size_t> length(3, 160);
  std::uniform_real_distribution<double> threshold(0.02, 0.4);
  for (int trial = 0; trial < 300; ++trial) {
    const Path path = randomWalk(rng, length(rng));
    const double limit = threshold(rng);
    std::vector<int32_t> expected;
    recursiveKeyPoints(path, 0, path.size() - 1, limit, expected);

    DouglasPeuker analyser(limit, 0.05, 30.0, 0.1, 1.0);
    analyser.processPath(path);
    ASSERT_EQ(indicesOf(analyser.key_points_), expected)
        << "trial " << trial << ", threshold " << limit;
    for (const Point& key : analyser.key_points_) {
      EXPECT_EQ(key.x, path[key.index].pose.position.x);
      EXPECT_EQ(key.y, path[key.index].pose.position.y);
    }
  }
}

TEST(DouglasPeukerTermination, NonPositiveThresholdKeepsStraightRunsWhole) {
  // A straight run has no point off its chord: it stays one segment whatever the threshold.
  for (double limit : {0.0, -1.0}) {
    DouglasPeuker analyser = makeAnalyser(limit);
    analyser.processPath(polylinePath({{0, 0}, {5, 0}}, 0.05));
    EXPECT_EQ(indicesOf(analyser.key_points_), (std::vector<int32_t>{0, 100}));
  }
}

TEST(DouglasPeukerTermination, NonPositiveThresholdKeepsEveryBend) {
  const Path zigzag = pathThrough({{0, 0}, {1, 1}, {2, 0}, {3, 1}, {4, 0}, {5, 1}});
  DouglasPeuker analyser = makeAnalyser(0.0);
  analyser.processPath(zigzag);
  std::vector<int32_t> bends;
  for (const Point& key : analyser.key_points_) {
    if (bends.empty() || bends.back() != key.index) {
      bends.push_back(key.index);
    }
  }
  EXPECT_EQ(bends, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
}

TEST(DouglasPeukerTermination, NaNThresholdKeepsThePathWhole) {
  DouglasPeuker analyser = makeAnalyser(kNaN);
  analyser.processPath(eastThenTurnPath(-1.0));
  EXPECT_EQ(indicesOf(analyser.key_points_), (std::vector<int32_t>{0, 200}));
  EXPECT_TRUE(analyser.sunny_corners_.empty());
}

TEST(DouglasPeukerTermination, NonFiniteCoordinatesEnd) {
  Path path = eastThenTurnPath(-1.0);
  path[50].pose.position.y = kNaN;
  path[150].pose.position.x = std::numeric_limits<double>::infinity();
  DouglasPeuker analyser = makeAnalyser();
  analyser.processPath(path);
  ASSERT_FALSE(analyser.key_points_.empty());
  EXPECT_EQ(analyser.key_points_.front().index, 0);
  EXPECT_EQ(analyser.key_points_.back().index, 200);
  EXPECT_TRUE(analyser.pending_segments_.empty());

  Path all_nan = pathThrough({{kNaN, kNaN}, {kNaN, 0}, {0, kNaN}, {kNaN, kNaN}});
  analyser.processPath(all_nan);
  EXPECT_EQ(indicesOf(analyser.key_points_), (std::vector<int32_t>{0, 3}));
}

TEST(DouglasPeukerTermination, RepeatedPosesAndDegenerateSettingsEnd) {
  const Path still = pathThrough({{1, 1}, {1, 1}, {1, 1}, {1, 1}});
  DouglasPeuker analyser = makeAnalyser(0.0);
  analyser.processPath(still);
  EXPECT_EQ(indicesOf(analyser.key_points_), (std::vector<int32_t>{0, 3}));

  // Zero and NaN side lengths and margins give no corner but must not fail.
  for (double side : {0.0, kNaN}) {
    DouglasPeuker odd(0.1, 0.05, kNaN, 0.1, side);
    odd.processPath(eastThenTurnPath(-1.0));
    EXPECT_EQ(odd.key_points_.size(), 4u);
    EXPECT_TRUE(odd.sunny_corners_.empty());
  }
}

TEST(DouglasPeukerReset, ClearsResultsButKeepsSettings) {
  DouglasPeuker analyser(0.1, 0.01, 30.0, 0.05, 1.0);
  analyser.processPath(eastThenTurnPath(-1.0));
  ASSERT_FALSE(analyser.line_corners_.empty());
  analyser.cut_poses_.push_back(orvik_test::poseAt(1, 1));
  analyser.pending_segments_.push_back({Point()});
  analyser.reset();
  EXPECT_TRUE(analyser.key_points_.empty());
  EXPECT_TRUE(analyser.pending_segments_.empty());
  EXPECT_TRUE(analyser.sunny_corners_.empty());
  EXPECT_TRUE(analyser.line_corners_.empty());
  EXPECT_TRUE(analyser.cut_poses_.empty());
  EXPECT_EQ(analyser.dilute_threshold_, 0.1);
  EXPECT_EQ(analyser.max_fit_error_, 0.01);
  EXPECT_EQ(analyser.angle_margin_, 30.0);
  EXPECT_EQ(analyser.max_corner_shift_, 0.05);
  EXPECT_EQ(analyser.side_length_, 1.0);
  EXPECT_EQ(analyser.collision_checker_, nullptr);
}

}  // namespace
