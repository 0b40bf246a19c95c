// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "nav2_msgs/msg/costmap_meta_data.hpp"
#include "std_msgs/msg/header.hpp"

namespace nav2_msgs::msg {

template <class ContainerAllocator>
struct Costmap_ {
  using SharedPtr = std::shared_ptr<Costmap_>;
  using ConstSharedPtr = std::shared_ptr<const Costmap_>;

  std_msgs::msg::Header header;
  CostmapMetaData metadata;
  std::vector<uint8_t> data;  // row-major, cell (0, 0) first

  bool operator==(const Costmap_& o) const {
    return header == o.header && metadata == o.metadata && data == o.data;
  }
  bool operator!=(const Costmap_& o) const { return !(*this == o); }
};

using Costmap = Costmap_<std::allocator<void>>;

}  // namespace nav2_msgs::msg
