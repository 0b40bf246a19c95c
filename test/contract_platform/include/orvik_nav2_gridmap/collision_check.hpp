// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

#include "geometry_msgs/msg/pose2_d.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace Collision {

/// Test stand-in for the maker's footprint checker: a round robot of kRobotRadius, colliding
/// when a cell whose centre lies within that radius costs 253 or more or lies off the map.
class CollisionCheck {
 public:
  static constexpr double kRobotRadius = 0.15;

  explicit CollisionCheck(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map);

  /// @return false for a colliding pose and for non-finite coordinates.
  bool isCollisionFreePose(const geometry_msgs::msg::Pose2D& pose, bool flag);

 private:
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
};

}  // namespace Collision
