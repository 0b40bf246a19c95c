// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "orvik_nav2_planner/sunny_process.hpp"
#include "sunny_corner/path_builders.hpp"
#include "sunny_corner/stretch_search.hpp"

// The stretch search of the corner selection against the plain scans it replaces
// (leftMeanDistance, rightMeanDistance), and processPath against the analysis written with
// those scans, on random paths of the shapes that matter: jitter within half a metre (where
// the scans are slowest), planned-looking legs, random walks, repeated points and non-finite
// coordinates.

namespace {

using Path = std::vector<geometry_msgs::msg::PoseStamped>;

bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

::testing::AssertionResult samePoint(const Point& a, const Point& b) {
  const bool same = sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.angle, b.angle) &&
                    a.index == b.index && a.left_near == b.left_near && a.left_far == b.left_far &&
                    a.right_near == b.right_near && a.right_far == b.right_far &&
                    sameBits(a.heading_in, b.heading_in) && sameBits(a.heading_out, b.heading_out);
  if (same) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "index " << a.index << " vs " << b.index << ": (" << a.x << ", " << a.y << ") vs ("
         << b.x << ", " << b.y << "), left " << a.left_far << ".." << a.left_near << " vs "
         << b.left_far << ".." << b.left_near << ", right " << a.right_near << ".." << a.right_far
         << " vs " << b.right_near << ".." << b.right_far << ", angle " << a.angle << " vs "
         << b.angle;
}

void expectSameLists(const std::vector<Point>& actual, const std::vector<Point>& expected,
                     const std::string& what) {
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_TRUE(samePoint(actual[i], expected[i])) << what << " #" << i;
  }
}

enum class Shape { kJitterInPlace, kJitteredLegs, kRandomWalk, kRepeats, kNonFinite };

std::vector<Point> randomPoints(Shape shape, std::size_t count, std::mt19937& rng) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<Point> points;
  double x = 0.0;
  double y = 0.0;
  double heading = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    switch (shape) {
      case Shape::kJitterInPlace:  // inside a 0.5 m square
        x = 0.5 * unit(rng);
        y = 0.5 * unit(rng);
        break;
      case Shape::kJitteredLegs:
        if (unit(rng) < 0.03) {
          heading += (unit(rng) - 0.5) * 3.0;
        }
        x += 0.05 * std::cos(heading) + 0.02 * (unit(rng) - 0.5);
        y += 0.05 * std::sin(heading) + 0.02 * (unit(rng) - 0.5);
        break;
      case Shape::kRandomWalk:
        x += 0.2 * (unit(rng) - 0.5);
        y += 0.2 * (unit(rng) - 0.5);
        break;
      case Shape::kRepeats:  // few distinct places, visited again and again
        x = 0.25 * std::floor(unit(rng) * 6.0);
        y = 0.25 * std::floor(unit(rng) * 6.0);
        break;
      case Shape::kNonFinite:
        x = 1.5 * unit(rng);
        y = 1.5 * unit(rng);
        if (unit(rng) < 0.05) {
          const double odd[] = {std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(), 1e300};
          (unit(rng) < 0.5 ? x : y) = odd[static_cast<int>(unit(rng) * 4.0) % 4];
        }
        break;
    }
    Point p;
    p.x = x;
    p.y = y;
    p.index = static_cast<int32_t>(i);
    points.push_back(p);
  }
  return points;
}

const Shape kShapes[] = {Shape::kJitterInPlace, Shape::kJitteredLegs, Shape::kRandomWalk,
                         Shape::kRepeats, Shape::kNonFinite};

