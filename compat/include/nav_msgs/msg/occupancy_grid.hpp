// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "nav_msgs/msg/map_meta_data.hpp"
#include "std_msgs/msg/header.hpp"

namespace nav_msgs::msg {

// Row-major occupancy values: -1 unknown, 0..100 occupancy probability; cell (0, 0) first.
template <class ContainerAllocator>
struct OccupancyGrid_ {
  using SharedPtr = std::shared_ptr<OccupancyGrid_>;
  using ConstSharedPtr = std::shared_ptr<const OccupancyGrid_>;

  std_msgs::msg::Header header;
  MapMetaData info;
  std::vector<int8_t> data;

  bool operator==(const OccupancyGrid_& o) const {
    return header == o.header && info == o.info && data == o.data;
  }
  bool operator!=(const OccupancyGrid_& o) const { return !(*this == o); }
};

using OccupancyGrid = OccupancyGrid_<std::allocator<void>>;

}  // namespace nav_msgs::msg
