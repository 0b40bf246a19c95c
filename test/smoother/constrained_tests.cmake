# SPDX-License-Identifier: Apache-2.0
# Nav2's constrained smoother as the stand-in layer provides it, and our wrapper over it.
orvik_add_test(constrained_nav2_smoother_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/constrained_nav2_geometry_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/constrained_nav2_params_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/constrained_nav2_smoother_test.cpp
  LIBS orvik_ros2_compat)
orvik_add_test(constrained_smoother_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/constrained_wrapper_test.cpp
  LIBS orvik_constrained_smoother_objects)
