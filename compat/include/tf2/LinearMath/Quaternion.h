// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cmath>

namespace tf2 {

/// Plain quaternion; construction does not normalise, as upstream.
class Quaternion {
 public:
  Quaternion() = default;
  Quaternion(double x, double y, double z, double w) : x_(x), y_(y), z_(z), w_(w) {}

  void setRPY(double roll, double pitch, double yaw) {
    const double hy = yaw * 0.5, hp = pitch * 0.5, hr = roll * 0.5;
    const double cy = std::cos(hy), sy = std::sin(hy);
    const double cp = std::cos(hp), sp = std::sin(hp);
    const double cr = std::cos(hr), sr = std::sin(hr);
    x_ = sr * cp * cy - cr * sp * sy;
    y_ = cr * sp * cy + sr * cp * sy;
    z_ = cr * cp * sy - sr * sp * cy;
    w_ = cr * cp * cy + sr * sp * sy;
  }
  void setValue(double x, double y, double z, double w) {
    x_ = x;
    y_ = y;
    z_ = z;
    w_ = w;
  }
  double getAngle() const { return 2.0 * std::acos(w_); }
  double length2() const { return x_ * x_ + y_ * y_ + z_ * z_ + w_ * w_; }
  double x() const { return x_; }
  double y() const { return y_; }
  double z() const { return z_; }
  double w() const { return w_; }

 private:
  double x_{0.0};
  double y_{0.0};
  double z_{0.0};
  double w_{0.0};
};

}  // namespace tf2
