// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "rclcpp/parameter.hpp"

namespace orvik_python {

namespace py = pybind11;

using MapPtr = std::shared_ptr<orvik_nav2_gridmap::GridMapROS>;

/// A grid map as Python holds it: the planners share the pointer.
struct GridMap {
  MapPtr map;
};

/// A pose from a sequence (x, y[, yaw]) of finite or non-finite numbers.
/// @throw py::value_error for a sequence of another length, py::type_error for non-numbers.
geometry_msgs::msg::PoseStamped poseFromPython(const py::handle& value, const std::string& what,
                                               const std::string& frame);

/// Poses from an N x 2 or N x 3 array (x, y[, yaw]); a missing yaw is the identity orientation.
/// @throw py::value_error for any other shape.
std::vector<geometry_msgs::msg::PoseStamped> posesFromArray(const py::handle& value,
                                                            const std::string& frame);

/// Poses as an N x 3 float64 array (x, y, yaw).
py::array_t<double> posesToArray(const std::vector<geometry_msgs::msg::PoseStamped>& poses);

double yawOf(const geometry_msgs::msg::PoseStamped& pose);

/// What a ROS parameter of a smoother holds.
enum class ParameterKind { kDouble, kInt, kBool, kString, kDoubleList };

struct ParameterKey {
  const char* name;
  ParameterKind kind;
};

/// Keyword arguments as parameter overrides under `prefix`; each key must be one of `keys`.
/// @throw py::type_error naming an unknown key or a value of the wrong type.
void appendParameters(const py::dict& values, const std::vector<ParameterKey>& keys,
                      const std::string& prefix, std::vector<rclcpp::Parameter>& out);

/// Hands the library log lines gathered since the last call to Python's logging, when
/// log_to_python is on. Call with the GIL held, after a call into the libraries.
void drainLogLines();

}  // namespace orvik_python
