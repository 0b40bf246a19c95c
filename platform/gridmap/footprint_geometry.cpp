// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/footprint_geometry.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvik_nav2_gridmap::footprint_geometry {

namespace {

geometry_msgs::msg::Point makePoint(double x, double y) {
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  p.z = 0.0;
  return p;
}

double segmentDistanceToOrigin(const geometry_msgs::msg::Point& a,
                               const geometry_msgs::msg::Point& b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length_sq = dx * dx + dy * dy;
  double t = 0.0;
  if (length_sq > 0.0) {
    t = std::clamp(-(a.x * dx + a.y * dy) / length_sq, 0.0, 1.0);
  }
  return std::hypot(a.x + t * dx, a.y + t * dy);
}

bool originInside(const std::vector<geometry_msgs::msg::Point>& polygon) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const auto& a = polygon[i];
    const auto& b = polygon[j];
    if ((a.y > 0.0) != (b.y > 0.0) && 0.0 < (b.x - a.x) * (0.0 - a.y) / (b.y - a.y) + a.x) {
      inside = !inside;
    }
  }
  return inside;
}

}  // namespace

std::vector<geometry_msgs::msg::Point> footprintPolygon(const GridMapConfig& config) {
  if (!config.footprint.empty()) {
    return config.footprint;
  }
  if (!(config.robot_radius > 0.0)) {
    return {makePoint(0.0, 0.0)};
  }
  // Vertices on the circle of radius r / cos(pi / n) put the polygon's edges tangent to the
  // robot's circle.
  const double vertex_radius = config.robot_radius / std::cos(M_PI / kCircleVertices);
  std::vector<geometry_msgs::msg::Point> polygon;
  polygon.reserve(kCircleVertices);
  for (int i = 0; i < kCircleVertices; ++i) {
    const double angle = 2.0 * M_PI * i / kCircleVertices;
    polygon.push_back(makePoint(vertex_radius * std::cos(angle), vertex_radius * std::sin(angle)));
  }
  return polygon;
}

double circumscribedRadius(const std::vector<geometry_msgs::msg::Point>& polygon) {
  double radius = 0.0;
  for (const auto& p : polygon) {
    radius = std::max(radius, std::hypot(p.x, p.y));
  }
  return radius;
}

double inscribedRadius(const GridMapConfig& config) {
  if (config.footprint.empty()) {
    return std::max(0.0, config.robot_radius);
  }
  const auto& polygon = config.footprint;
  if (polygon.size() < 3 || !originInside(polygon)) {
    return 0.0;
  }
  double radius = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    radius = std::min(radius, segmentDistanceToOrigin(polygon[j], polygon[i]));
  }
  return radius;
}

}  // namespace orvik_nav2_gridmap::footprint_geometry
