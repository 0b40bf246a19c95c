// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cmath>
#include <deque>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik/logger.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_protocol/msg/path.hpp"
#include "support/grid_fixtures.hpp"
#include "support/log_capture.hpp"

namespace orvik_test {

/// A pose at the centre of cell (x, y) with heading yaw.
inline geometry_msgs::msg::PoseStamped cellPose(
    const std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map, unsigned int x, unsigned int y,
    double yaw = 0.0) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = map->getGlobalFrame();
  map->getMultiGridMap()->getCostmap()->mapToWorld(x, y, pose.pose.position.x,
                                                   pose.pose.position.y);
  pose.pose.orientation.z = std::sin(yaw / 2.0);
  pose.pose.orientation.w = std::cos(yaw / 2.0);
  return pose;
}

struct Cell {
  int x;
  int y;
  bool operator==(const Cell& o) const { return x == o.x && y == o.y; }
  bool operator!=(const Cell& o) const { return !(*this == o); }
};

/// Cells of a path, start first.
inline std::vector<Cell> pathCells(const std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map,
                                   const orvik_nav2_protocol::msg::Path& path) {
  std::vector<Cell> cells;
  auto costmap = map->getMultiGridMap()->getCostmap();
  for (const auto& pose : path.poses) {
    unsigned int mx = 0;
    unsigned int my = 0;
    costmap->worldToMap(pose.pose.position.x, pose.pose.position.y, mx, my);
    cells.push_back({static_cast<int>(mx), static_cast<int>(my)});
  }
  return cells;
}

/// Breadth-first reachability over 8-neighbours of cells not in danger at the level.
inline bool bfsReachable(const orvik_nav2_gridmap::MultiGridMap& grid, Cell from, Cell to,
                         int level) {
  auto costmap = grid.getCostmap();
  const int sx = static_cast<int>(costmap->getSizeInCellsX());
  const int sy = static_cast<int>(costmap->getSizeInCellsY());
  std::vector<char> seen(static_cast<std::size_t>(sx * sy), 0);
  std::deque<Cell> queue{from};
  seen[static_cast<std::size_t>(from.y * sx + from.x)] = 1;
  while (!queue.empty()) {
    const Cell c = queue.front();
    queue.pop_front();
    if (c == to) {
      return true;
    }
    for (int dx = -1; dx <= 1; ++dx) {
      for (int dy = -1; dy <= 1; ++dy) {
        const int nx = c.x + dx;
        const int ny = c.y + dy;
        if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= sx || ny >= sy) {
          continue;
        }
        if (seen[static_cast<std::size_t>(ny * sx + nx)] ||
            grid.inDanger(static_cast<unsigned int>(nx), static_cast<unsigned int>(ny), level)) {
          continue;
        }
        seen[static_cast<std::size_t>(ny * sx + nx)] = 1;
        queue.push_back({nx, ny});
      }
    }
  }
  return false;
}

}  // namespace orvik_test
