# SPDX-License-Identifier: Apache-2.0
# Chooses the build: against ROS 2 Humble through ament when it is found (colcon build in a
# sourced Humble workspace), otherwise standalone against the stand-ins in compat/.
set(ORVIK_ROS2 "AUTO" CACHE STRING
  "Build against ROS 2 through ament: ON, OFF (compat/ stand-ins) or AUTO (whichever is found)")
set_property(CACHE ORVIK_ROS2 PROPERTY STRINGS AUTO ON OFF)

if(ORVIK_ROS2 STREQUAL "OFF")
  set(ORVIK_WITH_ROS2 OFF)
elseif(ORVIK_ROS2 STREQUAL "ON")
  find_package(ament_cmake REQUIRED)
  set(ORVIK_WITH_ROS2 ON)
elseif(ORVIK_ROS2 STREQUAL "AUTO")
  find_package(ament_cmake QUIET)
  set(ORVIK_WITH_ROS2 ${ament_cmake_FOUND})
else()
  message(FATAL_ERROR "ORVIK_ROS2 must be AUTO, ON or OFF, not '${ORVIK_ROS2}'")
endif()

if(ORVIK_WITH_ROS2)
  message(STATUS "orvik_planner: building against ROS 2 (ament_cmake found)")
else()
  message(STATUS "orvik_planner: building standalone against the stand-ins in compat/")
endif()
