// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/line_geometry.hpp"

#include <cmath>

#include "orvik/logger.hpp"

namespace {

// A chord whose ends differ this little in x is treated as parallel to the y axis, which keeps
// the slope of a nearly vertical chord from blowing up.
constexpr double kVerticalChordDx = 0.05;
// Stands for an undefined slope and for the mean distance of an empty list.
constexpr double kUndefined = 99999.0;
// Below this spread of the abscissae the least-squares slope is undefined.
constexpr double kMinSpread = 1e-5;
// A line fitted with swapped axes whose slope is this small is taken as vertical.
constexpr double kVerticalSlope = 0.01;
// Starting best value of the stretch searches; any real fit of a stretch beats it.
constexpr double kNoStretch = 10.0;
// Stretches must start within this radius of the corner (compared squared: 0.5 m).
constexpr double kStretchStartRadiusSquared = 0.25;

double squaredDistance(const Point& a, const Point& b) {
  const double dx = a.x - b.x;
  const double dy = a.y - b.y;
  return dx * dx + dy * dy;
}

// Signed or absolute distance of p from y = k*x + c; points above the line count negatively.
double distanceFromSlopeLine(const Point& p, double k, double c, double norm, bool absolute) {
  const double e = std::fabs(k * p.x - p.y + c) / norm;
  if (!absolute && k * p.x + c - p.y < 0.0) {
    return -e;
  }
  return e;
}

}  // namespace

int sgn(double v) {
  if (v > 0.0) {
    return 1;
  }
  if (v == 0.0) {
    return 0;
  }
  return -1;
}

double point2LineDistance(Point p, Point a, Point b) {
  const double dx = a.x - b.x;
  if (std::fabs(dx) <= kVerticalChordDx) {
    return std::fabs(p.x - a.x);
  }
  const double k = (a.y - b.y) / dx;
  const double c = a.y - k * a.x;
  return std::fabs(k * p.x - p.y + c) / std::sqrt(k * k + 1.0);
}

double points2LineMeanDistance(const std::vector<Point>& points, Point a, Point b, bool absolute) {
  if (points.empty()) {
    return kUndefined;
  }
  double sum = 0.0;
  const double dx = a.x - b.x;
  if (std::fabs(dx) <= kVerticalChordDx) {
    for (const Point& p : points) {
      sum += absolute ? std::fabs(p.x - a.x) : p.x - a.x;
    }
  } else {
    const double k = (a.y - b.y) / dx;
    const double c = a.y - k * a.x;
    const double norm = std::sqrt(k * k + 1.0);
    for (const Point& p : points) {
      sum += distanceFromSlopeLine(p, k, c, norm, absolute);
    }
  }
  return std::fabs(sum / static_cast<double>(points.size()));
}

Line fit(const std::vector<Point>& points, bool swap_axes) {
  Line line;
  line.k = kUndefined;
  if (points.empty()) {
    ORVIK_ERROR("fit needs at least one point, got an empty list");
    return line;
  }
  const double n = static_cast<double>(points.size());
  auto u_of = [swap_axes](const Point& p) { return swap_axes ? p.y : p.x; };
  auto v_of = [swap_axes](const Point& p) { return swap_axes ? p.x : p.y; };

  double sum_u = 0.0;
  double sum_uu = 0.0;
  for (const Point& p : points) {
    sum_u += u_of(p);
    sum_uu += u_of(p) * u_of(p);
  }
  const double mean_u = sum_u / n;
  const double s_uu = sum_uu - n * mean_u * mean_u;
  double s_uv = 0.0;
  for (const Point& p : points) {
    s_uv += (u_of(p) - mean_u) * v_of(p);
  }
  if (std::fabs(s_uu) >= kMinSpread) {
    line.k = s_uv / s_uu;
  }
  double sum_residual = 0.0;
  for (const Point& p : points) {
    sum_residual += v_of(p) - line.k * u_of(p);
  }
  line.b = sum_residual / n;
  line.vertical = false;
  // The heading always follows x from the first to the last point, also for swapped axes.
  const double dx = points.back().x - points.front().x;
  line.angle = std::atan2(line.k * dx, dx);

  if (swap_axes && std::fabs(line.k) <= kVerticalSlope) {
    line.vertical = true;
    line.x = points[points.size() / 2].x;
    line.angle = sgn(points.back().y - points.front().y) * M_PI / 2.0;
  }
  return line;
}

