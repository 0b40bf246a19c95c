// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/path_smoother.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "nav2_util/node_utils.hpp"
#include "orvik/logger.hpp"

namespace {

// Guards resamplePath against paths it could never finish: 5 million points are 250 km of path
// at the default 5 cm step, far beyond any map this smoother runs on.
constexpr double kMaxResampledPoints = 5e6;

// The robot's motion is predicted ten steps of 0.1 s ahead.
constexpr int kPredictionSteps = 10;
constexpr float kPredictionStepSeconds = 0.1f;

double headingOf(const geometry_msgs::msg::Quaternion& q) {
  // Only a yaw is carried; qx and qy are ignored on purpose.
  return std::atan2(2.0 * q.w * q.z, 1.0 - 2.0 * q.z * q.z);
}

Vec2d positionOf(const Pose2d& pose) {
  return Vec2d(pose.x, pose.y);
}

bool isFinite(const Pose2d& pose) {
  return std::isfinite(pose.x) && std::isfinite(pose.y) && std::isfinite(pose.theta);
}

bool isFinite(const Vec2d& v) {
  return std::isfinite(v.x()) && std::isfinite(v.y());
}

/// Declares `full_name` with its default unless the node has it already, then reads it into
/// `target`; a stored value of another type throws InvalidParameterTypeException.
template <typename Target, typename Default>
void readParameter(const rclcpp_lifecycle::LifecycleNode::SharedPtr& node,
                   const std::string& full_name, const Default& default_value, Target& target) {
  nav2_util::declare_parameter_if_not_declared(node, full_name,
                                               rclcpp::ParameterValue(default_value));
  node->get_parameter(full_name, target);
}

}  // namespace

PathSmoother::PathSmoother(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
                           std::shared_ptr<orvik_nav2_gridmap::GridMapROS> grid_map)
    : map(std::move(grid_map)) {
  cacheMapGeometry();
  config(node, "gradient_smoother");
}

void PathSmoother::cacheMapGeometry() {
  grid_layers = map ? map->getMultiGridMap() : nullptr;
  costmap = grid_layers ? grid_layers->getCostmap() : nullptr;
  if (!costmap) {
    ORVIK_ERROR("PathSmoother({}): no grid map to smooth on", name);
    throw std::invalid_argument("PathSmoother needs a grid map with a costmap");
  }
  size_x = static_cast<int32_t>(costmap->getSizeInCellsX());
  size_y = static_cast<int32_t>(costmap->getSizeInCellsY());
}

void PathSmoother::config(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& weak_node,
                          const std::string& prefix) {
  const auto node = weak_node.lock();
  if (!node) {
    ORVIK_ERROR("PathSmoother({}): node is gone, parameters under {} left unchanged", name, prefix);
    return;
  }
  name = prefix;
  readParameter(node, name + ".min_turn_radius", 1.0, min_turn_radius);
  readParameter(node, name + ".max_obstacle_dis", 0.6, max_obstacle_dis);
  readParameter(node, name + ".obstacle_weight", 0.5, obstacle_weight);
  readParameter(node, name + ".curvature_weight", 0.05, curvature_weight);
  readParameter(node, name + ".smooth_weight", 1.5, smooth_weight);
  readParameter(node, name + ".path_align_weight", 0.5, path_align_weight);
  readParameter(node, name + ".priority_passage_obs_scale", 0.5, priority_passage_obs_scale);
  readParameter(node, name + ".priority_passage_smooth_scale", 0.3, priority_passage_smooth_scale);
  readParameter(node, name + ".max_iterations", 200, max_iterations);
  // The 10 % margin keeps bends the robot can just drive free of curvature force.
  max_curvature = static_cast<float>(1.0 / (min_turn_radius * 1.1));
}

void PathSmoother::config(double max_obstacle_dis_value, double obstacle_weight_value,
                          double curvature_weight_value, double smooth_weight_value,
                          double path_align_weight_value, double index_search_length_value,
                          double resample_step_value) {
  max_obstacle_dis = static_cast<float>(max_obstacle_dis_value);
  obstacle_weight = static_cast<float>(obstacle_weight_value);
  curvature_weight = static_cast<float>(curvature_weight_value);
  smooth_weight = static_cast<float>(smooth_weight_value);
  path_align_weight = static_cast<float>(path_align_weight_value);
  index_search_length = static_cast<float>(index_search_length_value);
  const float step = static_cast<float>(resample_step_value);
  // A step that is zero, negative or not a number would never advance the resampler.
  if (std::isfinite(step) && step > 0.0f) {
    resample_step = step;
  } else {
    ORVIK_WARN("PathSmoother({}): resample_step {} refused, keeping {}", name, resample_step_value,
               resample_step);
  }
}

