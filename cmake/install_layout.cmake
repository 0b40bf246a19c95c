# SPDX-License-Identifier: Apache-2.0
# Where the parts of the package go, and how installed binaries find the libraries.

# The stand-ins of compat/ carry ROS names (rclcpp::, nav2_costmap_2d::, ...). They go where
# only our own libraries and CMake package reach them: a library folder of their own and an
# include folder below ours, never next to a ROS installation's libraries or headers.
set(ORVIK_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/orvik_planner)
set(ORVIK_COMPAT_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/orvik_planner/ros2_compat)

# Installed tools, libraries and downstream programs run without LD_LIBRARY_PATH: each looks
# for its libraries relative to itself. Libraries sit in LIBDIR, the private ones below it,
# programs in BINDIR.
file(RELATIVE_PATH _orvik_bin_to_lib "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
set(CMAKE_INSTALL_RPATH
  "$ORIGIN"
  "$ORIGIN/orvik_planner"
  "$ORIGIN/${_orvik_bin_to_lib}"
  "$ORIGIN/${_orvik_bin_to_lib}/orvik_planner")
