// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"

// Plane geometry on path points: the records and stateless helpers that the Douglas-Peucker
// simplification and the sunny corner search (sunny_process.hpp) are built on. Coordinates are
// metres in the frame of the path, angles radians. Declared at global scope, as callers of the
// optimisation library expect.

/// A path position and, once it has been examined as a corner, that corner's bookkeeping.
struct Point {
  double x{0.0};
  double y{0.0};
  /// Turning angle at a corner, in [0, pi]; 0 is straight on, pi a reversal.
  double angle{0.0};
  /// Index of the pose in the source path.
  int32_t index{-1};
  /// Near and far end of the straightest stretch before the corner; -1 when none.
  int32_t left_near{-1};
  int32_t left_far{-1};
  /// Near and far end of the straightest stretch after the corner; -1 when none.
  int32_t right_near{-1};
  int32_t right_far{-1};
  /// Headings of the lines fitted before and after the corner.
  double heading_in{0.0};
  double heading_out{0.0};
};

/// A straight line y = k*x + b, or x = `x` when `vertical`. A line fitted with swapped axes
/// describes x = k*y + b; of such a line only `vertical`, `x` and `angle` are meaningful.
struct Line {
  double k{0.0};
  double b{0.0};
  bool vertical{false};
  double x{0.0};
  /// Heading of the line, from the first towards the last fitted point.
  double angle{0.0};
};

/// @return 1 for a positive value, 0 for zero, -1 for a negative value and for NaN.
int sgn(double v);

/// @return distance of p from the line through a and b; a chord whose ends differ by 0.05 or
/// less in x counts as vertical.
double point2LineDistance(Point p, Point a, Point b);

/// @return mean distance of the points from the line through a and b (99999.0 for an empty
/// list). Unless `absolute`, points above the line count negatively, so the result measures
/// how far the points lie to one side on balance. Never negative.
double points2LineMeanDistance(const std::vector<Point>& points, Point a, Point b, bool absolute);

/// Ordinary least-squares fit of v = k*u + b with (u, v) = (x, y), or (y, x) when `swap_axes`.
/// @return the line; k is 99999.0 when u does not vary. An empty list yields k = 99999.0,
/// b = 0 and angle 0, and is logged as an error.
Line fit(const std::vector<Point>& points, bool swap_axes);

/// @return mean distance of the points from their own fitted line (99999.0 for an empty list).
double points2FitLineMeanDistance(const std::vector<Point>& points, bool absolute);

/// @return the crossing of the two lines, only x and y set; parallel lines give infinite or
/// NaN coordinates.
Point intersection(Line l1, Line l2);

/// Searches, among stretches of `length` metres that start within 0.5 m after the corner,
/// the one closest to a straight line, and records its ends in the corner's `right_near` and
/// `right_far` (-1 when none). `segment` is the caller's working storage.
/// @return the best mean fit distance, or 10.0 when none is better.
double rightMeanDistance(const std::vector<Point>& points, std::vector<Point>& segment,
                         Point& corner, double length);

/// Mirror image of rightMeanDistance before the corner; sets `left_near` and `left_far`.
/// @return the best mean fit distance, or 10.0 when none is better.
double leftMeanDistance(const std::vector<Point>& points, std::vector<Point>& segment,
                        Point& corner, double length);

/// Replaces `points` with one point per pose: its x, y and its position in the path as index.
void path2PointList(const std::vector<geometry_msgs::msg::PoseStamped>& path,
                    std::vector<Point>& points);

/// Replaces `path` with one pose per point, at (x, y, 0) with identity orientation, zero stamp
/// and empty frame.
void pointList2path(std::vector<geometry_msgs::msg::PoseStamped>& path,
                    const std::vector<Point>& points);
