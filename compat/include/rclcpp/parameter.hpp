// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "rclcpp/exceptions.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp {

class Parameter {
 public:
  Parameter();
  explicit Parameter(const std::string& name);
  Parameter(const std::string& name, const ParameterValue& value);

  template <typename ValueTypeT>
  Parameter(const std::string& name, ValueTypeT value) : Parameter(name, ParameterValue(value)) {}

  bool operator==(const Parameter& rhs) const;
  bool operator!=(const Parameter& rhs) const { return !(*this == rhs); }

  ParameterType get_type() const;
  std::string get_type_name() const;
  const std::string& get_name() const;
  rcl_interfaces::msg::ParameterValue get_value_message() const;
  const ParameterValue& get_parameter_value() const;

  template <ParameterType ParamT>
  decltype(auto) get_value() const {
    return value_.get<ParamT>();
  }

  // The typename form names the parameter in its error, unlike the enum form.
  template <typename T>
  decltype(auto) get_value() const {
    if constexpr (std::is_same<T, ParameterValue>::value) {
      return static_cast<const ParameterValue&>(value_);
    } else if constexpr (std::is_same<T, Parameter>::value) {
      return static_cast<const Parameter&>(*this);
    } else {
      try {
        return value_.get<T>();
      } catch (const ParameterTypeException& ex) {
        throw exceptions::InvalidParameterTypeException(name_, ex.what());
      }
    }
  }

  bool as_bool() const;
  int64_t as_int() const;
  double as_double() const;
  const std::string& as_string() const;
  const std::vector<uint8_t>& as_byte_array() const;
  const std::vector<bool>& as_bool_array() const;
  const std::vector<int64_t>& as_integer_array() const;
  const std::vector<double>& as_double_array() const;
  const std::vector<std::string>& as_string_array() const;

  std::string value_to_string() const;

 private:
  std::string name_;
  ParameterValue value_;
};

}  // namespace rclcpp
