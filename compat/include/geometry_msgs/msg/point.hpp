// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

namespace geometry_msgs::msg {

template <class ContainerAllocator>
struct Point_ {
  using SharedPtr = std::shared_ptr<Point_>;
  using ConstSharedPtr = std::shared_ptr<const Point_>;

  double x{0.0};
  double y{0.0};
  double z{0.0};

  bool operator==(const Point_& o) const { return x == o.x && y == o.y && z == o.z; }
  bool operator!=(const Point_& o) const { return !(*this == o); }
};

using Point = Point_<std::allocator<void>>;

}  // namespace geometry_msgs::msg
