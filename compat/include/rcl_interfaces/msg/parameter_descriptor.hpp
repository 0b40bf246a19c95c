// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rcl_interfaces::msg {

struct FloatingPointRange {
  double from_value{0.0};
  double to_value{0.0};
  double step{0.0};
};

struct IntegerRange {
  int64_t from_value{0};
  int64_t to_value{0};
  uint64_t step{0};
};

template <class ContainerAllocator>
struct ParameterDescriptor_ {
  using SharedPtr = std::shared_ptr<ParameterDescriptor_>;
  using ConstSharedPtr = std::shared_ptr<const ParameterDescriptor_>;

  std::string name;
  uint8_t type{0};
  std::string description;
  std::string additional_constraints;
  bool read_only{false};
  bool dynamic_typing{false};
  std::vector<FloatingPointRange> floating_point_range;
  std::vector<IntegerRange> integer_range;
};

using ParameterDescriptor = ParameterDescriptor_<std::allocator<void>>;

}  // namespace rcl_interfaces::msg
