// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "rcl_interfaces/msg/parameter_type.hpp"
#include "rcl_interfaces/msg/parameter_value.hpp"

namespace rclcpp {

enum ParameterType : uint8_t {
  PARAMETER_NOT_SET = rcl_interfaces::msg::ParameterType::PARAMETER_NOT_SET,
  PARAMETER_BOOL = rcl_interfaces::msg::ParameterType::PARAMETER_BOOL,
  PARAMETER_INTEGER = rcl_interfaces::msg::ParameterType::PARAMETER_INTEGER,
  PARAMETER_DOUBLE = rcl_interfaces::msg::ParameterType::PARAMETER_DOUBLE,
  PARAMETER_STRING = rcl_interfaces::msg::ParameterType::PARAMETER_STRING,
  PARAMETER_BYTE_ARRAY = rcl_interfaces::msg::ParameterType::PARAMETER_BYTE_ARRAY,
  PARAMETER_BOOL_ARRAY = rcl_interfaces::msg::ParameterType::PARAMETER_BOOL_ARRAY,
  PARAMETER_INTEGER_ARRAY = rcl_interfaces::msg::ParameterType::PARAMETER_INTEGER_ARRAY,
  PARAMETER_DOUBLE_ARRAY = rcl_interfaces::msg::ParameterType::PARAMETER_DOUBLE_ARRAY,
  PARAMETER_STRING_ARRAY = rcl_interfaces::msg::ParameterType::PARAMETER_STRING_ARRAY,
};

std::string to_string(ParameterType type);
std::ostream& operator<<(std::ostream& os, ParameterType type);

/// Thrown by the typed getters when the stored type is not the one asked for.
class ParameterTypeException : public std::runtime_error {
 public:
  ParameterTypeException(ParameterType expected, ParameterType actual)
      : std::runtime_error("expected [" + to_string(expected) + "] got [" + to_string(actual) +
                           "]") {}
};

class ParameterValue {
 public:
  ParameterValue();
  explicit ParameterValue(const rcl_interfaces::msg::ParameterValue& value);
  explicit ParameterValue(const bool bool_value);
  explicit ParameterValue(const int int_value);
  explicit ParameterValue(const int64_t int_value);
  explicit ParameterValue(const float double_value);
  explicit ParameterValue(const double double_value);
  explicit ParameterValue(const std::string& string_value);
  explicit ParameterValue(const char* string_value);
  explicit ParameterValue(const std::vector<uint8_t>& byte_array_value);
  explicit ParameterValue(const std::vector<bool>& bool_array_value);
  explicit ParameterValue(const std::vector<int>& int_array_value);
  explicit ParameterValue(const std::vector<int64_t>& int_array_value);
  explicit ParameterValue(const std::vector<float>& double_array_value);
  explicit ParameterValue(const std::vector<double>& double_array_value);
  explicit ParameterValue(const std::vector<std::string>& string_array_value);

  ParameterType get_type() const;
  rcl_interfaces::msg::ParameterValue to_value_msg() const;

  bool operator==(const ParameterValue& rhs) const;
  bool operator!=(const ParameterValue& rhs) const;

  // Typed access by parameter type: no conversion is ever made.
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_BOOL, const bool&> get() const {
    check(type);
    return value_.bool_value;
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_INTEGER, const int64_t&> get() const {
    check(type);
    return value_.integer_value;
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_DOUBLE, const double&> get() const {
    check(type);
    return value_.double_value;
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_STRING, const std::string&> get() const {
    check(type);
    return value_.string_value;
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_BYTE_ARRAY, const std::vector<uint8_t>&> get()
      const {
    check(type);
    return value_.byte_array_value;
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_BOOL_ARRAY, const std::vector<bool>&> get() const {
    check(type);
    return value_.bool_array_value;
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_INTEGER_ARRAY, const std::vector<int64_t>&> get()
      const {
    check(type);
    return value_.integer_array_value;
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_DOUBLE_ARRAY, const std::vector<double>&> get()
      const {
    check(type);
    return value_.double_array_value;
  }
  template <ParameterType type>
  constexpr std::enable_if_t<type == PARAMETER_STRING_ARRAY, const std::vector<std::string>&> get()
      const {
    check(type);
    return value_.string_array_value;
  }

  // Typed access by C++ type, mapped onto the parameter types.
  template <typename type>
  constexpr std::enable_if_t<std::is_same<type, bool>::value, const bool&> get() const {
    return get<PARAMETER_BOOL>();
  }
  template <typename type>
  constexpr std::enable_if_t<std::is_integral<type>::value && !std::is_same<type, bool>::value,
                             const int64_t&>
  get() const {
    return get<PARAMETER_INTEGER>();
  }
  template <typename type>
  constexpr std::enable_if_t<std::is_floating_point<type>::value, const double&> get() const {
    return get<PARAMETER_DOUBLE>();
  }
  template <typename type>
  constexpr std::enable_if_t<std::is_convertible<type, std::string>::value, const std::string&>
  get() const {
    return get<PARAMETER_STRING>();
  }
  template <typename type>
  constexpr std::enable_if_t<std::is_convertible<type, const std::vector<uint8_t>&>::value,
                             const std::vector<uint8_t>&>
  get() const {
    return get<PARAMETER_BYTE_ARRAY>();
  }
  template <typename type>
  constexpr std::enable_if_t<std::is_convertible<type, const std::vector<bool>&>::value,
                             const std::vector<bool>&>
  get() const {
    return get<PARAMETER_BOOL_ARRAY>();
  }
  template <typename type>
  constexpr std::enable_if_t<std::is_convertible<type, const std::vector<int>&>::value ||
                                 std::is_convertible<type, const std::vector<int64_t>&>::value,
                             const std::vector<int64_t>&>
  get() const {
    return get<PARAMETER_INTEGER_ARRAY>();
  }
  template <typename type>
  constexpr std::enable_if_t<std::is_convertible<type, const std::vector<float>&>::value ||
                                 std::is_convertible<type, const std::vector<double>&>::value,
                             const std::vector<double>&>
  get() const {
    return get<PARAMETER_DOUBLE_ARRAY>();
  }
  template <typename type>
  constexpr std::enable_if_t<std::is_convertible<type, const std::vector<std::string>&>::value,
                             const std::vector<std::string>&>
  get() const {
    return get<PARAMETER_STRING_ARRAY>();
  }

 private:
  void check(ParameterType expected) const {
    if (get_type() != expected) {
      throw ParameterTypeException(expected, get_type());
    }
  }

  rcl_interfaces::msg::ParameterValue value_;
};

std::string to_string(const ParameterValue& value);

}  // namespace rclcpp
