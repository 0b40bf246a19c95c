# SPDX-License-Identifier: Apache-2.0
# The ament side of the package: plugin registration, exports, and the package itself.
pluginlib_export_plugin_description_file(nav2_core plugins/orvik_planner_plugins.xml)

ament_export_targets(orvik_plannerTargets HAS_LIBRARY_TARGET NAMESPACE orvik::)
ament_export_include_directories(include)
ament_export_dependencies(${ORVIK_ROS2_PACKAGES})
# spdlog, fmt, libsystemd, OpenCV, Ceres and Eigen are found as our own CMake package finds
# them.
ament_package(CONFIG_EXTRAS cmake/orvik_planner_dependencies.cmake)
