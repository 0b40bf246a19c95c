// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "legacy_cell_index.hpp"
#include "orvik/logger.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"

namespace orvik_nav2_planner::astar {

namespace {

struct CellBlock {
  unsigned int x;
  unsigned int y;
};

// Side of the corridor block in cells, ceil(distance / resolution / 2). Blocks are clipped to
// the map, so a side beyond the map's larger dimension marks nothing more; clamping there
// keeps huge or infinite distances from overflowing the conversion.
int64_t blockSide(double distance, double resolution, unsigned int size_x, unsigned int size_y) {
  const double side = std::ceil(distance / resolution * 0.5);
  const int64_t whole_map = std::max(size_x, size_y);
  if (!(side > 0.0)) {
    return 0;
  }
  return side >= static_cast<double>(whole_map) ? whole_map : static_cast<int64_t>(side);
}

// Inserts the union of the side x side blocks that start at each anchor cell and extend
// towards increasing x and y, clipped to the map.
void insertCorridor(const std::vector<CellBlock>& anchors, int64_t side, unsigned int size_x,
                    unsigned int size_y, std::unordered_set<int>& cells) {
  const uint64_t map_cells = static_cast<uint64_t>(size_x) * size_y;
  // A block holds at most the map's own width and height, which keeps this product in range.
  const uint64_t block_cells = std::min<uint64_t>(side, size_x) * std::min<uint64_t>(side, size_y);
  if (static_cast<uint64_t>(anchors.size()) * block_cells <= map_cells) {
    for (const CellBlock& anchor : anchors) {
      const int64_t x_end = std::min<int64_t>(anchor.x + side, size_x);
      const int64_t y_end = std::min<int64_t>(anchor.y + side, size_y);
      for (int64_t y = anchor.y; y < y_end; ++y) {
        for (int64_t x = anchor.x; x < x_end; ++x) {
          cells.insert(static_cast<int>(y * size_x + x));
        }
      }
    }
    return;
  }
  // Blocks that together outweigh the map (a wide corridor along a long path) are summed in
  // a 2D difference grid instead: O(1) per block plus one pass over the map, where marking
  // each block cell by cell would cost poses x side^2 set insertions.
  const uint64_t stride = static_cast<uint64_t>(size_x) + 1;
  std::vector<int32_t> diff(stride * (static_cast<uint64_t>(size_y) + 1), 0);
  for (const CellBlock& anchor : anchors) {
    const uint64_t x0 = anchor.x;
    const uint64_t y0 = anchor.y;
    const uint64_t x1 = std::min<uint64_t>(x0 + static_cast<uint64_t>(side), size_x);
    const uint64_t y1 = std::min<uint64_t>(y0 + static_cast<uint64_t>(side), size_y);
    ++diff[y0 * stride + x0];
    --diff[y0 * stride + x1];
    --diff[y1 * stride + x0];
    ++diff[y1 * stride + x1];
  }
  for (uint64_t y = 0; y < size_y; ++y) {
    for (uint64_t x = 0; x < size_x; ++x) {
      int32_t& here = diff[y * stride + x];
      if (x > 0) {
        here += diff[y * stride + x - 1];
      }
      if (y > 0) {
        here += diff[(y - 1) * stride + x];
      }
      if (x > 0 && y > 0) {
        here -= diff[(y - 1) * stride + x - 1];
      }
      if (here > 0) {
        cells.insert(static_cast<int>(y * size_x + x));
      }
    }
  }
}

}  // namespace

void AstarPlanner::setPathConstraint(const geometry_msgs::msg::PoseStamped& requested_robot_pose,
                                     const PathConstraint& constraint, GridMapPtr map) {
  if (constraint.path.poses.empty()) {
    return;
  }
  // The pose may be one of our own stored constraint poses, which the copy below replaces.
  const geometry_msgs::msg::PoseStamped robot_pose = requested_robot_pose;
  // A constraint refused below leaves none in force: the caller meant to replace the previous
  // one, and keeping it would bias later searches towards a path the caller has given up.
  auto refuse = [this] {
    path_constraint_ = PathConstraint{};
    constraint_cells_.clear();
    has_constraint_ = false;
  };
  const auto costmap = detail::masterCostmap(map);
  if (!costmap) {
    ORVIK_ERROR("AstarPlanner::setPathConstraint ignored, the grid map is missing");
    refuse();
    return;
  }
  const unsigned int size_x = costmap->getSizeInCellsX();
  const unsigned int size_y = costmap->getSizeInCellsY();
  if (!detail::fitsCellIndex(size_x, size_y)) {
    ORVIK_ERROR(
        "AstarPlanner::setPathConstraint ignored, a map of {} x {} cells exceeds 32-bit cell "
        "indices",
        size_x, size_y);
    refuse();
    return;
  }
  // A negative cost would make g fall along a path and a NaN would poison every key; either
  // would quietly corrupt all later searches of this planner.
  if (!(std::isfinite(constraint.cost) && constraint.cost >= 0.0)) {
    ORVIK_ERROR(
        "AstarPlanner::setPathConstraint ignored, the cost must be finite and not negative: {}",
        constraint.cost);
    refuse();
    return;
  }

  path_constraint_ = constraint;
  has_constraint_ = true;
  const double resolution = costmap->getResolution();
  constraint_cells_.clear();

  auto& poses = path_constraint_.path.poses;
  std::size_t nearest = 0;
  double nearest_distance = std::numeric_limits<double>::max();
  for (std::size_t i = 0; i < poses.size(); ++i) {
    const double d = std::hypot(poses[i].pose.position.x - robot_pose.pose.position.x,
                                poses[i].pose.position.y - robot_pose.pose.position.y);
    // Strictly smaller only: of equally near poses the first stays.
    if (d < nearest_distance) {
      nearest_distance = d;
      nearest = i;
    }
  }
  if (nearest > 0) {
    poses.erase(poses.begin(), poses.begin() + static_cast<std::ptrdiff_t>(nearest));
  }

  const int64_t side = blockSide(constraint.distance, resolution, size_x, size_y);
  if (poses.size() == 1) {
    return;
  }

  // The pose nearest the robot adds no block of its own; the walk continues past poses beyond
  // the distance or off the map, which add nothing either.
  std::vector<CellBlock> anchors;
  double length = 0.0;
  for (std::size_t i = 1; i < poses.size(); ++i) {
    length += std::hypot(poses[i].pose.position.x - poses[i - 1].pose.position.x,
                         poses[i].pose.position.y - poses[i - 1].pose.position.y);
    unsigned int px = 0;
    unsigned int py = 0;
    if (length <= constraint.distance && side > 0 &&
        costmap->worldToMap(poses[i].pose.position.x, poses[i].pose.position.y, px, py)) {
      anchors.push_back({px, py});
    }
  }
  insertCorridor(anchors, side, size_x, size_y, constraint_cells_);
}

double AstarPlanner::getPathConsistencyCost(const NodePtr& node, const GridMapPtr& map) {
  if (!has_constraint_) {
    return 0.0;
  }
  const auto costmap = detail::masterCostmap(map);
  int x = 0;
  int y = 0;
  if (!node || !costmap || !detail::truncateCoordinate(node->x, x) ||
      !detail::truncateCoordinate(node->y, y)) {
    return path_constraint_.cost;
  }
  // Cells off the map lie outside the corridor: their index would alias a cell of a
  // neighbouring row.
  const unsigned int size_x = costmap->getSizeInCellsX();
  const unsigned int size_y = costmap->getSizeInCellsY();
  if (x < 0 || y < 0 || static_cast<unsigned int>(x) >= size_x ||
      static_cast<unsigned int>(y) >= size_y || !detail::fitsCellIndex(size_x, size_y)) {
    return path_constraint_.cost;
  }
  const int index = detail::cellIndex(x, y, size_x);
  return constraint_cells_.count(index) != 0 ? 0.0 : path_constraint_.cost;
}

}  // namespace orvik_nav2_planner::astar
