// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>

namespace builtin_interfaces::msg {

template <class ContainerAllocator>
struct Duration_ {
  using SharedPtr = std::shared_ptr<Duration_>;
  using ConstSharedPtr = std::shared_ptr<const Duration_>;

  int32_t sec{0};
  uint32_t nanosec{0};

  bool operator==(const Duration_& other) const {
    return sec == other.sec && nanosec == other.nanosec;
  }
  bool operator!=(const Duration_& other) const { return !(*this == other); }
};

using Duration = Duration_<std::allocator<void>>;

}  // namespace builtin_interfaces::msg
