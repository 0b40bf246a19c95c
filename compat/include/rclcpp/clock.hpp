// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "rcl/time.h"
#include "rclcpp/macros.hpp"
#include "rclcpp/time.hpp"

namespace rclcpp {

/// A clock of one kind. Without simulated time a ROS clock reads the system time, as upstream
/// does when use_sim_time is false.
class Clock {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS(Clock)

  explicit Clock(rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);

  Time now();
  rcl_clock_type_t get_clock_type() const noexcept;

 private:
  rcl_clock_type_t clock_type_;
};

}  // namespace rclcpp
