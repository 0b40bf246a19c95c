// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

namespace geometry_msgs::msg {

template <class ContainerAllocator>
struct Vector3_ {
  using SharedPtr = std::shared_ptr<Vector3_>;
  using ConstSharedPtr = std::shared_ptr<const Vector3_>;

  double x{0.0};
  double y{0.0};
  double z{0.0};

  bool operator==(const Vector3_& o) const { return x == o.x && y == o.y && z == o.z; }
  bool operator!=(const Vector3_& o) const { return !(*this == o); }
};

using Vector3 = Vector3_<std::allocator<void>>;

}  // namespace geometry_msgs::msg
