// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/quaternion.hpp"

namespace geometry_msgs::msg {

template <class ContainerAllocator>
struct Pose_ {
  using SharedPtr = std::shared_ptr<Pose_>;
  using ConstSharedPtr = std::shared_ptr<const Pose_>;

  Point position;
  Quaternion orientation;

  bool operator==(const Pose_& o) const {
    return position == o.position && orientation == o.orientation;
  }
  bool operator!=(const Pose_& o) const { return !(*this == o); }
};

using Pose = Pose_<std::allocator<void>>;

}  // namespace geometry_msgs::msg
