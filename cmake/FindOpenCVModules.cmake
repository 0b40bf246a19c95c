# SPDX-License-Identifier: Apache-2.0
# Debian ships OpenCV's CMake package only with the full libopencv-dev. The libraries need just
# core, imgproc and imgcodecs, whose -dev packages carry headers and libraries but no package
# file, so this finds them directly and defines imported targets opencv_core, opencv_imgproc
# and opencv_imgcodecs, named as OpenCV's own package names them.
find_path(OpenCVModules_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4)
set(_orvik_opencv_vars OpenCVModules_INCLUDE_DIR)
foreach(module core imgproc imgcodecs)
  find_library(OpenCVModules_${module}_LIBRARY opencv_${module})
  list(APPEND _orvik_opencv_vars OpenCVModules_${module}_LIBRARY)
endforeach()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenCVModules REQUIRED_VARS ${_orvik_opencv_vars})

if(OpenCVModules_FOUND)
  foreach(module core imgproc imgcodecs)
    if(NOT TARGET opencv_${module})
      add_library(opencv_${module} SHARED IMPORTED)
      set_target_properties(opencv_${module} PROPERTIES
        IMPORTED_LOCATION "${OpenCVModules_${module}_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${OpenCVModules_INCLUDE_DIR}")
    endif()
  endforeach()
  set_target_properties(opencv_imgproc PROPERTIES INTERFACE_LINK_LIBRARIES opencv_core)
  set_target_properties(opencv_imgcodecs PROPERTIES INTERFACE_LINK_LIBRARIES opencv_core)
endif()
