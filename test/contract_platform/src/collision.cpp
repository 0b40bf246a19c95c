// SPDX-License-Identifier: Apache-2.0
#include <cmath>
#include <stdexcept>
#include <utility>

#include "orvik_nav2_gridmap/collision_check.hpp"
#include "orvik_nav2_gridmap/spin_collision.hpp"

namespace Collision {

namespace {

constexpr double kPi = 3.141592653589793;

double yawOf(const geometry_msgs::msg::Quaternion& q) {
  return std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
}

geometry_msgs::msg::Pose2D pose2d(const geometry_msgs::msg::PoseStamped& pose) {
  geometry_msgs::msg::Pose2D flat;
  flat.x = pose.pose.position.x;
  flat.y = pose.pose.position.y;
  flat.theta = yawOf(pose.pose.orientation);
  return flat;
}

}  // namespace

CollisionCheck::CollisionCheck(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map)
    : map_(std::move(map)) {
  if (!map_) {
    throw std::invalid_argument("contract CollisionCheck: null map");
  }
}

bool CollisionCheck::isCollisionFreePose(const geometry_msgs::msg::Pose2D& pose, bool /*flag*/) {
  if (!std::isfinite(pose.x) || !std::isfinite(pose.y)) {
    return false;
  }
  const auto costmap = map_->getMultiGridMap()->getCostmap();
  const double resolution = costmap->getResolution();
  const double gx = (pose.x - costmap->getOriginX()) / resolution;
  const double gy = (pose.y - costmap->getOriginY()) / resolution;
  const double reach = kRobotRadius / resolution;
  const long long size_x = costmap->getSizeInCellsX();
  const long long size_y = costmap->getSizeInCellsY();
  for (long long y = static_cast<long long>(std::floor(gy - reach)) - 1;
       y <= static_cast<long long>(std::ceil(gy + reach)) + 1; ++y) {
    for (long long x = static_cast<long long>(std::floor(gx - reach)) - 1;
         x <= static_cast<long long>(std::ceil(gx + reach)) + 1; ++x) {
      if (std::hypot(x + 0.5 - gx, y + 0.5 - gy) > reach) {
        continue;
      }
      if (x < 0 || y < 0 || x >= size_x || y >= size_y ||
          costmap->getCost(static_cast<unsigned int>(x), static_cast<unsigned int>(y)) >= 253) {
        return false;
      }
    }
  }
  return true;
}

SpinCollision::SpinCollision(std::shared_ptr<CollisionCheck> checker)
    : checker_(std::move(checker)) {
  if (!checker_) {
    throw std::invalid_argument("contract SpinCollision: null checker");
  }
}

bool SpinCollision::getCollisionFreeAngle(const geometry_msgs::msg::PoseStamped& pose,
                                          double& min_angle, double& max_angle) {
  const bool free = checker_->isCollisionFreePose(pose2d(pose), true);
  min_angle = free ? -2.0 * kPi : 0.0;
  max_angle = free ? 2.0 * kPi : 0.0;
  return free;
}

bool SpinCollision::getSpinAngle(const geometry_msgs::msg::PoseStamped& from,
                                 const geometry_msgs::msg::PoseStamped& to, double& cw,
                                 double& ccw) {
  cw = 0.0;
  ccw = 0.0;
  const double dx = to.pose.position.x - from.pose.position.x;
  const double dy = to.pose.position.y - from.pose.position.y;
  if ((dx == 0.0 && dy == 0.0) || !std::isfinite(dx) || !std::isfinite(dy)) {
    return false;
  }
  const double turn = std::remainder(std::atan2(dy, dx) - yawOf(from.pose.orientation), 2.0 * kPi);
  if (turn > 0.0) {
    ccw = turn;
    cw = turn - 2.0 * kPi;
  } else if (turn < 0.0) {
    cw = turn;
    ccw = turn + 2.0 * kPi;
  }
  return true;
}

bool SpinCollision::isCollisionFree(const geometry_msgs::msg::PoseStamped& pose,
                                    double /*min_angle*/, double /*max_angle*/) {
  return checker_->isCollisionFreePose(pose2d(pose), true);
}

}  // namespace Collision
