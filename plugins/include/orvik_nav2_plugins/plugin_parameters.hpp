// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

#include "nav2_util/node_utils.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace orvik_nav2_plugins {

/// Declares `<plugin>.<option>` on the server node with `default_value` unless it is declared
/// already (a parameter file or launch override then supplies the value), and reads it.
/// @throw rclcpp::exceptions::InvalidParameterTypeException when the supplied value has another
///        type than the default.
template <typename T>
T declareAndRead(const rclcpp_lifecycle::LifecycleNode::SharedPtr& node, const std::string& plugin,
                 const std::string& option, const T& default_value) {
  const std::string full_name = plugin + "." + option;
  nav2_util::declare_parameter_if_not_declared(node, full_name,
                                               rclcpp::ParameterValue(default_value));
  T value = default_value;
  node->get_parameter(full_name, value);
  return value;
}

}  // namespace orvik_nav2_plugins
