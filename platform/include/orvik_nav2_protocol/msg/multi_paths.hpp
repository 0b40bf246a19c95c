// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <vector>

#include "orvik_nav2_protocol/msg/path.hpp"
#include "std_msgs/msg/header.hpp"

namespace orvik_nav2_protocol::msg {

/// One or more paths answering a single request, in the order they are to be driven.
template <class ContainerAllocator>
struct MultiPaths_ {
  using SharedPtr = std::shared_ptr<MultiPaths_>;
  using ConstSharedPtr = std::shared_ptr<const MultiPaths_>;

  std_msgs::msg::Header header;
  std::vector<Path> paths;

  bool operator==(const MultiPaths_& o) const { return header == o.header && paths == o.paths; }
  bool operator!=(const MultiPaths_& o) const { return !(*this == o); }
};

using MultiPaths = MultiPaths_<std::allocator<void>>;

}  // namespace orvik_nav2_protocol::msg
