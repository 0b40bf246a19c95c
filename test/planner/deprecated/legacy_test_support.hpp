// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cmath>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <spdlog/sinks/base_sink.h>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/path.hpp"
#include "orvik/logger.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace legacy_test {

using GridMapPtr = std::shared_ptr<orvik_nav2_gridmap::GridMapROS>;

/// One log statement as the logger handed it to its sinks.
struct LogRecord {
  spdlog::level::level_enum level;
  std::string text;
  std::string file;
  std::string function;
};

/// Sink that keeps every record, so tests can check texts, levels and source locations.
class RecordingSink : public spdlog::sinks::base_sink<std::mutex> {
 public:
  std::vector<LogRecord> records;

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    records.push_back({msg.level, std::string(msg.payload.data(), msg.payload.size()),
                       msg.source.filename ? msg.source.filename : "",
                       msg.source.funcname ? msg.source.funcname : ""});
  }
  void flush_() override {}
};

/// Attaches a RecordingSink to the process-wide logger for its lifetime.
class LogCapture {
 public:
  LogCapture() : sink_(std::make_shared<RecordingSink>()) { logger()->sinks().push_back(sink_); }
  ~LogCapture() {
    auto& sinks = logger()->sinks();
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
      if (*it == sink_) {
        sinks.erase(it);
        break;
      }
    }
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const std::vector<LogRecord>& records() const { return sink_->records; }

  /// Number of records at `level` whose text ends with `text` (the facade prefixes a counter
  /// and the level tag).
  int count(spdlog::level::level_enum level, const std::string& text) const {
    int n = 0;
    for (const LogRecord& r : sink_->records) {
      if (r.level == level && r.text.size() >= text.size() &&
          r.text.compare(r.text.size() - text.size(), text.size(), text) == 0) {
        ++n;
      }
    }
    return n;
  }
  /// Records at WARN or above.
  int problems() const {
    int n = 0;
    for (const LogRecord& r : sink_->records) {
      n += r.level >= spdlog::level::warn ? 1 : 0;
    }
    return n;
  }

 private:
  static std::shared_ptr<spdlog::logger> logger() {
    return orvik::Logger::Instance("spdlog").logger;
  }
  std::shared_ptr<RecordingSink> sink_;
};

/// A pose at the centre of cell (x, y) of the map's master costmap, with a yaw heading.
inline geometry_msgs::msg::PoseStamped cellPose(const GridMapPtr& map, unsigned int x,
                                                unsigned int y, double yaw = 0.0) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = map->getGlobalFrame();
  map->getMultiGridMap()->getCostmap()->mapToWorld(x, y, pose.pose.position.x,
                                                   pose.pose.position.y);
  pose.pose.orientation.z = std::sin(yaw / 2.0);
  pose.pose.orientation.w = std::cos(yaw / 2.0);
  return pose;
}

/// Cells of a path, through worldToMap of its poses.
inline std::vector<std::pair<int, int>> pathCells(const GridMapPtr& map,
                                                  const nav_msgs::msg::Path& path) {
  std::vector<std::pair<int, int>> cells;
  const auto costmap = map->getMultiGridMap()->getCostmap();
  for (const auto& pose : path.poses) {
    unsigned int x = 0;
    unsigned int y = 0;
    costmap->worldToMap(pose.pose.position.x, pose.pose.position.y, x, y);
    cells.emplace_back(static_cast<int>(x), static_cast<int>(y));
  }
  return cells;
}

/// Breadth-first search over the 8-connected cells that are not in danger: the number of
/// steps from start to goal, or -1 when the goal cannot be reached. Independent of the
/// planner: it shares only the grid map's danger test.
inline int bfsSteps(const GridMapPtr& map, int sx, int sy, int gx, int gy, int danger_level) {
  const auto grid = map->getMultiGridMap();
  const int w = static_cast<int>(grid->getCostmap()->getSizeInCellsX());
  const int h = static_cast<int>(grid->getCostmap()->getSizeInCellsY());
  auto usable = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < w && y < h &&
           !grid->inDanger(static_cast<unsigned int>(x), static_cast<unsigned int>(y),
                           danger_level);
  };
  if (!usable(sx, sy) || !usable(gx, gy)) {
    return -1;
  }
  std::vector<int> steps(static_cast<std::size_t>(w) * h, -1);
  std::deque<std::pair<int, int>> queue{{sx, sy}};
  steps[static_cast<std::size_t>(sy) * w + sx] = 0;
  while (!queue.empty()) {
    const auto [x, y] = queue.front();
    queue.pop_front();
    if (x == gx && y == gy) {
      return steps[static_cast<std::size_t>(y) * w + x];
    }
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const int nx = x + dx;
        const int ny = y + dy;
        if ((dx != 0 || dy != 0) && usable(nx, ny) &&
            steps[static_cast<std::size_t>(ny) * w + nx] < 0) {
          steps[static_cast<std::size_t>(ny) * w + nx] =
              steps[static_cast<std::size_t>(y) * w + x] + 1;
          queue.emplace_back(nx, ny);
        }
      }
    }
  }
  return -1;
}

}  // namespace legacy_test
