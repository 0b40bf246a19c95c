// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

namespace geometry_msgs::msg {

template <class ContainerAllocator>
struct Pose2D_ {
  using SharedPtr = std::shared_ptr<Pose2D_>;
  using ConstSharedPtr = std::shared_ptr<const Pose2D_>;

  double x{0.0};
  double y{0.0};
  double theta{0.0};

  bool operator==(const Pose2D_& o) const { return x == o.x && y == o.y && theta == o.theta; }
  bool operator!=(const Pose2D_& o) const { return !(*this == o); }
};

using Pose2D = Pose2D_<std::allocator<void>>;

}  // namespace geometry_msgs::msg
