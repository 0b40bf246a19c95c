// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

namespace rcl_interfaces::msg {

template <class ContainerAllocator>
struct SetParametersResult_ {
  bool successful{false};
  std::string reason;
};

using SetParametersResult = SetParametersResult_<std::allocator<void>>;

}  // namespace rcl_interfaces::msg
