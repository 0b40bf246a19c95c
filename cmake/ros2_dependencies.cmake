# SPDX-License-Identifier: Apache-2.0
# The ROS 2 Humble packages the libraries and plugins build against. The standalone build gives
# the same target name to compat/'s stand-ins, so the rest of the tree links one target either
# way.
set(ORVIK_ROS2_PACKAGES
  rclcpp rclcpp_lifecycle rcl_interfaces builtin_interfaces std_msgs geometry_msgs nav_msgs
  nav2_msgs nav2_core nav2_costmap_2d nav2_util nav2_constrained_smoother tf2 tf2_ros
  tf2_geometry_msgs pluginlib)
foreach(package IN LISTS ORVIK_ROS2_PACKAGES)
  find_package(${package} REQUIRED)
endforeach()

add_library(orvik_ros2_compat INTERFACE)
ament_target_dependencies(orvik_ros2_compat INTERFACE ${ORVIK_ROS2_PACKAGES})
target_link_libraries(orvik_ros2_compat INTERFACE Ceres::ceres Eigen3::Eigen)
