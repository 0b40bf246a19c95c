# Installs the three core libraries with what they link against, the public headers and a CMake
# package, so that a downstream project can find_package(orvik_planner).
include(CMakePackageConfigHelpers)

set(ORVIK_INSTALL_TARGETS orvik_logging orvik_ros2_compat orvik_nav2_protocol orvik_nav2_gridmap
  orvik_nav2_tools)
foreach(lib orvik_planner_astar2_core orvik_planner_optimize_core orvik_planner_deprecated_astar_core)
  if(TARGET ${lib})
    list(APPEND ORVIK_INSTALL_TARGETS ${lib})
  endif()
endforeach()

install(TARGETS ${ORVIK_INSTALL_TARGETS}
  EXPORT orvik_plannerTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY compat/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvik_ros2_compat)
install(DIRECTORY platform/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvik_platform)

set(ORVIK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/orvik_planner)
install(EXPORT orvik_plannerTargets NAMESPACE orvik:: DESTINATION ${ORVIK_CMAKE_DIR})
configure_package_config_file(cmake/orvik_plannerConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/orvik_plannerConfig.cmake
  INSTALL_DESTINATION ${ORVIK_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/orvik_plannerConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_SOURCE_DIR}/cmake/FindOpenCVModules.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/orvik_plannerConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/orvik_plannerConfigVersion.cmake
  DESTINATION ${ORVIK_CMAKE_DIR})