double points2FitLineMeanDistance(const std::vector<Point>& points, bool absolute) {
  if (points.empty()) {
    return kUndefined;
  }
  const Line slope_line = fit(points, false);
  const Line swapped_line = fit(points, true);
  double sum = 0.0;
  if (swapped_line.vertical) {
    for (const Point& p : points) {
      const double d = swapped_line.x - p.x;
      sum += absolute ? std::fabs(d) : d;
    }
  } else {
    const double norm = std::sqrt(slope_line.k * slope_line.k + 1.0);
    for (const Point& p : points) {
      sum += distanceFromSlopeLine(p, slope_line.k, slope_line.b, norm, absolute);
    }
  }
  return std::fabs(sum / static_cast<double>(points.size()));
}

Point intersection(Line l1, Line l2) {
  Point crossing;
  if (l1.vertical && !l2.vertical) {
    crossing.x = l1.x;
    crossing.y = l2.k * l1.x + l2.b;
  } else if (l2.vertical && !l1.vertical) {
    crossing.x = l2.x;
    crossing.y = l1.k * l2.x + l1.b;
  } else {
    crossing.x = (l2.b - l1.b) / (l1.k - l2.k);
    crossing.y = l1.b + l1.k * crossing.x;
  }
  return crossing;
}

double rightMeanDistance(const std::vector<Point>& points, std::vector<Point>& segment,
                         Point& corner, double length) {
  corner.right_near = -1;
  corner.right_far = -1;
  double best = kNoStretch;
  const int64_t count = static_cast<int64_t>(points.size());
  if (corner.index < 0 || corner.index >= count) {
    return best;
  }
  for (int64_t i = corner.index; i < count; ++i) {
    if (squaredDistance(points[i], corner) >= kStretchStartRadiusSquared) {
      break;
    }
    int64_t j = i + 1;
    // Written as "not reached" so that NaN coordinates never end a stretch.
    while (j < count &&
           !(std::hypot(points[j].x - points[i].x, points[j].y - points[i].y) >= length)) {
      ++j;
    }
    if (j == count) {
      continue;
    }
    segment.assign(points.begin() + i, points.begin() + j);
    const double d = points2FitLineMeanDistance(segment, true);
    if (d < best) {
      best = d;
      corner.right_near = static_cast<int32_t>(i);
      corner.right_far = static_cast<int32_t>(j);
    }
  }
  return best;
}

double leftMeanDistance(const std::vector<Point>& points, std::vector<Point>& segment,
                        Point& corner, double length) {
  corner.left_near = -1;
  corner.left_far = -1;
  double best = kNoStretch;
  const int64_t count = static_cast<int64_t>(points.size());
  if (corner.index < 0 || corner.index >= count) {
    return best;
  }
  for (int64_t i = corner.index; i > 0; --i) {
    if (squaredDistance(points[i], corner) >= kStretchStartRadiusSquared) {
      break;
    }
    int64_t j = i - 1;
    while (j >= 0 &&
           !(std::hypot(points[j].x - points[i].x, points[j].y - points[i].y) >= length)) {
      --j;
    }
    if (j < 0) {
      continue;
    }
    segment.assign(points.begin() + j, points.begin() + i);
    const double d = points2FitLineMeanDistance(segment, true);
    if (d < best) {
      best = d;
      corner.left_near = static_cast<int32_t>(i);
      corner.left_far = static_cast<int32_t>(j);
    }
  }
  return best;
}

void path2PointList(const std::vector<geometry_msgs::msg::PoseStamped>& path,
                    std::vector<Point>& points) {
  points.clear();
  points.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    Point point;
    point.x = path[i].pose.position.x;
    point.y = path[i].pose.position.y;
    point.index = static_cast<int32_t>(i);
    points.push_back(point);
  }
}

void pointList2path(std::vector<geometry_msgs::msg::PoseStamped>& path,
                    const std::vector<Point>& points) {
  path.clear();
  path.reserve(points.size());
  for (const Point& point : points) {
    geometry_msgs::msg::PoseStamped pose;
    pose.pose.position.x = point.x;
    pose.pose.position.y = point.y;
    pose.pose.position.z = 0.0;
    path.push_back(pose);
  }
}