TEST(StretchSearch, FindsWhatTheScansFindForEveryCorner) {
  std::mt19937 rng(17);
  const double lengths[] = {0.3,
                            1.0,
                            0.0,
                            -1.0,
                            std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()};
  for (const Shape shape : kShapes) {
    for (const double length : lengths) {
      const std::vector<Point> points = randomPoints(shape, 150, rng);
      sunny_corner::StretchSearch search(points, length);
      std::vector<Point> scratch;
      // Every point as a corner, in an order unlike the path's, and a few off the path.
      std::vector<Point> corners = points;
      std::shuffle(corners.begin(), corners.end(), rng);
      for (int extra : {-1, 150, 151}) {
        Point off = points[0];
        off.index = extra;
        corners.push_back(off);
      }
      for (Point corner : corners) {
        Point expected = corner;
        const double expected_right = rightMeanDistance(points, scratch, expected, length);
        const double expected_left = leftMeanDistance(points, scratch, expected, length);
        const double right = search.right(corner);
        const double left = search.left(corner);
        SCOPED_TRACE("shape " + std::to_string(static_cast<int>(shape)) + ", length " +
                     std::to_string(length));
        EXPECT_TRUE(sameBits(right, expected_right)) << right << " vs " << expected_right;
        EXPECT_TRUE(sameBits(left, expected_left)) << left << " vs " << expected_left;
        EXPECT_TRUE(samePoint(corner, expected));
      }
    }
  }
}

// processPath as written with the plain scans: the split of processPath, then the corner
// selection with leftMeanDistance and rightMeanDistance, then the line corners.
void referenceProcessPath(DouglasPeuker& analyser, const Path& path) {
  analyser.reset();
  std::vector<Point> points;
  path2PointList(path, points);
  analyser.diluting(points);
  while (!analyser.pending_segments_.empty()) {
    std::vector<Point> segment = analyser.pending_segments_.back();
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
  if (candidates.size() < 3) {
    return;
  }
  std::vector<Point> scratch;
  for (std::size_t c = 1; c + 1 < candidates.size(); ++c) {
    Point corner = candidates[c];
    const double left = leftMeanDistance(points, scratch, corner, analyser.side_length_);
    const double right = rightMeanDistance(points, scratch, corner, analyser.side_length_);
    if (corner.left_near == -1 || corner.left_far == -1 || corner.right_near == -1 ||
        corner.right_far == -1) {
      continue;
    }
    const Point& a = points[corner.left_far];
    const Point& b = points[corner.left_near];
    const Point& c0 = points[corner.right_near];
    const Point& d = points[corner.right_far];
    const double ux = b.x - a.x;
    const double uy = b.y - a.y;
    const double vx = d.x - c0.x;
    const double vy = d.y - c0.y;
    const double cosine = ((ux * vx + uy * vy) / std::hypot(ux, uy)) / std::hypot(vx, vy);
    corner.angle = std::acos(std::clamp(cosine, -1.0, 1.0));
    if (ux * vy - uy * vx < 0.0 && analyser.max_fit_error_ >= left &&
        analyser.max_fit_error_ >= right && corner.angle >= analyser.angle_margin_ / 180.0 * M_PI &&
        corner.angle <= (180.0 - analyser.angle_margin_) / 180.0 * M_PI) {
      analyser.sunny_corners_.push_back(corner);
    }
  }
  analyser.fromPoints2Line(points);
}

Path toPath(const std::vector<Point>& points) {
  Path path;
  for (const Point& p : points) {
    path.push_back(orvik_test::poseAt(p.x, p.y));
  }
  return path;
}

TEST(StretchSearch, ProcessPathGivesTheResultsOfThePlainScans) {
  std::mt19937 rng(23);
  std::size_t corners_seen = 0;
  for (const Shape shape : kShapes) {
    for (int round = 0; round < 4; ++round) {
      const Path path = toPath(randomPoints(shape, 120 + 60 * round, rng));
      // Loose limits so that many corners pass, and the defaults of the benchmark.
      for (const double side : {0.2, 1.0}) {
        DouglasPeuker fast(0.02, 0.5, 10.0, 1.0, side);
        DouglasPeuker plain(0.02, 0.5, 10.0, 1.0, side);
        fast.processPath(path);
        referenceProcessPath(plain, path);
        const std::string what = "shape " + std::to_string(static_cast<int>(shape)) + " round " +
                                 std::to_string(round) + " side " + std::to_string(side);
        expectSameLists(fast.key_points_, plain.key_points_, what + " key points");
        expectSameLists(fast.sunny_corners_, plain.sunny_corners_, what + " sunny corners");
        expectSameLists(fast.line_corners_, plain.line_corners_, what + " line corners");
        corners_seen += plain.line_corners_.size();
      }
    }
  }
  EXPECT_GT(corners_seen, 20u) << "the paths must give the comparison corners to compare";
}

}  // namespace
