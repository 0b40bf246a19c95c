// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "builtin_interfaces/msg/time.hpp"

namespace std_msgs::msg {

template <class ContainerAllocator>
struct Header_ {
  using SharedPtr = std::shared_ptr<Header_>;
  using ConstSharedPtr = std::shared_ptr<const Header_>;

  builtin_interfaces::msg::Time stamp;
  std::string frame_id;

  bool operator==(const Header_& other) const {
    return stamp == other.stamp && frame_id == other.frame_id;
  }
  bool operator!=(const Header_& other) const { return !(*this == other); }
};

using Header = Header_<std::allocator<void>>;

}  // namespace std_msgs::msg
