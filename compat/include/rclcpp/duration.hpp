// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <chrono>
#include <cstdint>

#include "builtin_interfaces/msg/duration.hpp"

namespace rclcpp {

using rcl_duration_value_t = int64_t;

/// Signed span of time kept in nanoseconds.
class Duration {
 public:
  Duration(int32_t seconds, uint32_t nanoseconds);
  explicit Duration(std::chrono::nanoseconds nanoseconds);
  template <class Rep, class Period>
  Duration(const std::chrono::duration<Rep, Period>& duration)  // NOLINT: implicit as upstream
      : Duration(std::chrono::duration_cast<std::chrono::nanoseconds>(duration)) {}
  Duration(const builtin_interfaces::msg::Duration& duration_msg);  // NOLINT: implicit as upstream
  Duration(const Duration& rhs) = default;
  Duration& operator=(const Duration& rhs) = default;

  static Duration from_seconds(double seconds);
  static Duration from_nanoseconds(rcl_duration_value_t nanoseconds);
  static Duration max();

  double seconds() const;
  rcl_duration_value_t nanoseconds() const;
  operator builtin_interfaces::msg::Duration() const;

  template <class DurationT>
  DurationT to_chrono() const {
    return std::chrono::duration_cast<DurationT>(std::chrono::nanoseconds(ns_));
  }

  bool operator==(const Duration& rhs) const { return ns_ == rhs.ns_; }
  bool operator!=(const Duration& rhs) const { return ns_ != rhs.ns_; }
  bool operator<(const Duration& rhs) const { return ns_ < rhs.ns_; }
  bool operator<=(const Duration& rhs) const { return ns_ <= rhs.ns_; }
  bool operator>(const Duration& rhs) const { return ns_ > rhs.ns_; }
  bool operator>=(const Duration& rhs) const { return ns_ >= rhs.ns_; }
  Duration operator+(const Duration& rhs) const;
  Duration operator-(const Duration& rhs) const;
  Duration operator*(double scale) const;

 private:
  Duration() = default;
  rcl_duration_value_t ns_{0};
};

}  // namespace rclcpp
