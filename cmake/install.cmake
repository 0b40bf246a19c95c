# SPDX-License-Identifier: Apache-2.0
# Installs the three core libraries with what they link against, the public headers and a CMake
# package, so that a downstream project can find_package(orvik_planner).
include(CMakePackageConfigHelpers)

set(ORVIK_INSTALL_TARGETS orvik_logging orvik_nav2_protocol orvik_nav2_gridmap orvik_nav2_tools
  orvik_planner_astar2_core orvik_planner_optimize_core orvik_planner_deprecated_astar_core
  orvik_nav2_plugins)

install(TARGETS ${ORVIK_INSTALL_TARGETS}
  EXPORT orvik_plannerTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Standalone: compat/'s stand-ins, kept private (cmake/install_layout.cmake). With ROS 2 the
# target only names the real packages.
install(TARGETS orvik_ros2_compat
  EXPORT orvik_plannerTargets
  LIBRARY DESTINATION ${ORVIK_PRIVATE_LIBDIR}
  ARCHIVE DESTINATION ${ORVIK_PRIVATE_LIBDIR})
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY platform/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvik_platform)
install(DIRECTORY plugins/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(NOT ORVIK_WITH_ROS2)
  install(DIRECTORY compat/include/ DESTINATION ${ORVIK_COMPAT_INSTALL_INCLUDEDIR})
endif()

if(ORVIK_WITH_ROS2)
  # ament_package() writes the package configuration into share/orvik_planner/cmake; these are
  # the pieces it includes from there (cmake/ros2_package.cmake).
  install(FILES
    ${PROJECT_SOURCE_DIR}/cmake/FindOpenCVModules.cmake
    DESTINATION share/${PROJECT_NAME}/cmake)
else()
  set(ORVIK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/orvik_planner)
  install(EXPORT orvik_plannerTargets NAMESPACE orvik:: DESTINATION ${ORVIK_CMAKE_DIR})
  configure_package_config_file(cmake/orvik_plannerConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/orvik_plannerConfig.cmake
    INSTALL_DESTINATION ${ORVIK_CMAKE_DIR})
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/orvik_plannerConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
  install(FILES
    ${PROJECT_SOURCE_DIR}/cmake/FindOpenCVModules.cmake
    ${PROJECT_SOURCE_DIR}/cmake/orvik_planner_dependencies.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/orvik_plannerConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/orvik_plannerConfigVersion.cmake
    DESTINATION ${ORVIK_CMAKE_DIR})
endif()
