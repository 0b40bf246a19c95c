// SPDX-License-Identifier: Apache-2.0
#include "nav2_costmap_2d/footprint.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace nav2_costmap_2d {

namespace {

double distanceToSegment(double px, double py, double x0, double y0, double x1, double y1) {
  const double dx = x1 - x0;
  const double dy = y1 - y0;
  const double length_sq = dx * dx + dy * dy;
  double t = length_sq > 0.0 ? ((px - x0) * dx + (py - y0) * dy) / length_sq : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (x0 + t * dx), py - (y0 + t * dy));
}

double signOf(double value) {
  return value < 0.0 ? -1.0 : (value > 0.0 ? 1.0 : 0.0);
}

}  // namespace

void calculateMinAndMaxDistances(const std::vector<geometry_msgs::msg::Point>& footprint,
                                 double& min_dist, double& max_dist) {
  if (footprint.empty()) {
    return;
  }
  min_dist = std::numeric_limits<double>::max();
  max_dist = 0.0;
  for (std::size_t i = 0; i < footprint.size(); ++i) {
    const auto& a = footprint[i];
    const auto& b = footprint[(i + 1) % footprint.size()];
    const double vertex_dist = std::hypot(a.x, a.y);
    const double edge_dist = distanceToSegment(0.0, 0.0, a.x, a.y, b.x, b.y);
    min_dist = std::min(min_dist, std::min(vertex_dist, edge_dist));
    max_dist = std::max(max_dist, vertex_dist);
  }
}

void padFootprint(std::vector<geometry_msgs::msg::Point>& footprint, double padding) {
  for (auto& point : footprint) {
    point.x += signOf(point.x) * padding;
    point.y += signOf(point.y) * padding;
  }
}

std::vector<geometry_msgs::msg::Point> makeFootprintFromRadius(double radius) {
  constexpr int kVertices = 16;
  std::vector<geometry_msgs::msg::Point> points;
  points.reserve(kVertices);
  for (int i = 0; i < kVertices; ++i) {
    const double angle = i * 2.0 * M_PI / kVertices;
    geometry_msgs::msg::Point point;
    point.x = std::cos(angle) * radius;
    point.y = std::sin(angle) * radius;
    points.push_back(point);
  }
  return points;
}

}  // namespace nav2_costmap_2d
