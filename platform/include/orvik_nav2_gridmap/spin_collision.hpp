// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_gridmap/collision_check.hpp"

namespace Collision {

/// In-place rotation checks on top of a footprint checker. Rotations are swept in steps of
/// kAngleStep, and the last step is clipped to the end of the range.
class SpinCollision {
 public:
  static constexpr double kAngleStep = 0.017453292519943295;  // one degree

  /// @throw std::invalid_argument for a null checker.
  explicit SpinCollision(std::shared_ptr<CollisionCheck> checker);

  /// Free rotation range at the pose (world coordinates), relative to its heading:
  /// min_angle <= 0 clockwise, max_angle >= 0 counter-clockwise, -2pi..+2pi when a full turn
  /// is free. Returns false (both angles 0) when the pose itself collides or is not finite.
  bool getCollisionFreeAngle(const geometry_msgs::msg::PoseStamped& pose, double& min_angle,
                             double& max_angle);

  /// Pure geometry, any consistent coordinates: the rotation from the heading of `from` until
  /// it faces the position of `to`, clockwise (cw <= 0) and counter-clockwise (ccw >= 0). Both
  /// are 0 when it faces `to` already. Returns false (both 0) when the positions coincide or are
  /// not finite.
  bool getSpinAngle(const geometry_msgs::msg::PoseStamped& from,
                    const geometry_msgs::msg::PoseStamped& to, double& cw, double& ccw);

  /// Rotating in place at the pose (world coordinates) over [min_angle, max_angle] relative to
  /// its heading touches no obstacle. A reversed range is read as [max_angle, min_angle]; a
  /// range longer than a full turn is checked as one full turn. Non-finite input gives false.
  bool isCollisionFree(const geometry_msgs::msg::PoseStamped& pose, double min_angle,
                       double max_angle);

 private:
  std::shared_ptr<CollisionCheck> checker_;
};

}  // namespace Collision
