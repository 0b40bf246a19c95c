// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace orvik_test {

/// Independent footprint collision oracle: separating-axis test of the rotated convex footprint
/// against the closed square of every cell around the map, no shortcuts.
class BruteForceCollision {
 public:
  BruteForceCollision(const nav2_costmap_2d::Costmap2D& costmap,
                      std::vector<geometry_msgs::msg::Point> footprint, bool unknown_is_obstacle)
      : costmap_(costmap), footprint_(std::move(footprint)), unknown_(unknown_is_obstacle) {}

  bool blocked(int x, int y) const {
    if (x < 0 || y < 0 || x >= int(costmap_.getSizeInCellsX()) ||
        y >= int(costmap_.getSizeInCellsY())) {
      return true;
    }
    const unsigned char c = costmap_.getCost(x, y);
    return c == 254 || (unknown_ && c == 255);
  }

  bool collides(double wx, double wy, double theta) const {
    const double res = costmap_.getResolution();
    const double u = (wx - costmap_.getOriginX()) / res;
    const double v = (wy - costmap_.getOriginY()) / res;
    if (blocked(int(std::floor(u)), int(std::floor(v)))) {
      return true;
    }
    if (footprint_.size() < 3) {
      return false;
    }
    std::vector<double> pu, pv;
    for (const auto& p : footprint_) {
      pu.push_back(u + (std::cos(theta) * p.x - std::sin(theta) * p.y) / res);
      pv.push_back(v + (std::sin(theta) * p.x + std::cos(theta) * p.y) / res);
    }
    const int margin = 3;
    for (int y = -margin; y < int(costmap_.getSizeInCellsY()) + margin; ++y) {
      for (int x = -margin; x < int(costmap_.getSizeInCellsX()) + margin; ++x) {
        if (blocked(x, y) && squareTouchesPolygon(x, y, pu, pv)) {
          return true;
        }
      }
    }
    return false;
  }

 private:
  static bool squareTouchesPolygon(int x, int y, const std::vector<double>& pu,
                                   const std::vector<double>& pv) {
    const double sx[4] = {double(x), x + 1.0, x + 1.0, double(x)};
    const double sy[4] = {double(y), double(y), y + 1.0, y + 1.0};
    std::vector<std::pair<double, double>> axes = {{1, 0}, {0, 1}};
    for (std::size_t i = 0, j = pu.size() - 1; i < pu.size(); j = i++) {
      axes.push_back({-(pv[i] - pv[j]), pu[i] - pu[j]});
    }
    for (const auto& [ax, ay] : axes) {
      double smin = 1e300, smax = -1e300, pmin = 1e300, pmax = -1e300;
      for (int k = 0; k < 4; ++k) {
        const double d = sx[k] * ax + sy[k] * ay;
        smin = std::min(smin, d);
        smax = std::max(smax, d);
      }
      for (std::size_t k = 0; k < pu.size(); ++k) {
        const double d = pu[k] * ax + pv[k] * ay;
        pmin = std::min(pmin, d);
        pmax = std::max(pmax, d);
      }
      if (smax < pmin || pmax < smin) {
        return false;
      }
    }
    return true;
  }

  const nav2_costmap_2d::Costmap2D& costmap_;
  std::vector<geometry_msgs::msg::Point> footprint_;
  bool unknown_;
};

inline geometry_msgs::msg::Point point(double x, double y) {
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  return p;
}

}  // namespace orvik_test
