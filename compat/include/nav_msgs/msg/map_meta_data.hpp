// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>

#include "builtin_interfaces/msg/time.hpp"
#include "geometry_msgs/msg/pose.hpp"

namespace nav_msgs::msg {

template <class ContainerAllocator>
struct MapMetaData_ {
  using SharedPtr = std::shared_ptr<MapMetaData_>;
  using ConstSharedPtr = std::shared_ptr<const MapMetaData_>;

  builtin_interfaces::msg::Time map_load_time;
  float resolution{0.0f};  // float32 in the message definition
  uint32_t width{0};
  uint32_t height{0};
  geometry_msgs::msg::Pose origin;

  bool operator==(const MapMetaData_& o) const {
    return map_load_time == o.map_load_time && resolution == o.resolution && width == o.width &&
           height == o.height && origin == o.origin;
  }
  bool operator!=(const MapMetaData_& o) const { return !(*this == o); }
};

using MapMetaData = MapMetaData_<std::allocator<void>>;

}  // namespace nav_msgs::msg
