#pragma once

#include <cmath>
#include <deque>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <spdlog/sinks/ostream_sink.h>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik/logger.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_protocol/msg/path.hpp"
#include "support/grid_fixtures.hpp"

namespace orvik_test {

/// Collects the log lines written while it lives.
class LogCapture {
 public:
  LogCapture() {
    sink_ = std::make_shared<spdlog::sinks::ostream_sink_mt>(stream_);
    sink_->set_pattern("%v");
    logger()->sinks().push_back(sink_);
    previous_level_ = logger()->level();
    logger()->set_level(spdlog::level::info);
  }
  ~LogCapture() {
    auto& sinks = logger()->sinks();
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
      if (*it == sink_) {
        sinks.erase(it);
        break;
      }
    }
    logger()->set_level(previous_level_);
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string text() const { return stream_.str(); }
  bool contains(const std::string& fragment) const {
    return text().find(fragment) != std::string::npos;
  }
  std::size_t count(const std::string& fragment) const {
    const std::string all = text();
    std::size_t n = 0;
    for (auto pos = all.find(fragment); pos != std::string::npos;
         pos = all.find(fragment, pos + 1)) {
      ++n;
    }
    return n;
  }

 private:
  static std::shared_ptr<spdlog::logger> logger() {
    return orvik::Logger::Instance("spdlog").logger;
  }
  std::ostringstream stream_;
  std::shared_ptr<spdlog::sinks::ostream_sink_mt> sink_;
  spdlog::level::level_enum previous_level_{spdlog::level::info};
};

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
