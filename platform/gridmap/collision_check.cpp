// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/collision_check.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "orvik_nav2_gridmap/footprint_geometry.hpp"

namespace Collision {

namespace {

// Grid geometry of the map, with the pose expressed in cell units (cell (i, j) covers
// [i, i + 1) x [j, j + 1)).
struct CellFrame {
  double origin_x, origin_y, resolution;
  double size_x, size_y;
};

CellFrame cellFrame(const nav2_costmap_2d::Costmap2D& costmap) {
  return {costmap.getOriginX(), costmap.getOriginY(), costmap.getResolution(),
          static_cast<double>(costmap.getSizeInCellsX()),
          static_cast<double>(costmap.getSizeInCellsY())};
}

}  // namespace

CollisionCheck::CollisionCheck(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map)
    : map_(std::move(map)) {
  if (!map_ || !map_->getMultiGridMap()) {
    throw std::invalid_argument("CollisionCheck: no grid map");
  }
  grid_ = map_->getMultiGridMap();
  footprint_ = orvik_nav2_gridmap::footprint_geometry::footprintPolygon(grid_->getConfig());
  circumscribed_radius_ = orvik_nav2_gridmap::footprint_geometry::circumscribedRadius(footprint_);
}

std::shared_ptr<orvik_nav2_gridmap::GridMapROS> CollisionCheck::getMap() const {
  return map_;
}

const std::vector<geometry_msgs::msg::Point>& CollisionCheck::getFootprint() const {
  return footprint_;
}

double CollisionCheck::getCircumscribedRadius() const {
  return circumscribed_radius_;
}

bool CollisionCheck::isFullTurnSurelyFree(double x, double y) const {
  if (!std::isfinite(x) || !std::isfinite(y)) {
    return false;
  }
  const CellFrame frame = cellFrame(*grid_->getCostmap());
  const double u = (x - frame.origin_x) / frame.resolution;
  const double v = (y - frame.origin_y) / frame.resolution;
  const double r = circumscribed_radius_ / frame.resolution;
  // Every cell the turning footprint can touch must lie on the map.
  if (!(u - r >= 0.0 && v - r >= 0.0 && u + r < frame.size_x && v + r < frame.size_y)) {
    return false;
  }
  // A touched cell has its centre within r + sqrt(2)/2 cells of the pose, and the pose lies
  // within sqrt(2)/2 cells of its own cell centre: an obstacle centre farther than r + sqrt(2)
  // from that centre cannot be touched at any heading.
  const double clearance_m = (r + M_SQRT2) * frame.resolution;
  return grid_->getDistance(static_cast<unsigned int>(u), static_cast<unsigned int>(v)) >
         clearance_m;
}

bool CollisionCheck::isCollisionFreePose(const geometry_msgs::msg::Pose2D& pose, bool /*flag*/) {
  if (!std::isfinite(pose.x) || !std::isfinite(pose.y) || !std::isfinite(pose.theta)) {
    return false;
  }
  const CellFrame frame = cellFrame(*grid_->getCostmap());
  const double u = (pose.x - frame.origin_x) / frame.resolution;
  const double v = (pose.y - frame.origin_y) / frame.resolution;
  if (!(u >= 0.0 && v >= 0.0 && u < frame.size_x && v < frame.size_y)) {
    return false;
  }
  if (grid_->isObstacle(static_cast<unsigned int>(u), static_cast<unsigned int>(v))) {
    return false;
  }
  // Most poses a planner asks about are well clear of obstacles: one distance lookup answers
  // them without rasterising the footprint.
  if (isFullTurnSurelyFree(pose.x, pose.y)) {
    return true;
  }
  if (footprint_.size() < 3) {
    return true;  // a point robot covers only its own cell, checked above
  }

  const double c = std::cos(pose.theta) / frame.resolution;
  const double s = std::sin(pose.theta) / frame.resolution;
  const std::size_t n = footprint_.size();
  // Small fixed buffers: footprints have a handful of vertices, and the planners call this in
  // tight loops where a heap allocation per call would dominate.
  constexpr std::size_t kStackVertices = 64;
  double stack_u[kStackVertices], stack_v[kStackVertices];
  std::vector<double> heap_u, heap_v;
  double* pu = stack_u;
  double* pv = stack_v;
  if (n > kStackVertices) {
    heap_u.resize(n);
    heap_v.resize(n);
    pu = heap_u.data();
    pv = heap_v.data();
  }
  double u_min = u, u_max = u, v_min = v, v_max = v;
  for (std::size_t k = 0; k < n; ++k) {
    pu[k] = u + c * footprint_[k].x - s * footprint_[k].y;
    pv[k] = v + s * footprint_[k].x + c * footprint_[k].y;
    u_min = std::min(u_min, pu[k]);
    u_max = std::max(u_max, pu[k]);
    v_min = std::min(v_min, pv[k]);
    v_max = std::max(v_max, pv[k]);
  }
  if (!(u_min >= 0.0 && v_min >= 0.0 && u_max < frame.size_x && v_max < frame.size_y)) {
    return false;
  }

  // Row by row: the footprint's slice of the strip [row, row + 1] spans the x-range of its
  // outline clipped to the strip (exact for a convex polygon, a superset otherwise).
  const int row_first = static_cast<int>(v_min);
  const int row_last = static_cast<int>(v_max);
  for (int row = row_first; row <= row_last; ++row) {
    const double lo = row;
    const double hi = row + 1.0;
    double x_min = std::numeric_limits<double>::infinity();
    double x_max = -std::numeric_limits<double>::infinity();
    for (std::size_t k = 0, j = n - 1; k < n; j = k++) {
      double au = pu[j], av = pv[j], bu = pu[k], bv = pv[k];
      if (av > bv) {
        std::swap(au, bu);
        std::swap(av, bv);
      }
      if (bv < lo || av > hi) {
        continue;
      }
      const double dv = bv - av;
      double t0 = 0.0, t1 = 1.0;
      if (dv > 0.0) {
        t0 = std::max(0.0, (lo - av) / dv);
        t1 = std::min(1.0, (hi - av) / dv);
      }
      const double x0 = au + t0 * (bu - au);
      const double x1 = au + t1 * (bu - au);
      x_min = std::min(x_min, std::min(x0, x1));
      x_max = std::max(x_max, std::max(x0, x1));
    }
    if (x_min > x_max) {
      continue;
    }
    const int col_last = static_cast<int>(x_max);
    for (int col = static_cast<int>(x_min); col <= col_last; ++col) {
      if (grid_->isObstacle(static_cast<unsigned int>(col), static_cast<unsigned int>(row))) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace Collision