void PathSmoother::setOriginalPath(const nav_msgs::msg::Path& path) {
  cacheMapGeometry();
  resampled_path.clear();
  // A new request must never hand back the smoothed path of the previous one.
  smoothed_path.clear();
  smooth_start_index = 0;
  smooth_end_index = 0;
  input_path = path;
  if (path.poses.empty()) {
    return;
  }
  std::vector<Pose2d> poses;
  poses.reserve(path.poses.size());
  for (size_t i = 0; i < path.poses.size(); ++i) {
    const auto& pose = path.poses[i].pose;
    const Pose2d converted{pose.position.x, pose.position.y, headingOf(pose.orientation)};
    if (!isFinite(converted)) {
      ORVIK_ERROR("PathSmoother({}): pose {} of {} is not finite, path left unsmoothed", name, i,
                  path.poses.size());
      return;
    }
    poses.push_back(converted);
  }
  resampled_path = resamplePath(poses, resample_step);
}

void PathSmoother::setCurrentData(geometry_msgs::msg::PoseStamped pose,
                                  geometry_msgs::msg::Twist velocity) {
  const float speed = static_cast<float>(velocity.linear.x);
  const float turn_rate = static_cast<float>(velocity.angular.z);
  float theta = static_cast<float>(headingOf(pose.pose.orientation));
  double x = pose.pose.position.x;
  double y = pose.pose.position.y;
  if (!std::isfinite(speed) || !std::isfinite(turn_rate) || !std::isfinite(theta) ||
      !std::isfinite(x) || !std::isfinite(y)) {
    ORVIK_ERROR("PathSmoother({}): robot pose or velocity is not finite, no motion predicted",
                name);
    predicted_path.clear();
    return;
  }
  std::vector<Pose2d> motion;
  motion.reserve(kPredictionSteps);
  for (int step = 0; step < kPredictionSteps; ++step) {
    x += std::cos(theta) * speed * kPredictionStepSeconds;
    y += std::sin(theta) * speed * kPredictionStepSeconds;
    theta += kPredictionStepSeconds * turn_rate;
    motion.push_back(Pose2d{x, y, 0.0});
  }
  predicted_path = resamplePath(motion, resample_step);
}

size_t PathSmoother::getPathSmoothIndex() {
  smooth_start_index = 0;
  if (predicted_path.empty()) {
    smooth_end_index = 0;
    return 0;
  }
  const Vec2d robot = positionOf(predicted_path.front());
  if (!resampled_path.empty()) {
    float min_distance = std::numeric_limits<float>::max();
    float walked = 0.0f;
    for (size_t k = 0;; ++k) {
      const Vec2d here = positionOf(resampled_path[k]);
      const float distance = static_cast<float>(robot.DistanceTo(here));
      // "Not greater" lets the later of two equally near points win, so a path that passes
      // the robot twice is smoothed from its second pass on.
      if (distance <= min_distance) {
        min_distance = distance;
        smooth_start_index = k;
      }
      if (walked >= index_search_length || k + 1 >= resampled_path.size()) {
        break;
      }
      walked += static_cast<float>(here.DistanceTo(positionOf(resampled_path[k + 1])));
    }
  }
  smooth_end_index = smooth_start_index + predicted_path.size();
  return smooth_end_index;
}

