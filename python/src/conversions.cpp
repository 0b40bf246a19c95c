// SPDX-License-Identifier: Apache-2.0
#include "conversions.hpp"

#include <cmath>

namespace orvik_python {

namespace {

double numberOf(const py::handle& value, const std::string& what) {
  if (py::isinstance<py::bool_>(value) ||
      !(py::isinstance<py::float_>(value) || py::isinstance<py::int_>(value) ||
        py::hasattr(value, "__float__"))) {
    throw py::type_error(what + " must be a number, not " +
                         std::string(py::str(value.get_type().attr("__name__"))));
  }
  return value.cast<double>();
}

geometry_msgs::msg::PoseStamped makePose(double x, double y, double yaw, bool has_yaw,
                                         const std::string& frame) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = frame;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  if (has_yaw) {
    pose.pose.orientation.z = std::sin(yaw / 2.0);
    pose.pose.orientation.w = std::cos(yaw / 2.0);
  }
  return pose;
}

}  // namespace

geometry_msgs::msg::PoseStamped poseFromPython(const py::handle& value, const std::string& what,
                                               const std::string& frame) {
  if (!py::isinstance<py::sequence>(value) && !py::isinstance<py::array>(value)) {
    throw py::type_error(what + " must be a sequence (x, y[, yaw])");
  }
  const py::sequence items = py::reinterpret_borrow<py::object>(value).cast<py::sequence>();
  if (items.size() != 2 && items.size() != 3) {
    throw py::value_error(what + " must hold 2 or 3 numbers (x, y[, yaw]), not " +
                          std::to_string(items.size()));
  }
  const double x = numberOf(items[0], what + "[0]");
  const double y = numberOf(items[1], what + "[1]");
  const double yaw = items.size() == 3 ? numberOf(items[2], what + "[2]") : 0.0;
  return makePose(x, y, yaw, items.size() == 3, frame);
}

std::vector<geometry_msgs::msg::PoseStamped> posesFromArray(const py::handle& value,
                                                            const std::string& frame) {
  const auto array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(value);
  if (!array) {
    throw py::type_error("poses must be an array of numbers");
  }
  if (array.ndim() != 2 || (array.shape(1) != 2 && array.shape(1) != 3)) {
    throw py::value_error("poses must be an N x 2 or N x 3 array (x, y[, yaw])");
  }
  const auto view = array.unchecked<2>();
  std::vector<geometry_msgs::msg::PoseStamped> poses;
  poses.reserve(static_cast<std::size_t>(array.shape(0)));
  const bool has_yaw = array.shape(1) == 3;
  for (py::ssize_t i = 0; i < array.shape(0); ++i) {
    poses.push_back(makePose(view(i, 0), view(i, 1), has_yaw ? view(i, 2) : 0.0, has_yaw, frame));
  }
  return poses;
}

double yawOf(const geometry_msgs::msg::PoseStamped& pose) {
  const auto& q = pose.pose.orientation;
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
}

py::array_t<double> posesToArray(const std::vector<geometry_msgs::msg::PoseStamped>& poses) {
  py::array_t<double> array({static_cast<py::ssize_t>(poses.size()), static_cast<py::ssize_t>(3)});
  auto view = array.mutable_unchecked<2>();
  for (std::size_t i = 0; i < poses.size(); ++i) {
    const auto row = static_cast<py::ssize_t>(i);
    view(row, 0) = poses[i].pose.position.x;
    view(row, 1) = poses[i].pose.position.y;
    view(row, 2) = yawOf(poses[i]);
  }
  return array;
}

void appendParameters(const py::dict& values, const std::vector<ParameterKey>& keys,
                      const std::string& prefix, std::vector<rclcpp::Parameter>& out) {
  for (const auto& item : values) {
    const std::string name = py::str(item.first);
    const py::handle value = item.second;
    const ParameterKey* key = nullptr;
    for (const auto& candidate : keys) {
      if (name == candidate.name) {
        key = &candidate;
      }
    }
    if (key == nullptr) {
      throw py::type_error("unknown parameter '" + name + "'");
    }
    const std::string type_name = py::str(value.get_type().attr("__name__"));
    const bool is_bool = py::isinstance<py::bool_>(value);
    const bool is_int = py::isinstance<py::int_>(value) && !is_bool;
    const bool is_float = py::isinstance<py::float_>(value);
    switch (key->kind) {
      case ParameterKind::kDouble:
        if (!is_int && !is_float) {
          throw py::type_error("parameter '" + name + "' must be a number, not " + type_name);
        }
        if (!std::isfinite(value.cast<double>())) {
          throw py::value_error("parameter '" + name + "' must be finite");
        }
        out.emplace_back(prefix + name, rclcpp::ParameterValue(value.cast<double>()));
        break;
      case ParameterKind::kInt:
        if (!is_int) {
          throw py::type_error("parameter '" + name + "' must be an int, not " + type_name);
        }
        out.emplace_back(prefix + name, rclcpp::ParameterValue(value.cast<int64_t>()));
        break;
      case ParameterKind::kBool:
        if (!is_bool) {
          throw py::type_error("parameter '" + name + "' must be a bool, not " + type_name);
        }
        out.emplace_back(prefix + name, rclcpp::ParameterValue(value.cast<bool>()));
        break;
      case ParameterKind::kString:
        if (!py::isinstance<py::str>(value)) {
          throw py::type_error("parameter '" + name + "' must be a str, not " + type_name);
        }
        out.emplace_back(prefix + name, rclcpp::ParameterValue(value.cast<std::string>()));
        break;
      case ParameterKind::kDoubleList: {
        if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value)) {
          throw py::type_error("parameter '" + name + "' must be a list of numbers");
        }
        std::vector<double> list;
        for (const auto& element : value.cast<py::sequence>()) {
          list.push_back(numberOf(element, "parameter '" + name + "'"));
        }
        out.emplace_back(prefix + name, rclcpp::ParameterValue(list));
        break;
      }
    }
  }
}

}  // namespace orvik_python
