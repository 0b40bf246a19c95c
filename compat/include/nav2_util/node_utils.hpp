// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rclcpp/rclcpp.hpp"

namespace nav2_util {

template <typename NodeT>
void declare_parameter_if_not_declared(
    NodeT node, const std::string& param_name, const rclcpp::ParameterValue& default_value,
    const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
        rcl_interfaces::msg::ParameterDescriptor()) {
  if (!node->has_parameter(param_name)) {
    node->declare_parameter(param_name, default_value, parameter_descriptor);
  }
}

template <typename NodeT>
void declare_parameter_if_not_declared(
    NodeT node, const std::string& param_name, const rclcpp::ParameterType& param_type,
    const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
        rcl_interfaces::msg::ParameterDescriptor()) {
  if (!node->has_parameter(param_name)) {
    node->declare_parameter(param_name, param_type, parameter_descriptor);
  }
}

}  // namespace nav2_util
