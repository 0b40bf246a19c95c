// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/astar_spin_analysis.hpp"

#include <cmath>
#include <limits>
#include <utility>

#include "orvik/logger.hpp"

namespace orvik_nav2_planner::astar2 {

namespace {
constexpr double kFullTurn = 6.283185307179586;
constexpr double kQuarterTurn = M_PI / 2.0;
// Beyond this obstacle distance (metres) no footprint can touch anything while turning.
constexpr double kFreeRotationDistance = 0.8;
// The ring analysed lies this many cells beyond the evaluation radius: [inner, outer).
constexpr double kRingInner = 1.0;
constexpr double kRingOuter = 3.0;
}  // namespace

AstarSpinAnalysis::AstarSpinAnalysis(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map,
                                     std::shared_ptr<Collision::SpinCollision> spin_checker)
    : map_(std::move(map)),
      spin_checker_(std::move(spin_checker)),
      radius_(std::numeric_limits<double>::quiet_NaN()) {
  direction_cache_.max_load_factor(1.0f);
}

geometry_msgs::msg::PoseStamped AstarSpinAnalysis::coverteToGeometryPoseStampedWithoutMap(
    const AstarNode* node) const {
  geometry_msgs::msg::PoseStamped pose;
  pose.pose.position.x = static_cast<double>(node->x);
  pose.pose.position.y = static_cast<double>(node->y);
  pose.pose.position.z = 0.0;
  return pose;
}

geometry_msgs::msg::PoseStamped AstarSpinAnalysis::coverteToGeometryPoseStamped(
    const AstarNode* node, const geometry_msgs::msg::Quaternion& orientation) const {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = map_->getGlobalFrame();
  double wx = 0.0;
  double wy = 0.0;
  map_->getMultiGridMap()->getCostmap()->mapToWorld(static_cast<unsigned int>(node->x),
                                                    static_cast<unsigned int>(node->y), wx, wy);
  pose.pose.position.x = wx;
  pose.pose.position.y = wy;
  pose.pose.position.z = 0.0;
  pose.pose.orientation = orientation;
  return pose;
}

bool AstarSpinAnalysis::isNeedToAnalysis(const AstarNode* node) const {
  if (node == nullptr) {
    return false;
  }
  const double d =
      std::hypot(center_cells_.pose.position.x - node->x, center_cells_.pose.position.y - node->y) -
      radius_;
  return d >= kRingInner && d < kRingOuter;
}

bool AstarSpinAnalysis::setEvaluationCenterAndCheckCollision(
    const AstarNode* node, const geometry_msgs::msg::Quaternion& orientation, double radius) {
  if (node == nullptr) {
    ORVIK_ERROR("AstarSpinAnalysis: no evaluation centre given");
    return false;
  }
  direction_cache_.clear();
  radius_ = radius;
  center_cells_ = coverteToGeometryPoseStampedWithoutMap(node);
  center_cells_.header.frame_id = map_->getGlobalFrame();
  center_cells_.pose.orientation = orientation;
  center_world_ = coverteToGeometryPoseStamped(node, orientation);
  if (map_->getMultiGridMap()->getDistance(static_cast<unsigned int>(node->x),
                                           static_cast<unsigned int>(node->y)) >
      kFreeRotationDistance) {
    min_free_angle_ = -kFullTurn;
    max_free_angle_ = kFullTurn;
    return true;
  }
  return spin_checker_->getCollisionFreeAngle(center_world_, min_free_angle_, max_free_angle_);
}

int AstarSpinAnalysis::isSpinFreeDirection(const AstarNode* node) {
  if (!isNeedToAnalysis(node)) {
    return kNotAnalysed;
  }
  const auto cached = direction_cache_.find(node->index);
  if (cached != direction_cache_.end()) {
    return cached->second ? kReachable : kBlocked;
  }
  double cw = 0.0;
  double ccw = 0.0;
  spin_checker_->getSpinAngle(center_cells_, coverteToGeometryPoseStampedWithoutMap(node), cw, ccw);
  // Strict comparisons: a quarter turn exactly, or a rotation exactly at a limit of the free
  // range, does not count as reachable.
  const bool reachable =
      cw > -kQuarterTurn || ccw < kQuarterTurn || cw > min_free_angle_ || ccw < max_free_angle_;
  direction_cache_.emplace(node->index, reachable);
  return reachable ? kReachable : kBlocked;
}

}  // namespace orvik_nav2_planner::astar2
