// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "std_msgs/msg/header.hpp"

namespace orvik_nav2_protocol::msg {

/// A planned path with what the planner found out about it.
template <class ContainerAllocator>
struct Path_ {
  using SharedPtr = std::shared_ptr<Path_>;
  using ConstSharedPtr = std::shared_ptr<const Path_>;

  std_msgs::msg::Header header;
  std::vector<geometry_msgs::msg::PoseStamped> poses;
  float goal_tolerance{0.0f};
  /// Some cell of the path lies in a direction the robot cannot face by turning in place.
  bool spin_blocked_on_path{false};
  /// The in-place rotation check at the start failed.
  bool start_spin_blocked{false};
  /// Reserved for the consumer; the planners leave it at zero.
  uint32_t sequence{0};

  bool operator==(const Path_& o) const {
    return header == o.header && poses == o.poses && goal_tolerance == o.goal_tolerance &&
           spin_blocked_on_path == o.spin_blocked_on_path &&
           start_spin_blocked == o.start_spin_blocked && sequence == o.sequence;
  }
  bool operator!=(const Path_& o) const { return !(*this == o); }
};

using Path = Path_<std::allocator<void>>;

}  // namespace orvik_nav2_protocol::msg
