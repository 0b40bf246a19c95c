// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>

namespace rcl_interfaces::msg {

template <class ContainerAllocator>
struct ParameterType_ {
  static constexpr uint8_t PARAMETER_NOT_SET = 0;
  static constexpr uint8_t PARAMETER_BOOL = 1;
  static constexpr uint8_t PARAMETER_INTEGER = 2;
  static constexpr uint8_t PARAMETER_DOUBLE = 3;
  static constexpr uint8_t PARAMETER_STRING = 4;
  static constexpr uint8_t PARAMETER_BYTE_ARRAY = 5;
  static constexpr uint8_t PARAMETER_BOOL_ARRAY = 6;
  static constexpr uint8_t PARAMETER_INTEGER_ARRAY = 7;
  static constexpr uint8_t PARAMETER_DOUBLE_ARRAY = 8;
  static constexpr uint8_t PARAMETER_STRING_ARRAY = 9;
};

using ParameterType = ParameterType_<std::allocator<void>>;

}  // namespace rcl_interfaces::msg
