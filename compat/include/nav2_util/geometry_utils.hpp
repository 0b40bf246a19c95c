// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "geometry_msgs/msg/quaternion.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace nav2_util::geometry_utils {

inline geometry_msgs::msg::Quaternion orientationAroundZAxis(double angle) {
  tf2::Quaternion q;
  q.setRPY(0, 0, angle);
  return tf2::toMsg(q);
}

}  // namespace nav2_util::geometry_utils
