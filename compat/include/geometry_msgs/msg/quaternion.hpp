// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

namespace geometry_msgs::msg {

// The message definition gives w a default of 1, so a default orientation is the identity.
template <class ContainerAllocator>
struct Quaternion_ {
  using SharedPtr = std::shared_ptr<Quaternion_>;
  using ConstSharedPtr = std::shared_ptr<const Quaternion_>;

  double x{0.0};
  double y{0.0};
  double z{0.0};
  double w{1.0};

  bool operator==(const Quaternion_& o) const {
    return x == o.x && y == o.y && z == o.z && w == o.w;
  }
  bool operator!=(const Quaternion_& o) const { return !(*this == o); }
};

using Quaternion = Quaternion_<std::allocator<void>>;

}  // namespace geometry_msgs::msg
