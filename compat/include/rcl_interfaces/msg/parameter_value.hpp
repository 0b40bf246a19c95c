// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rcl_interfaces::msg {

template <class ContainerAllocator>
struct ParameterValue_ {
  using SharedPtr = std::shared_ptr<ParameterValue_>;
  using ConstSharedPtr = std::shared_ptr<const ParameterValue_>;

  uint8_t type{0};
  bool bool_value{false};
  int64_t integer_value{0};
  double double_value{0.0};
  std::string string_value;
  std::vector<uint8_t> byte_array_value;
  std::vector<bool> bool_array_value;
  std::vector<int64_t> integer_array_value;
  std::vector<double> double_array_value;
  std::vector<std::string> string_array_value;

  bool operator==(const ParameterValue_& o) const {
    return type == o.type && bool_value == o.bool_value && integer_value == o.integer_value &&
           double_value == o.double_value && string_value == o.string_value &&
           byte_array_value == o.byte_array_value && bool_array_value == o.bool_array_value &&
           integer_array_value == o.integer_array_value &&
           double_array_value == o.double_array_value && string_array_value == o.string_array_value;
  }
  bool operator!=(const ParameterValue_& o) const { return !(*this == o); }
};

using ParameterValue = ParameterValue_<std::allocator<void>>;

}  // namespace rcl_interfaces::msg
