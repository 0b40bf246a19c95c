# SPDX-License-Identifier: Apache-2.0
# The packages that the exported targets of orvik_planner link against, other than ROS 2.
# Included by the package configuration, the standalone one and ament's alike.
include(CMakeFindDependencyMacro)
find_dependency(PkgConfig)
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
find_dependency(fmt)
find_dependency(spdlog)
list(APPEND CMAKE_MODULE_PATH "${CMAKE_CURRENT_LIST_DIR}")
find_dependency(OpenCVModules)
find_dependency(Eigen3 NO_MODULE)
find_dependency(Ceres)
