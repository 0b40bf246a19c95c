// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>

#include "builtin_interfaces/msg/time.hpp"
#include "rcl/time.h"

namespace rclcpp {

/// A point in time as signed nanoseconds on a clock of the given kind.
class Time {
 public:
  Time(int32_t seconds, uint32_t nanoseconds, rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);
  explicit Time(int64_t nanoseconds = 0, rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);
  Time(const builtin_interfaces::msg::Time& time_msg, rcl_clock_type_t clock_type = RCL_ROS_TIME);

  operator builtin_interfaces::msg::Time() const;

  double seconds() const;
  int64_t nanoseconds() const;
  rcl_clock_type_t get_clock_type() const;

 private:
  int64_t nanoseconds_;
  rcl_clock_type_t clock_type_;
};

}  // namespace rclcpp
