// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/rclcpp.hpp"

namespace rclcpp_lifecycle {

/// A lifecycle node reduced to what our code touches: a name, a logger, a clock and typed
/// parameters.
/// Parameter overrides come in through NodeOptions, as a launch file would give them.
class LifecycleNode : public std::enable_shared_from_this<LifecycleNode> {
 public:
  RCLCPP_SMART_PTR_DEFINITIONS(LifecycleNode)

  explicit LifecycleNode(const std::string& node_name,
                         const rclcpp::NodeOptions& options = rclcpp::NodeOptions(),
                         bool enable_communication_interface = true);
  LifecycleNode(const std::string& node_name, const std::string& namespace_,
                const rclcpp::NodeOptions& options = rclcpp::NodeOptions(),
                bool enable_communication_interface = true);
  virtual ~LifecycleNode() = default;

  const char* get_name() const;
  const char* get_namespace() const;
  rclcpp::Logger get_logger() const;

  rclcpp::Clock::SharedPtr get_clock();
  rclcpp::Clock::ConstSharedPtr get_clock() const;
  rclcpp::Time now() const;

  const rclcpp::ParameterValue& declare_parameter(
      const std::string& name, const rclcpp::ParameterValue& default_value,
      const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
          rcl_interfaces::msg::ParameterDescriptor(),
      bool ignore_override = false);

  const rclcpp::ParameterValue& declare_parameter(
      const std::string& name, rclcpp::ParameterType type,
      const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
          rcl_interfaces::msg::ParameterDescriptor{},
      bool ignore_override = false);

  template <typename ParameterT>
  auto declare_parameter(const std::string& name, const ParameterT& default_value,
                         const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
                             rcl_interfaces::msg::ParameterDescriptor(),
                         bool ignore_override = false) {
    return declare_parameter(name, rclcpp::ParameterValue(default_value), parameter_descriptor,
                             ignore_override)
        .template get<ParameterT>();
  }

  bool has_parameter(const std::string& name) const;
  void undeclare_parameter(const std::string& name);

  rclcpp::Parameter get_parameter(const std::string& name) const;
  bool get_parameter(const std::string& name, rclcpp::Parameter& parameter) const;

  template <typename ParameterT>
  bool get_parameter(const std::string& name, ParameterT& parameter) const {
    rclcpp::Parameter param(name, parameter);
    bool result = get_parameter(name, param);
    parameter = param.get_value<ParameterT>();
    return result;
  }

  rcl_interfaces::msg::SetParametersResult set_parameter(const rclcpp::Parameter& parameter);

 private:
  struct Entry {
    rclcpp::ParameterValue value;
    rcl_interfaces::msg::ParameterDescriptor descriptor;
  };

  std::string name_;
  std::string namespace_;
  rclcpp::NodeOptions options_;
  // A node's clock is a ROS clock; without simulated time it reads the system time.
  rclcpp::Clock::SharedPtr clock_{std::make_shared<rclcpp::Clock>(RCL_ROS_TIME)};
  std::map<std::string, Entry> parameters_;
};

}  // namespace rclcpp_lifecycle
