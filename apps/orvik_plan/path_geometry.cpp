// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/path_geometry.hpp"

#include <cmath>

namespace orvik_plan {

geometry_msgs::msg::Quaternion yawToQuaternion(double yaw) {
  geometry_msgs::msg::Quaternion q;
  q.x = 0.0;
  q.y = 0.0;
  q.z = std::sin(yaw / 2.0);
  q.w = std::cos(yaw / 2.0);
  return q;
}

double quaternionToYaw(const geometry_msgs::msg::Quaternion& q) {
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
}

geometry_msgs::msg::PoseStamped makePose(double x, double y, double yaw, const std::string& frame) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = frame;
  pose.pose.position.x = x;
  pose.pose.position.y = y;
  pose.pose.position.z = 0.0;
  pose.pose.orientation = yawToQuaternion(yaw);
  return pose;
}

double pathLength(const PoseList& poses) {
  double length = 0.0;
  for (std::size_t i = 1; i < poses.size(); ++i) {
    length += std::hypot(poses[i].pose.position.x - poses[i - 1].pose.position.x,
                         poses[i].pose.position.y - poses[i - 1].pose.position.y);
  }
  return length;
}

void orientAlongPath(PoseList& poses) {
  double heading = poses.empty() ? 0.0 : quaternionToYaw(poses.front().pose.orientation);
  for (std::size_t i = 0; i + 1 < poses.size(); ++i) {
    const double dx = poses[i + 1].pose.position.x - poses[i].pose.position.x;
    const double dy = poses[i + 1].pose.position.y - poses[i].pose.position.y;
    if (std::hypot(dx, dy) > 1e-9) {
      heading = std::atan2(dy, dx);
    }
    poses[i].pose.orientation = yawToQuaternion(heading);
  }
}

}  // namespace orvik_plan
