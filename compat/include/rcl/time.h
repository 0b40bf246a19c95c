// SPDX-License-Identifier: Apache-2.0
#pragma once

/// The clock kinds of rcl; the values are upstream's.
typedef enum rcl_clock_type_e {
  RCL_CLOCK_UNINITIALIZED = 0,
  RCL_ROS_TIME,
  RCL_SYSTEM_TIME,
  RCL_STEADY_TIME
} rcl_clock_type_t;
