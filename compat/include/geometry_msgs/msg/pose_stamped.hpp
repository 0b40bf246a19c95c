// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

#include "geometry_msgs/msg/pose.hpp"
#include "std_msgs/msg/header.hpp"

namespace geometry_msgs::msg {

template <class ContainerAllocator>
struct PoseStamped_ {
  using SharedPtr = std::shared_ptr<PoseStamped_>;
  using ConstSharedPtr = std::shared_ptr<const PoseStamped_>;

  std_msgs::msg::Header header;
  Pose pose;

  bool operator==(const PoseStamped_& o) const { return header == o.header && pose == o.pose; }
  bool operator!=(const PoseStamped_& o) const { return !(*this == o); }
};

using PoseStamped = PoseStamped_<std::allocator<void>>;

}  // namespace geometry_msgs::msg
