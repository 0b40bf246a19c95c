// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "geometry_msgs/msg/quaternion.hpp"
#include "tf2/LinearMath/Quaternion.h"

namespace tf2 {

inline void fromMsg(const geometry_msgs::msg::Quaternion& in, tf2::Quaternion& out) {
  out = tf2::Quaternion(in.x, in.y, in.z, in.w);
}

inline geometry_msgs::msg::Quaternion toMsg(const tf2::Quaternion& in) {
  geometry_msgs::msg::Quaternion out;
  out.x = in.x();
  out.y = in.y();
  out.z = in.z();
  out.w = in.w();
  return out;
}

}  // namespace tf2
