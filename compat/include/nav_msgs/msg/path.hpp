// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "std_msgs/msg/header.hpp"

namespace nav_msgs::msg {

template <class ContainerAllocator>
struct Path_ {
  using SharedPtr = std::shared_ptr<Path_>;
  using ConstSharedPtr = std::shared_ptr<const Path_>;

  std_msgs::msg::Header header;
  std::vector<geometry_msgs::msg::PoseStamped> poses;

  bool operator==(const Path_& o) const { return header == o.header && poses == o.poses; }
  bool operator!=(const Path_& o) const { return !(*this == o); }
};

using Path = Path_<std::allocator<void>>;

}  // namespace nav_msgs::msg
