// SPDX-License-Identifier: Apache-2.0
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace rclcpp_lifecycle {

LifecycleNode::LifecycleNode(const std::string& node_name, const rclcpp::NodeOptions& options,
                             bool enable_communication_interface)
    : LifecycleNode(node_name, "", options, enable_communication_interface) {}

LifecycleNode::LifecycleNode(const std::string& node_name, const std::string& namespace_,
                             const rclcpp::NodeOptions& options,
                             bool /*enable_communication_interface*/)
    : name_(node_name), namespace_(namespace_.empty() ? "/" : namespace_), options_(options) {
  if (options_.automatically_declare_parameters_from_overrides()) {
    for (const auto& override_param : options_.parameter_overrides()) {
      if (!has_parameter(override_param.get_name())) {
        declare_parameter(override_param.get_name(), override_param.get_parameter_value());
      }
    }
  }
}

const char* LifecycleNode::get_name() const {
  return name_.c_str();
}

const char* LifecycleNode::get_namespace() const {
  return namespace_.c_str();
}

rclcpp::Logger LifecycleNode::get_logger() const {
  return rclcpp::get_logger(name_);
}

rclcpp::Clock::SharedPtr LifecycleNode::get_clock() {
  return clock_;
}

rclcpp::Clock::ConstSharedPtr LifecycleNode::get_clock() const {
  return clock_;
}

rclcpp::Time LifecycleNode::now() const {
  return clock_->now();
}

const rclcpp::ParameterValue& LifecycleNode::declare_parameter(
    const std::string& name, const rclcpp::ParameterValue& default_value,
    const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor, bool ignore_override) {
  if (name.empty()) {
    throw rclcpp::exceptions::InvalidParametersException("parameter name must not be empty");
  }
  if (has_parameter(name)) {
    throw rclcpp::exceptions::ParameterAlreadyDeclaredException("parameter '" + name +
                                                                "' has already been declared");
  }
  if (!parameter_descriptor.dynamic_typing &&
      default_value.get_type() == rclcpp::PARAMETER_NOT_SET) {
    throw rclcpp::exceptions::InvalidParameterTypeException(
        name, "cannot declare a statically typed parameter with an uninitialized value");
  }

  rclcpp::ParameterValue initial = default_value;
  if (!ignore_override) {
    for (const auto& override_param : options_.parameter_overrides()) {
      if (override_param.get_name() == name) {
        initial = override_param.get_parameter_value();
      }
    }
  }
  if (!parameter_descriptor.dynamic_typing && initial.get_type() != default_value.get_type()) {
    throw rclcpp::exceptions::InvalidParameterTypeException(
        name, "Wrong parameter type, parameter {" + name + "} is of type {" +
                  rclcpp::to_string(default_value.get_type()) + "}, setting it to {" +
                  rclcpp::to_string(initial.get_type()) + "} is not allowed.");
  }
  Entry& entry = parameters_[name];
  entry.value = initial;
  entry.descriptor = parameter_descriptor;
  entry.descriptor.name = name;
  entry.descriptor.type = default_value.get_type();
  return entry.value;
}

const rclcpp::ParameterValue& LifecycleNode::declare_parameter(
    const std::string& name, rclcpp::ParameterType type,
    const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor, bool ignore_override) {
  if (name.empty()) {
    throw rclcpp::exceptions::InvalidParametersException("parameter name must not be empty");
  }
  if (has_parameter(name)) {
    throw rclcpp::exceptions::ParameterAlreadyDeclaredException("parameter '" + name +
                                                                "' has already been declared");
  }
  rclcpp::ParameterValue initial;
  if (!ignore_override) {
    for (const auto& override_param : options_.parameter_overrides()) {
      if (override_param.get_name() == name) {
        initial = override_param.get_parameter_value();
      }
    }
  }
  if (initial.get_type() != rclcpp::PARAMETER_NOT_SET && initial.get_type() != type) {
    throw rclcpp::exceptions::InvalidParameterTypeException(
        name, "Wrong parameter type, parameter {" + name + "} is of type {" +
                  rclcpp::to_string(type) + "}, setting it to {" +
                  rclcpp::to_string(initial.get_type()) + "} is not allowed.");
  }
  Entry& entry = parameters_[name];
  entry.value = initial;
  entry.descriptor = parameter_descriptor;
  entry.descriptor.name = name;
  entry.descriptor.type = type;
  return entry.value;
}

bool LifecycleNode::has_parameter(const std::string& name) const {
  return parameters_.count(name) > 0;
}

void LifecycleNode::undeclare_parameter(const std::string& name) {
  if (parameters_.erase(name) == 0) {
    throw rclcpp::exceptions::ParameterNotDeclaredException(name);
  }
}

rclcpp::Parameter LifecycleNode::get_parameter(const std::string& name) const {
  auto it = parameters_.find(name);
  if (it != parameters_.end() && (it->second.value.get_type() != rclcpp::PARAMETER_NOT_SET ||
                                  it->second.descriptor.dynamic_typing)) {
    return rclcpp::Parameter(name, it->second.value);
  }
  if (options_.allow_undeclared_parameters()) {
    return rclcpp::Parameter();
  }
  if (it == parameters_.end()) {
    throw rclcpp::exceptions::ParameterNotDeclaredException(name);
  }
  throw rclcpp::exceptions::ParameterUninitializedException(name);
}

bool LifecycleNode::get_parameter(const std::string& name, rclcpp::Parameter& parameter) const {
  auto it = parameters_.find(name);
  if (it == parameters_.end() || it->second.value.get_type() == rclcpp::PARAMETER_NOT_SET) {
    return false;
  }
  parameter = rclcpp::Parameter(name, it->second.value);
  return true;
}

rcl_interfaces::msg::SetParametersResult LifecycleNode::set_parameter(
    const rclcpp::Parameter& parameter) {
  rcl_interfaces::msg::SetParametersResult result;
  auto it = parameters_.find(parameter.get_name());
  if (it == parameters_.end()) {
    if (!options_.allow_undeclared_parameters()) {
      throw rclcpp::exceptions::ParameterNotDeclaredException(parameter.get_name());
    }
    Entry& entry = parameters_[parameter.get_name()];
    entry.value = parameter.get_parameter_value();
    entry.descriptor.name = parameter.get_name();
    entry.descriptor.type = parameter.get_type();
    result.successful = true;
    return result;
  }
  if (it->second.descriptor.read_only) {
    result.reason =
        "parameter '" + parameter.get_name() + "' cannot be set because it is read-only";
    return result;
  }
  if (!it->second.descriptor.dynamic_typing && parameter.get_type() != it->second.descriptor.type) {
    result.reason =
        "Wrong parameter type, parameter {" + parameter.get_name() + "} is of type {" +
        rclcpp::to_string(static_cast<rclcpp::ParameterType>(it->second.descriptor.type)) +
        "}, setting it to {" + parameter.get_type_name() + "} is not allowed.";
    return result;
  }
  it->second.value = parameter.get_parameter_value();
  result.successful = true;
  return result;
}

}  // namespace rclcpp_lifecycle
