// SPDX-License-Identifier: Apache-2.0
#include <cmath>

#include "orvik/logger.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"

namespace orvik_nav2_planner::astar2 {

namespace {
// Obstacle distances (metres): beyond the first a full turn is free without checking, below
// the second the robot is too close to anything to try.
constexpr double kFreeTurnDistance = 0.8;
constexpr double kMinTurnDistance = 0.6;
constexpr double kSpinFreeTolerance = 0.1;
}  // namespace

void AstarPlanner::populateSpinFreePathSearchInfo(SearchInfo& info) {
  info.tolerance = kSpinFreeTolerance;
  info.is_goal = [this](const SearchInfo&, const AstarNode* node) { return canTurnAround(node); };
  AstarTable* table = table_.get();
  info.heuristic = [table](const SearchInfo& search, const AstarNode* node, double& h) {
    h = table->cellCost(node, search.options.cost_flag);
    return true;
  };
  AstarSpinAnalysis* spin = spin_analysis_.get();
  info.skip_neighbor = [spin](const AstarNode* node) {
    return spin->isSpinFreeDirection(node) == AstarSpinAnalysis::kBlocked;
  };
}

bool AstarPlanner::canTurnAround(const AstarNode* node) {
  if (node == nullptr || node->parent == nullptr || node->parent->parent == nullptr) {
    return false;
  }
  const AstarNode* grandparent = node->parent->parent;
  // The heading is taken over three steps when the path is that long, which smooths out the
  // zig-zag of single grid moves.
  const AstarNode* reference = grandparent->parent ? grandparent->parent : grandparent;
  if (node->x == reference->x && node->y == reference->y) {
    return false;
  }
  const double distance =
      grid_->getDistance(static_cast<unsigned int>(node->x), static_cast<unsigned int>(node->y));
  if (distance > kFreeTurnDistance) {
    return true;
  }
  if (distance < kMinTurnDistance) {
    return false;
  }
  geometry_msgs::msg::PoseStamped pose;
  costmap_->mapToWorld(static_cast<unsigned int>(node->x), static_cast<unsigned int>(node->y),
                       pose.pose.position.x, pose.pose.position.y);
  pose.pose.position.z = 0.0;
  const double yaw = std::atan2(static_cast<double>(node->y - reference->y),
                                static_cast<double>(node->x - reference->x));
  pose.pose.orientation.x = 0.0;
  pose.pose.orientation.y = 0.0;
  pose.pose.orientation.z = std::sin(yaw / 2.0);
  pose.pose.orientation.w = std::cos(yaw / 2.0);
  const bool ok = spin_collision_->isCollisionFree(pose, -M_PI, M_PI);
  if (ok) {
    trace_->getTraceMat()->setMatPointColor(cv::Point(node->x, node->y), trace_code::kTurnAround);
    pose.header.frame_id = map_->getGlobalFrame();
    orvik_communicator::CommunicatorEngine::GetInstance()->getMicroUnitTrace()->PublishDirPose(
        pose);
  }
  return ok;
}

bool AstarPlanner::searchForwardPath(const geometry_msgs::msg::PoseStamped& start,
                                     const AstarOptions& options,
                                     orvik_nav2_protocol::msg::Path& path) {
  ORVIK_DEBUG("AstarPlanner({}): search spin path start", name_);
  resetSearchState();
  SearchInfo info(options);
  if (!setStartNode(start, info)) {
    return false;
  }
  populateSpinFreePathSearchInfo(info);
  return searchSinglePath(info, path);
}

bool AstarPlanner::searchPaths(const geometry_msgs::msg::PoseStamped& requested_start,
                               const geometry_msgs::msg::PoseStamped& requested_goal,
                               const AstarOptions& options,
                               orvik_nav2_protocol::msg::MultiPaths& paths) {
  // Copies: the first search trims the caller's reference path, from which start and goal may
  // come, and both are used again afterwards.
  const geometry_msgs::msg::PoseStamped start = requested_start;
  const geometry_msgs::msg::PoseStamped goal = requested_goal;
  ORVIK_INFO("Current pose is ({},{})", start.pose.position.x, start.pose.position.y);
  ORVIK_INFO("Recieved goal pose is ({},{})", goal.pose.position.x, goal.pose.position.y);

  orvik_nav2_protocol::msg::Path first;
  if (!searchPath(start, goal, options, first)) {
    ORVIK_INFO("AstarPlanner({}): search failed", name_);
    return false;
  }
  if (!first.spin_blocked_on_path || !options.search_spin_free_point) {
    paths.paths.push_back(first);
    return true;
  }

  ORVIK_INFO("AstarPlanner({}): search try to findSpinFreePointForward", name_);
  // Both legs run with default options on purpose: the caller's tuning (penalties, path
  // consistency, fuzzy radii) was made for the direct path.
  const AstarOptions defaults;
  orvik_nav2_protocol::msg::Path forward;
  if (!searchForwardPath(start, defaults, forward) || forward.poses.empty()) {
    paths.paths.push_back(first);
    return true;
  }
  ORVIK_INFO("AstarPlanner({}): find forward path successfully", name_);
  ORVIK_INFO("AstarPlanner({}): search try to find backward path", name_);

  orvik_nav2_protocol::msg::Path backward;
  // A copy: searchPath must not read a pose out of a path it is still building.
  const geometry_msgs::msg::PoseStamped turn_pose = forward.poses.back();
  if (searchPath(turn_pose, goal, defaults, backward)) {
    paths.paths.push_back(forward);
    paths.paths.push_back(backward);
  } else {
    paths.paths.push_back(first);
  }
  return true;
}

}  // namespace orvik_nav2_planner::astar2
