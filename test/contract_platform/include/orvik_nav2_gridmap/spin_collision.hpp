// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_gridmap/collision_check.hpp"

namespace Collision {

/// Test stand-in for the maker's rotation checker. The stand-in robot is round, so a rotation
/// in place is free exactly when the pose itself is.
class SpinCollision {
 public:
  explicit SpinCollision(std::shared_ptr<CollisionCheck> checker);

  bool getCollisionFreeAngle(const geometry_msgs::msg::PoseStamped& pose, double& min_angle,
                             double& max_angle);
  bool getSpinAngle(const geometry_msgs::msg::PoseStamped& from,
                    const geometry_msgs::msg::PoseStamped& to, double& cw, double& ccw);
  bool isCollisionFree(const geometry_msgs::msg::PoseStamped& pose, double min_angle,
                       double max_angle);

 private:
  std::shared_ptr<CollisionCheck> checker_;
};

}  // namespace Collision
