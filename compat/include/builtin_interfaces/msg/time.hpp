// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>

namespace builtin_interfaces::msg {

template <class ContainerAllocator>
struct Time_ {
  using SharedPtr = std::shared_ptr<Time_>;
  using ConstSharedPtr = std::shared_ptr<const Time_>;

  int32_t sec{0};
  uint32_t nanosec{0};

  bool operator==(const Time_& other) const { return sec == other.sec && nanosec == other.nanosec; }
  bool operator!=(const Time_& other) const { return !(*this == other); }
};

using Time = Time_<std::allocator<void>>;

}  // namespace builtin_interfaces::msg
