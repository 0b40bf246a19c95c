// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

#include "geometry_msgs/msg/vector3.hpp"

namespace geometry_msgs::msg {

template <class ContainerAllocator>
struct Twist_ {
  using SharedPtr = std::shared_ptr<Twist_>;
  using ConstSharedPtr = std::shared_ptr<const Twist_>;

  Vector3 linear;
  Vector3 angular;

  bool operator==(const Twist_& o) const { return linear == o.linear && angular == o.angular; }
  bool operator!=(const Twist_& o) const { return !(*this == o); }
};

using Twist = Twist_<std::allocator<void>>;

}  // namespace geometry_msgs::msg
