// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/spin_collision.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"

namespace Collision {

namespace {

constexpr double kFullTurn = 2.0 * M_PI;

bool finitePose(const geometry_msgs::msg::PoseStamped& pose, double& yaw) {
  const auto& p = pose.pose.position;
  if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
    return false;
  }
  yaw = tf2::getYaw(pose.pose.orientation);
  return std::isfinite(yaw);
}

}  // namespace

SpinCollision::SpinCollision(std::shared_ptr<CollisionCheck> checker)
    : checker_(std::move(checker)) {
  if (!checker_) {
    throw std::invalid_argument("SpinCollision: no footprint checker");
  }
}

// Walks from 0 towards `limit` (signed) in kAngleStep steps, the last one clipped, and returns
// the last offset that is still free.
static double freeSweep(CollisionCheck& checker, double x, double y, double yaw, double limit) {
  const double direction = limit < 0.0 ? -1.0 : 1.0;
  const double length = std::abs(limit);
  double last_free = 0.0;
  for (int step = 1;; ++step) {
    const double offset = std::min(step * SpinCollision::kAngleStep, length);
    geometry_msgs::msg::Pose2D pose;
    pose.x = x;
    pose.y = y;
    pose.theta = yaw + direction * offset;
    if (!checker.isCollisionFreePose(pose, false)) {
      return direction * last_free;
    }
    last_free = offset;
    if (offset >= length) {
      return direction * length;
    }
  }
}

bool SpinCollision::getCollisionFreeAngle(const geometry_msgs::msg::PoseStamped& pose,
                                          double& min_angle, double& max_angle) {
  min_angle = 0.0;
  max_angle = 0.0;
  double yaw = 0.0;
  if (!finitePose(pose, yaw)) {
    return false;
  }
  const double x = pose.pose.position.x;
  const double y = pose.pose.position.y;
  geometry_msgs::msg::Pose2D start;
  start.x = x;
  start.y = y;
  start.theta = yaw;
  if (!checker_->isCollisionFreePose(start, true)) {
    return false;
  }
  // Far from every obstacle the whole turn is free; skips 720 footprint checks.
  if (checker_->isFullTurnSurelyFree(x, y)) {
    min_angle = -kFullTurn;
    max_angle = kFullTurn;
    return true;
  }
  max_angle = freeSweep(*checker_, x, y, yaw, kFullTurn);
  if (max_angle >= kFullTurn) {
    min_angle = -kFullTurn;
    return true;
  }
  min_angle = freeSweep(*checker_, x, y, yaw, -kFullTurn);
  return true;
}

bool SpinCollision::getSpinAngle(const geometry_msgs::msg::PoseStamped& from,
                                 const geometry_msgs::msg::PoseStamped& to, double& cw,
                                 double& ccw) {
  cw = 0.0;
  ccw = 0.0;
  double yaw = 0.0;
  if (!finitePose(from, yaw)) {
    return false;
  }
  const double dx = to.pose.position.x - from.pose.position.x;
  const double dy = to.pose.position.y - from.pose.position.y;
  if (!std::isfinite(dx) || !std::isfinite(dy) || (dx == 0.0 && dy == 0.0)) {
    return false;
  }
  // Counter-clockwise offset in [0, 2pi) from the heading to the bearing of `to`.
  double offset = std::remainder(std::atan2(dy, dx) - yaw, kFullTurn);
  if (offset < 0.0) {
    offset += kFullTurn;
  }
  if (offset == 0.0 || offset >= kFullTurn) {
    return true;
  }
  ccw = offset;
  cw = offset - kFullTurn;
  return true;
}

bool SpinCollision::isCollisionFree(const geometry_msgs::msg::PoseStamped& pose, double min_angle,
                                    double max_angle) {
  double yaw = 0.0;
  if (!finitePose(pose, yaw) || !std::isfinite(min_angle) || !std::isfinite(max_angle)) {
    return false;
  }
  if (min_angle > max_angle) {
    std::swap(min_angle, max_angle);
  }
  const double x = pose.pose.position.x;
  const double y = pose.pose.position.y;
  if (checker_->isFullTurnSurelyFree(x, y)) {
    return true;
  }
  // A range of a full turn or more covers every heading; clipping it keeps the sweep bounded
  // whatever range the caller passes.
  const double length = std::min(max_angle - min_angle, kFullTurn);
  geometry_msgs::msg::Pose2D probe;
  probe.x = x;
  probe.y = y;
  bool first = true;
  for (int step = 0;; ++step) {
    const double offset = std::min(step * kAngleStep, length);
    probe.theta = yaw + min_angle + offset;
    if (!checker_->isCollisionFreePose(probe, first)) {
      return false;
    }
    first = false;
    if (offset >= length) {
      return true;
    }
  }
}

}  // namespace Collision
