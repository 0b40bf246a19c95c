// SPDX-License-Identifier: Apache-2.0
#include "orvik_path_quality/path_quality.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace orvik_path_quality {

namespace {

// Poses closer than this are one position: a zero-length segment has no heading.
constexpr double kSamePositionM = 1e-6;
// Grid walk crossings closer than this (in cells) are one corner crossing.
constexpr double kCornerTolerance = 1e-9;

/// Cells passed along the path, in order, without immediate repeats; reads the layers.
class CellAccumulator {
 public:
  CellAccumulator(const orvik_nav2_gridmap::MultiGridMap& grid, bool cost_flag)
      : grid_(grid),
        size_x_(static_cast<long long>(grid.getCostmap()->getSizeInCellsX())),
        size_y_(static_cast<long long>(grid.getCostmap()->getSizeInCellsY())),
        cost_flag_(cost_flag) {}

  void visit(long long x, long long y) {
    if (x < 0 || y < 0 || x >= size_x_ || y >= size_y_) {
      return;
    }
    if (has_last_ && x == last_x_ && y == last_y_) {
      return;
    }
    has_last_ = true;
    last_x_ = x;
    last_y_ = y;
    const auto cx = static_cast<unsigned int>(x);
    const auto cy = static_cast<unsigned int>(y);
    const uint32_t cost = grid_.getCost(cx, cy, cost_flag_);
    min_clearance_ = std::min(min_clearance_, grid_.getDistance(cx, cy));
    max_cost_ = std::max(max_cost_, cost);
    cost_sum_ += cost;
    ++count_;
  }

  /// Every cell the segment between two points in cell units crosses, clipped to the map.
  /// @return the fraction of the segment on the map.
  double walkSegment(double ax, double ay, double bx, double by) {
    double t0 = 0.0;
    double t1 = 1.0;
    if (!clip(ax, ay, bx, by, t0, t1)) {
      return 0.0;
    }
    const double dx = bx - ax;
    const double dy = by - ay;
    const double sx = ax + t0 * dx;
    const double sy = ay + t0 * dy;
    const double ex = ax + t1 * dx;
    const double ey = ay + t1 * dy;
    long long x = clampCell(std::floor(sx), size_x_);
    long long y = clampCell(std::floor(sy), size_y_);
    const long long end_x = clampCell(std::floor(ex), size_x_);
    const long long end_y = clampCell(std::floor(ey), size_y_);
    const int step_x = dx > 0.0 ? 1 : -1;
    const int step_y = dy > 0.0 ? 1 : -1;
    const double inf = std::numeric_limits<double>::infinity();
    // Parameter along the clipped segment where the next vertical / horizontal line is crossed.
    const double span_x = ex - sx;
    const double span_y = ey - sy;
    double next_x = span_x == 0.0 ? inf : ((step_x > 0 ? x + 1 : x) - sx) / span_x;
    double next_y = span_y == 0.0 ? inf : ((step_y > 0 ? y + 1 : y) - sy) / span_y;
    const double delta_x = span_x == 0.0 ? inf : std::abs(1.0 / span_x);
    const double delta_y = span_y == 0.0 ? inf : std::abs(1.0 / span_y);
    visit(x, y);
    // Bounded by the cells between the ends, so a rounding slip cannot loop.
    long long steps_left = std::llabs(end_x - x) + std::llabs(end_y - y);
    while ((x != end_x || y != end_y) && steps_left-- > 0) {
      if (std::abs(next_x - next_y) <= kCornerTolerance) {
        x += step_x;
        y += step_y;
        next_x += delta_x;
        next_y += delta_y;
        --steps_left;
      } else if (next_x < next_y) {
        x += step_x;
        next_x += delta_x;
      } else {
        y += step_y;
        next_y += delta_y;
      }
      visit(x, y);
    }
    return t1 - t0;
  }

  double minClearance() const {
    return count_ ? min_clearance_ : std::numeric_limits<double>::quiet_NaN();
  }
  uint32_t maxCost() const { return max_cost_; }
  double meanCost() const {
    return count_ ? cost_sum_ / static_cast<double>(count_)
                  : std::numeric_limits<double>::quiet_NaN();
  }
  std::size_t count() const { return count_; }
  double sizeX() const { return static_cast<double>(size_x_); }
  double sizeY() const { return static_cast<double>(size_y_); }

 private:
  static long long clampCell(double cell, long long size) {
    return static_cast<long long>(std::clamp(cell, 0.0, static_cast<double>(size - 1)));
  }

  /// Liang-Barsky clip of the segment to the map rectangle [0, size_x] x [0, size_y].
  bool clip(double ax, double ay, double bx, double by, double& t0, double& t1) const {
    const double dx = bx - ax;
    const double dy = by - ay;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax, sizeX() - ax, ay, sizeY() - ay};
    for (int i = 0; i < 4; ++i) {
      if (p[i] == 0.0) {
        if (q[i] < 0.0) {
          return false;
        }
        continue;
      }
      const double t = q[i] / p[i];
      if (p[i] < 0.0) {
        t0 = std::max(t0, t);
      } else {
        t1 = std::min(t1, t);
      }
    }
    return t0 <= t1;
  }

