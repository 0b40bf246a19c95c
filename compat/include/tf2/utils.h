// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cmath>

#include "geometry_msgs/msg/quaternion.hpp"
#include "tf2/LinearMath/Quaternion.h"

namespace tf2 {

// Declared here and defined in tf2_geometry_msgs, as upstream: a caller of getYaw on a message
// must include that header too.
void fromMsg(const geometry_msgs::msg::Quaternion& in, tf2::Quaternion& out);

namespace impl {

inline tf2::Quaternion toQuaternion(const tf2::Quaternion& q) {
  return q;
}

inline tf2::Quaternion toQuaternion(const geometry_msgs::msg::Quaternion& q) {
  tf2::Quaternion out;
  fromMsg(q, out);
  return out;
}

inline void getEulerYPR(const tf2::Quaternion& q, double& yaw, double& pitch, double& roll) {
  const double sqx = q.x() * q.x(), sqy = q.y() * q.y(), sqz = q.z() * q.z(), sqw = q.w() * q.w();
  // The scale makes the result independent of the quaternion's norm.
  const double sarg = -2 * (q.x() * q.z() - q.w() * q.y()) / (sqx + sqy + sqz + sqw);
  if (sarg <= -0.99999) {
    pitch = -0.5 * M_PI_2;
    roll = 0;
    yaw = -2 * std::atan2(q.y(), q.x());
  } else if (sarg >= 0.99999) {
    pitch = 0.5 * M_PI_2;
    roll = 0;
    yaw = 2 * std::atan2(q.y(), q.x());
  } else {
    pitch = std::asin(sarg);
    roll = std::atan2(2 * (q.y() * q.z() + q.w() * q.x()), sqw - sqx - sqy + sqz);
    yaw = std::atan2(2 * (q.x() * q.y() + q.w() * q.z()), sqw + sqx - sqy - sqz);
  }
}

inline double getYaw(const tf2::Quaternion& q) {
  double yaw, pitch, roll;
  getEulerYPR(q, yaw, pitch, roll);
  return yaw;
}

}  // namespace impl

template <class A>
void getEulerYPR(const A& a, double& yaw, double& pitch, double& roll) {
  impl::getEulerYPR(impl::toQuaternion(a), yaw, pitch, roll);
}

template <class A>
double getYaw(const A& a) {
  return impl::getYaw(impl::toQuaternion(a));
}

}  // namespace tf2
