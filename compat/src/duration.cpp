// SPDX-License-Identifier: Apache-2.0
#include "rclcpp/duration.hpp"

#include <cmath>
#include <limits>

namespace rclcpp {

Duration::Duration(int32_t seconds, uint32_t nanoseconds)
    : ns_(static_cast<int64_t>(seconds) * 1000000000LL + nanoseconds) {}

Duration::Duration(std::chrono::nanoseconds nanoseconds) : ns_(nanoseconds.count()) {}

Duration::Duration(const builtin_interfaces::msg::Duration& duration_msg)
    : Duration(duration_msg.sec, duration_msg.nanosec) {}

Duration Duration::from_seconds(double seconds) {
  // Converting a double outside int64's range is undefined behaviour: a time limit beyond about
  // 292 years saturates at the longest representable duration (NaN gives none).
  constexpr double kLimit = 9223372036854775807.0;  // 2^63, the first double past INT64_MAX
  const double nanoseconds = seconds * 1e9;
  Duration d;
  if (std::isnan(nanoseconds)) {
    d.ns_ = 0;
  } else if (nanoseconds >= kLimit) {
    d.ns_ = std::numeric_limits<int64_t>::max();
  } else if (nanoseconds <= -kLimit) {
    d.ns_ = std::numeric_limits<int64_t>::min();
  } else {
    d.ns_ = static_cast<int64_t>(nanoseconds);
  }
  return d;
}

Duration Duration::from_nanoseconds(rcl_duration_value_t nanoseconds) {
  Duration d;
  d.ns_ = nanoseconds;
  return d;
}

Duration Duration::max() {
  return Duration(std::numeric_limits<int32_t>::max(), 999999999);
}

double Duration::seconds() const {
  return std::chrono::duration<double>(std::chrono::nanoseconds(ns_)).count();
}

rcl_duration_value_t Duration::nanoseconds() const {
  return ns_;
}

Duration::operator builtin_interfaces::msg::Duration() const {
  builtin_interfaces::msg::Duration msg;
  int64_t sec = ns_ / 1000000000LL;
  int64_t rem = ns_ % 1000000000LL;
  if (rem < 0) {
    rem += 1000000000LL;
    --sec;
  }
  msg.sec = static_cast<int32_t>(sec);
  msg.nanosec = static_cast<uint32_t>(rem);
  return msg;
}

Duration Duration::operator+(const Duration& rhs) const {
  return from_nanoseconds(ns_ + rhs.ns_);
}

Duration Duration::operator-(const Duration& rhs) const {
  return from_nanoseconds(ns_ - rhs.ns_);
}

Duration Duration::operator*(double scale) const {
  return from_nanoseconds(static_cast<int64_t>(static_cast<double>(ns_) * scale));
}

}  // namespace rclcpp
