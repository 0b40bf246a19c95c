// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "builtin_interfaces/msg/time.hpp"
#include "geometry_msgs/msg/pose.hpp"

namespace nav2_msgs::msg {

template <class ContainerAllocator>
struct CostmapMetaData_ {
  using SharedPtr = std::shared_ptr<CostmapMetaData_>;
  using ConstSharedPtr = std::shared_ptr<const CostmapMetaData_>;

  builtin_interfaces::msg::Time map_load_time;
  builtin_interfaces::msg::Time update_time;
  std::string layer;
  float resolution{0.0f};  // float32 in the message definition
  uint32_t size_x{0};
  uint32_t size_y{0};
  geometry_msgs::msg::Pose origin;

  bool operator==(const CostmapMetaData_& o) const {
    return map_load_time == o.map_load_time && update_time == o.update_time && layer == o.layer &&
           resolution == o.resolution && size_x == o.size_x && size_y == o.size_y &&
           origin == o.origin;
  }
  bool operator!=(const CostmapMetaData_& o) const { return !(*this == o); }
};

using CostmapMetaData = CostmapMetaData_<std::allocator<void>>;

}  // namespace nav2_msgs::msg
