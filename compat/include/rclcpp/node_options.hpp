// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include "rclcpp/parameter.hpp"

namespace rclcpp {

/// The parts of upstream's node options that configure parameters.
class NodeOptions {
 public:
  NodeOptions() = default;

  const std::vector<Parameter>& parameter_overrides() const { return parameter_overrides_; }
  NodeOptions& parameter_overrides(const std::vector<Parameter>& parameter_overrides) {
    parameter_overrides_ = parameter_overrides;
    return *this;
  }
  template <typename ParameterT>
  NodeOptions& append_parameter_override(const std::string& name, const ParameterT& value) {
    parameter_overrides_.emplace_back(name, ParameterValue(value));
    return *this;
  }

  bool allow_undeclared_parameters() const { return allow_undeclared_parameters_; }
  NodeOptions& allow_undeclared_parameters(bool allow) {
    allow_undeclared_parameters_ = allow;
    return *this;
  }

  bool automatically_declare_parameters_from_overrides() const {
    return automatically_declare_parameters_from_overrides_;
  }
  NodeOptions& automatically_declare_parameters_from_overrides(bool automatically_declare) {
    automatically_declare_parameters_from_overrides_ = automatically_declare;
    return *this;
  }

 private:
  std::vector<Parameter> parameter_overrides_;
  bool allow_undeclared_parameters_{false};
  bool automatically_declare_parameters_from_overrides_{false};
};

}  // namespace rclcpp
