// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"

namespace orvik_plan {

using PoseList = std::vector<geometry_msgs::msg::PoseStamped>;

/// Yaw-only quaternion (0, 0, sin(yaw/2), cos(yaw/2)).
geometry_msgs::msg::Quaternion yawToQuaternion(double yaw);
/// Heading of a quaternion about z; 0 for the identity.
double quaternionToYaw(const geometry_msgs::msg::Quaternion& q);
geometry_msgs::msg::PoseStamped makePose(double x, double y, double yaw, const std::string& frame);

/// Sum of the straight segments between consecutive poses, metres.
double pathLength(const PoseList& poses);
/// Gives every pose but the last the heading of the segment to its successor (a pose on top of
/// its successor keeps the previous heading), as a driving path carries them.
void orientAlongPath(PoseList& poses);

}  // namespace orvik_plan