  const orvik_nav2_gridmap::MultiGridMap& grid_;
  long long size_x_;
  long long size_y_;
  bool cost_flag_;
  bool has_last_{false};
  long long last_x_{0};
  long long last_y_{0};
  double min_clearance_{std::numeric_limits<double>::infinity()};
  uint32_t max_cost_{0};
  double cost_sum_{0.0};
  std::size_t count_{0};
};

/// Heading change from direction a to direction b, in [0, pi].
double turningAngle(double ax, double ay, double bx, double by) {
  return std::abs(std::atan2(ax * by - ay * bx, ax * bx + ay * by));
}

void measureShape(const std::vector<PathPoint>& points, PathQuality& quality) {
  std::vector<PathPoint> distinct;
  for (const auto& p : points) {
    if (distinct.empty() ||
        std::hypot(p.x - distinct.back().x, p.y - distinct.back().y) > kSamePositionM) {
      distinct.push_back(p);
    }
  }
  for (std::size_t i = 1; i < points.size(); ++i) {
    quality.length_m += std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
  }
  for (std::size_t i = 1; i + 1 < distinct.size(); ++i) {
    const double ax = distinct[i].x - distinct[i - 1].x;
    const double ay = distinct[i].y - distinct[i - 1].y;
    const double bx = distinct[i + 1].x - distinct[i].x;
    const double by = distinct[i + 1].y - distinct[i].y;
    const double turn = turningAngle(ax, ay, bx, by);
    quality.total_turning_rad += turn;
    const double mean_segment = 0.5 * (std::hypot(ax, ay) + std::hypot(bx, by));
    quality.max_curvature = std::max(quality.max_curvature, turn / mean_segment);
  }
}

}  // namespace

PathQuality measurePathQuality(const orvik_nav2_gridmap::GridMapROS& map,
                               const std::vector<PathPoint>& points, bool cost_flag) {
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) {
      throw std::invalid_argument("path point " + std::to_string(i) + " is not finite");
    }
  }
  const auto grid = map.getMultiGridMap();
  if (!grid || !grid->getCostmap()) {
    throw std::invalid_argument("the grid map has no layers");
  }
  const auto costmap = grid->getCostmap();
  const double resolution = costmap->getResolution();
  const double origin_x = costmap->getOriginX();
  const double origin_y = costmap->getOriginY();

  PathQuality quality;
  quality.pose_count = points.size();
  measureShape(points, quality);

  CellAccumulator cells(*grid, cost_flag);
  auto cellX = [&](const PathPoint& p) { return (p.x - origin_x) / resolution; };
  auto cellY = [&](const PathPoint& p) { return (p.y - origin_y) / resolution; };
  if (points.size() == 1) {
    cells.walkSegment(cellX(points[0]), cellY(points[0]), cellX(points[0]), cellY(points[0]));
  }
  for (std::size_t i = 1; i < points.size(); ++i) {
    const double on_map = cells.walkSegment(cellX(points[i - 1]), cellY(points[i - 1]),
                                            cellX(points[i]), cellY(points[i]));
    const double length = std::hypot(points[i].x - points[i - 1].x, points[i].y - points[i - 1].y);
    quality.off_map_length_m += (1.0 - on_map) * length;
  }
  quality.min_clearance_m = cells.minClearance();
  quality.max_cost = cells.maxCost();
  quality.mean_cost = cells.meanCost();
  quality.cells_passed = cells.count();
  return quality;
}

PathQuality measurePathQuality(const orvik_nav2_gridmap::GridMapROS& map,
                               const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                               bool cost_flag) {
  std::vector<PathPoint> points;
  points.reserve(poses.size());
  for (const auto& pose : poses) {
    points.push_back({pose.pose.position.x, pose.pose.position.y});
  }
  return measurePathQuality(map, points, cost_flag);
}

PathQuality combinePathQualities(const std::vector<PathQuality>& paths) {
  PathQuality route;
  route.min_clearance_m = std::numeric_limits<double>::quiet_NaN();
  route.mean_cost = std::numeric_limits<double>::quiet_NaN();
  double cost_sum = 0.0;
  for (const auto& q : paths) {
    route.pose_count += q.pose_count;
    route.length_m += q.length_m;
    route.total_turning_rad += q.total_turning_rad;
    route.max_curvature = std::max(route.max_curvature, q.max_curvature);
    route.off_map_length_m += q.off_map_length_m;
    if (q.cells_passed == 0) {
      continue;
    }
    route.min_clearance_m = std::isnan(route.min_clearance_m)
                                ? q.min_clearance_m
                                : std::min(route.min_clearance_m, q.min_clearance_m);
    route.max_cost = std::max(route.max_cost, q.max_cost);
    route.cells_passed += q.cells_passed;
    cost_sum += q.mean_cost * static_cast<double>(q.cells_passed);
  }
  if (route.cells_passed > 0) {
    route.mean_cost = cost_sum / static_cast<double>(route.cells_passed);
  }
  return route;
}

}  // namespace orvik_path_quality