std::vector<Pose2d> PathSmoother::resamplePath(const std::vector<Pose2d>& poses, float step) {
  std::vector<Pose2d> resampled;
  if (poses.size() <= 2) {
    return resampled;
  }
  if (!std::isfinite(step) || step <= 0.0f) {
    ORVIK_ERROR("PathSmoother({}): cannot resample with a step of {}", name, step);
    return resampled;
  }
  double length = 0.0;
  for (size_t i = 1; i < poses.size(); ++i) {
    length += std::hypot(poses[i].x - poses[i - 1].x, poses[i].y - poses[i - 1].y);
  }
  // Each input pose adds at most one point beyond length / step; the slack covers float
  // rounding. Far from the origin a double may not move by `step` at all, and the budget is
  // what stops such a walk. NaN or infinite positions fail the test as well.
  const double budget = length / step + 2.0 * static_cast<double>(poses.size()) + 16.0;
  if (!(budget <= kMaxResampledPoints)) {
    ORVIK_ERROR("PathSmoother({}): path of {} poses and {} m is not finite or too long to resample",
                name, poses.size(), length);
    return resampled;
  }
  resampled.reserve(static_cast<size_t>(budget));
  resampled.push_back(poses.front());
  Vec2d anchor = positionOf(poses.front());
  for (size_t i = 1; i < poses.size(); ++i) {
    float dx = static_cast<float>(poses[i].x - anchor.x());
    float dy = static_cast<float>(poses[i].y - anchor.y());
    float distance = std::sqrt(dx * dx + dy * dy);
    while (distance >= step) {
      if (static_cast<double>(resampled.size()) >= budget) {
        ORVIK_ERROR("PathSmoother({}): resampling makes no progress near ({}, {})", name,
                    anchor.x(), anchor.y());
        return {};
      }
      const float ratio = step / distance;
      const float offset_x = ratio * dx;
      const float offset_y = ratio * dy;
      anchor = Vec2d(anchor.x() + offset_x, anchor.y() + offset_y);
      resampled.push_back(Pose2d{anchor.x(), anchor.y(), std::atan2(dy, dx)});
      dx = static_cast<float>(poses[i].x - anchor.x());
      dy = static_cast<float>(poses[i].y - anchor.y());
      distance = std::sqrt(dx * dx + dy * dy);
    }
  }
  const Pose2d& last = poses.back();
  resampled.push_back(Pose2d{last.x, last.y, poses[poses.size() - 2].theta});
  return resampled;
}

void PathSmoother::smoothPath() {
  if (resampled_path.empty()) {
    return;
  }
  smoothed_path = resampled_path;
  getPathSmoothIndex();
  const float total_weight = smooth_weight + curvature_weight + obstacle_weight + path_align_weight;
  if (max_iterations <= 0) {
    return;
  }
  const size_t count = smoothed_path.size();
  const size_t first = smooth_start_index == 0 ? 1 : smooth_start_index;
  if (first + 1 >= count) {
    return;
  }
  // The map is read-only, so whether it has passages at all is asked once, not per point.
  const bool scale_in_passages =
      priority_passage_smooth_scale < 1.0f && grid_layers->hasPriorityPassage();
  for (int32_t sweep = 0; sweep < max_iterations; ++sweep) {
    for (size_t i = first; i + 1 < count; ++i) {
      const Vec2d prev = positionOf(smoothed_path[i - 1]);
      const Vec2d cur = positionOf(smoothed_path[i]);
      const Vec2d next = positionOf(smoothed_path[i + 1]);
      // Each term is tried on its own: a correction that would carry the point off the map
      // leaves the point where it is for this sweep.
      Vec2d correction = -obstacleTerm(cur);
      if (!isOnGrid(cur + correction)) {
        continue;
      }
      correction -= smoothnessTerm(prev, cur, next);
      if (!isOnGrid(cur + correction)) {
        continue;
      }
      correction -= curvatureTerm(prev, cur, next);
      if (!isOnGrid(cur + correction)) {
        continue;
      }
      correction -= predictedTerm(cur, i);
      if (!isOnGrid(cur + correction)) {
        continue;
      }
      if (scale_in_passages && inPriorityPassage(cur)) {
        correction = correction * priority_passage_smooth_scale;
      }
      const Vec2d moved = cur + (step_size * correction) / total_weight;
      // Weights summing to zero would divide by zero; such a step is dropped, not stored.
      if (!isFinite(moved)) {
        continue;
      }
      smoothed_path[i].x = moved.x();
      smoothed_path[i].y = moved.y();
      smoothed_path[i - 1].theta = (moved - prev).Angle();
      const double heading = (next - prev).Angle();
      smoothed_path[i].theta = heading;
      smoothed_path[i + 1].theta = heading;
    }
  }
}

bool PathSmoother::getSmoothedNavPath(nav_msgs::msg::Path& path) {
  if (input_path.poses.size() <= 2) {
    path = input_path;
    return true;
  }
  if (smoothed_path.empty()) {
    return false;
  }
  path.poses.clear();
  path.poses.reserve(smoothed_path.size() - smooth_start_index);
  for (size_t i = smooth_start_index; i < smoothed_path.size(); ++i) {
    geometry_msgs::msg::PoseStamped pose;
    pose.pose.position.x = smoothed_path[i].x;
    pose.pose.position.y = smoothed_path[i].y;
    pose.pose.position.z = 0.0;
    pose.pose.orientation.x = 0.0;
    pose.pose.orientation.y = 0.0;
    pose.pose.orientation.z = std::sin(smoothed_path[i].theta / 2.0);
    pose.pose.orientation.w = std::cos(smoothed_path[i].theta / 2.0);
    path.poses.push_back(pose);
  }
  return true;
}
