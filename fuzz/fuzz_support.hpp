// SPDX-License-Identifier: Apache-2.0
#pragma once

// Shared pieces of the fuzz targets: drawing awkward numbers, small maps and poses from the
// fuzzer's bytes, and checks that abort loudly so libFuzzer records the input.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "rclcpp/logger.hpp"

namespace orvik_fuzz {

/// Aborts with a message; used instead of assert so that the check survives NDEBUG builds.
#define ORVIK_FUZZ_CHECK(condition, ...)                                                        \
  do {                                                                                          \
    if (!(condition)) {                                                                         \
      std::fprintf(stderr, "fuzz check failed at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, "  " __VA_ARGS__);                                                   \
      std::fprintf(stderr, "\n");                                                               \
      std::abort();                                                                             \
    }                                                                                           \
  } while (false)

/// Keeps log lines off the terminal (the statements are still formatted, which is worth
/// exercising with NaN and infinite arguments). A caller's own setting wins.
inline void quietLogging() {
  setenv("SPDLOG_STDOUT", "false", 0);
  setenv("SPDLOG_SYSTEMD", "false", 0);
  setenv("SPDLOG_LEVEL", "debug", 0);
  // The grid map warns about danger clearances below the footprint's inscribed radius, which
  // fuzzed configurations draw all the time.
  rclcpp::get_logger("orvik_nav2_gridmap").set_level(rclcpp::Logger::Level::Error);
}

/// A number that is usually in `[low, high]` but now and then NaN, an infinity, a huge
/// magnitude, a denormal or a raw bit pattern: the values a caller's bug would hand over.
inline double awkwardDouble(FuzzedDataProvider& input, double low, double high) {
  switch (input.ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      return std::numeric_limits<double>::quiet_NaN();
    case 1:
      return std::numeric_limits<double>::infinity();
    case 2:
      return -std::numeric_limits<double>::infinity();
    case 3:
      return input.ConsumeBool() ? 1e300 : -1e300;
    case 4:
      return input.ConsumeBool() ? std::numeric_limits<double>::denorm_min() : -0.0;
    case 5:
      return input.ConsumeFloatingPoint<double>();
    case 6:
      return input.ConsumeBool() ? 1e9 : -1e9;
    default:
      return input.ConsumeFloatingPointInRange<double>(low, high);
  }
}

/// An integer that is usually small but may be an extreme of its type.
inline int32_t awkwardInt(FuzzedDataProvider& input, int32_t low, int32_t high) {
  switch (input.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      return std::numeric_limits<int32_t>::min();
    case 1:
      return std::numeric_limits<int32_t>::max();
    case 2:
      return input.ConsumeIntegral<int32_t>();
    default:
      return input.ConsumeIntegralInRange<int32_t>(low, high);
  }
}

/// A small costmap (up to max_side cells a side, possibly zero-sized) with fuzzed costs,
/// resolution and origin.
inline nav2_costmap_2d::Costmap2D smallCostmap(FuzzedDataProvider& input, unsigned int max_side) {
  const unsigned int size_x = input.ConsumeIntegralInRange<unsigned int>(0, max_side);
  const unsigned int size_y = input.ConsumeIntegralInRange<unsigned int>(0, max_side);
  static const double kResolutions[] = {0.05, 0.1, 0.25, 1.0, 0.013};
  const double resolution = kResolutions[input.ConsumeIntegralInRange<int>(0, 4)];
  const double origin_x = input.ConsumeBool() ? 0.0 : input.ConsumeFloatingPointInRange(-5.0, 5.0);
  const double origin_y = input.ConsumeBool() ? 0.0 : input.ConsumeFloatingPointInRange(-5.0, 5.0);
  nav2_costmap_2d::Costmap2D costmap(size_x, size_y, resolution, origin_x, origin_y, 0);
  for (unsigned int y = 0; y < size_y; ++y) {
    for (unsigned int x = 0; x < size_x; ++x) {
      // Mostly free cells so that searches have somewhere to go.
      unsigned char cost = nav2_costmap_2d::FREE_SPACE;
      switch (input.ConsumeIntegralInRange<int>(0, 9)) {
        case 0:
          cost = nav2_costmap_2d::LETHAL_OBSTACLE;
          break;
        case 1:
          cost = nav2_costmap_2d::NO_INFORMATION;
          break;
        case 2:
          cost = input.ConsumeIntegral<unsigned char>();
          break;
        default:
          break;
      }
      costmap.setCost(x, y, cost);
    }
  }
  return costmap;
}

/// A grid map configuration with a fuzzed robot size, danger clearances and inflation.
inline orvik_nav2_gridmap::GridMapConfig smallConfig(FuzzedDataProvider& input) {
  orvik_nav2_gridmap::GridMapConfig config;
  config.robot_radius = input.ConsumeFloatingPointInRange(0.0, 0.4);
  if (input.ConsumeBool()) {
    const double half = input.ConsumeFloatingPointInRange(0.01, 0.3);
    for (const auto& [x, y] :
         {std::pair{half, half}, {half, -half}, {-half, -half}, {-half, half}}) {
      geometry_msgs::msg::Point point;
      point.x = x;
      point.y = y;
      config.footprint.push_back(point);
    }
  }
  config.danger_clearances.clear();
  // No levels: the default clearance, the footprint's inscribed radius.
  const int levels = input.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < levels; ++i) {
    config.danger_clearances.push_back(input.ConsumeFloatingPointInRange(0.0, 0.5));
  }
  config.unknown_is_obstacle = input.ConsumeBool();
  config.inflation.enabled = input.ConsumeBool();
  config.inflation.inflation_radius = input.ConsumeFloatingPointInRange(0.0, 0.6);
  return config;
}

/// A small grid map, or null when the map library refuses the fuzzed geometry (that refusal is
/// the map library's business, not the entry point's under test).
inline std::shared_ptr<orvik_nav2_gridmap::GridMapROS> smallGridMap(FuzzedDataProvider& input,
                                                                    unsigned int max_side) {
  const nav2_costmap_2d::Costmap2D costmap = smallCostmap(input, max_side);
  const orvik_nav2_gridmap::GridMapConfig config = smallConfig(input);
  std::vector<int> passage_labels;
  if (input.ConsumeBool()) {
    passage_labels.resize(static_cast<size_t>(costmap.getSizeInCellsX()) *
                          costmap.getSizeInCellsY());
    for (int& label : passage_labels) {
      label = input.ConsumeIntegralInRange<int>(0, 3);
    }
  }
  try {
    return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, config,
                                                            std::move(passage_labels));
  } catch (const std::exception&) {
    return nullptr;
  }
}

/// A pose that is usually on or near the map, with a fuzzed heading, but may carry NaN,
/// infinite or huge coordinates and a non-normalised quaternion.
inline geometry_msgs::msg::PoseStamped awkwardPose(FuzzedDataProvider& input,
                                                   const nav2_costmap_2d::Costmap2D& costmap) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = "map";
  const double margin = 0.5;
  pose.pose.position.x = awkwardDouble(input, costmap.getOriginX() - margin,
                                       costmap.getOriginX() + costmap.getSizeInMetersX() + margin);
  pose.pose.position.y = awkwardDouble(input, costmap.getOriginY() - margin,
                                       costmap.getOriginY() + costmap.getSizeInMetersY() + margin);
  if (input.ConsumeBool()) {
    const double yaw = awkwardDouble(input, -4.0, 4.0);
    pose.pose.orientation.z = std::sin(yaw / 2);
    pose.pose.orientation.w = std::cos(yaw / 2);
  } else if (input.ConsumeBool()) {
    pose.pose.orientation.x = awkwardDouble(input, -1.0, 1.0);
    pose.pose.orientation.y = awkwardDouble(input, -1.0, 1.0);
    pose.pose.orientation.z = awkwardDouble(input, -1.0, 1.0);
    pose.pose.orientation.w = awkwardDouble(input, -1.0, 1.0);
  }
  return pose;
}

inline bool isFinitePose(const geometry_msgs::msg::PoseStamped& pose) {
  const auto& p = pose.pose.position;
  const auto& q = pose.pose.orientation;
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(q.x) &&
         std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

/// Equality that counts NaN as equal to NaN: "unchanged" checks must hold for NaN input too.
inline bool sameValue(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
}

inline bool samePose(const geometry_msgs::msg::PoseStamped& a,
                     const geometry_msgs::msg::PoseStamped& b) {
  const auto& pa = a.pose.position;
  const auto& pb = b.pose.position;
  const auto& qa = a.pose.orientation;
  const auto& qb = b.pose.orientation;
  return a.header == b.header && sameValue(pa.x, pb.x) && sameValue(pa.y, pb.y) &&
         sameValue(pa.z, pb.z) && sameValue(qa.x, qb.x) && sameValue(qa.y, qb.y) &&
         sameValue(qa.z, qb.z) && sameValue(qa.w, qb.w);
}

inline bool samePoses(const std::vector<geometry_msgs::msg::PoseStamped>& a,
                      const std::vector<geometry_msgs::msg::PoseStamped>& b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (!samePose(a[i], b[i])) {
      return false;
    }
  }
  return true;
}

/// Checks a planned grid path: every position finite, at the centre of a cell of the map, each
/// cell an 8-neighbour of the one before (or the same cell), and inner poses without heading.
inline void checkGridPath(const std::vector<geometry_msgs::msg::PoseStamped>& poses,
                          const nav2_costmap_2d::Costmap2D& costmap, const char* what) {
  const double resolution = costmap.getResolution();
  long previous_x = 0;
  long previous_y = 0;
  for (size_t i = 0; i < poses.size(); ++i) {
    const double wx = poses[i].pose.position.x;
    const double wy = poses[i].pose.position.y;
    ORVIK_FUZZ_CHECK(std::isfinite(wx) && std::isfinite(wy) && poses[i].pose.position.z == 0.0,
                     "%s: pose %zu is not finite or not at z 0", what, i);
    // Only the last pose carries a heading, the caller's goal orientation as it was given.
    const auto& q = poses[i].pose.orientation;
    ORVIK_FUZZ_CHECK(i + 1 == poses.size() || (q.x == 0 && q.y == 0 && q.z == 0 && q.w == 1),
                     "%s: inner pose %zu has an orientation", what, i);
    const double cx = (wx - costmap.getOriginX()) / resolution - 0.5;
    const double cy = (wy - costmap.getOriginY()) / resolution - 0.5;
    const long x = std::lround(cx);
    const long y = std::lround(cy);
    ORVIK_FUZZ_CHECK(std::fabs(cx - x) < 1e-3 && std::fabs(cy - y) < 1e-3,
                     "%s: pose %zu (%f, %f) is not at a cell centre", what, i, wx, wy);
    ORVIK_FUZZ_CHECK(x >= 0 && y >= 0 && x < static_cast<long>(costmap.getSizeInCellsX()) &&
                         y < static_cast<long>(costmap.getSizeInCellsY()),
                     "%s: pose %zu (%f, %f) is off the map", what, i, wx, wy);
    if (i > 0) {
      ORVIK_FUZZ_CHECK(std::labs(x - previous_x) <= 1 && std::labs(y - previous_y) <= 1,
                       "%s: pose %zu jumps from cell (%ld, %ld) to (%ld, %ld)", what, i, previous_x,
                       previous_y, x, y);
    }
    previous_x = x;
    previous_y = y;
  }
}

}  // namespace orvik_fuzz
