# SPDX-License-Identifier: Apache-2.0
# Tests of the gradient path smoother and its vector types.
orvik_add_test(vec2d_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/vec2d_test.cpp
  LIBS orvik_gradient_smoother_objects)
orvik_add_test(path_smoother_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/path_smoother_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/path_smoother_terms_test.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/path_smoother_sweep_test.cpp
  LIBS orvik_gradient_smoother_objects)
orvik_add_test(path_smoother_run_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/path_smoother_run_test.cpp
  LIBS orvik_gradient_smoother_objects)
# Plans its paths with the A* planner over a map of the shared folder.
orvik_add_test(path_smoother_real_map_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/path_smoother_real_map_test.cpp
  LIBS orvik_gradient_smoother_objects orvik_astar2_planner_objects)
