// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/astar_path_constraint.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <utility>

#include "orvik/logger.hpp"
#include "world_to_cell.hpp"

namespace orvik_nav2_planner::astar2 {

namespace {

constexpr double kTimeStep = 0.1;
constexpr double kMinPredictTime = 0.1;
constexpr double kMinLinearVelocity = 0.05;
// Footprint of the robot along the predicted motion, metres.
constexpr double kMotionWidth = 0.4;
// A horizon longer than this many steps (over 27 hours) cannot describe the next moves of a
// robot; the cap keeps absurd finite horizons from stalling a request.
constexpr long kMaxPredictSteps = 1000000;

bool isFinitePosition(const geometry_msgs::msg::PoseStamped& pose) {
  return std::isfinite(pose.pose.position.x) && std::isfinite(pose.pose.position.y);
}

double planarDistance(const geometry_msgs::msg::PoseStamped& a,
                      const geometry_msgs::msg::PoseStamped& b) {
  return std::hypot(a.pose.position.x - b.pose.position.x, a.pose.position.y - b.pose.position.y);
}

}  // namespace

AstarPathConstraint::AstarPathConstraint(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map)
    : map_(std::move(map)) {
  if (!map_ || !map_->getMultiGridMap() || !map_->getMultiGridMap()->getCostmap()) {
    throw std::invalid_argument("AstarPathConstraint: grid map without layers");
  }
  costmap_ = map_->getMultiGridMap()->getCostmap();
  constraint_cells_.max_load_factor(1.0f);
}

void AstarPathConstraint::clearPathConstraint() {
  std::unordered_set<int> empty;
  empty.max_load_factor(1.0f);
  constraint_cells_.swap(empty);
}

int AstarPathConstraint::cellsFromSize(double value) const {
  // No fill can reach further than the map, so sizes are capped there before the integer
  // conversion; NaN and negative sizes mark nothing beyond the centred fill's own cell.
  const auto& costmap = costmap_;
  const double cap =
      static_cast<double>(std::max(costmap->getSizeInCellsX(), costmap->getSizeInCellsY()));
  if (!(value > 0.0)) {
    return 0;
  }
  return static_cast<int>(std::ceil(std::min(value, cap)));
}

void AstarPathConstraint::fillCentred(int32_t mx, int32_t my, int n) {
  const auto& costmap = costmap_;
  const int64_t size_x = costmap->getSizeInCellsX();
  const int64_t size_y = costmap->getSizeInCellsY();
  const int64_t x_begin = std::max<int64_t>(0, int64_t{mx} - n);
  const int64_t x_end = std::min<int64_t>(size_x - 1, int64_t{mx} + n);
  const int64_t y_begin = std::max<int64_t>(0, int64_t{my} - n);
  const int64_t y_end = std::min<int64_t>(size_y - 1, int64_t{my} + n);
  for (int64_t x = x_begin; x <= x_end; ++x) {
    for (int64_t y = y_begin; y <= y_end; ++y) {
      constraint_cells_.insert(static_cast<int>(y * size_x + x));
    }
  }
}

void AstarPathConstraint::fillAnchored(int32_t mx, int32_t my, int n) {
  if (n <= 0) {
    return;
  }
  const auto& costmap = costmap_;
  const int64_t size_x = costmap->getSizeInCellsX();
  const int64_t size_y = costmap->getSizeInCellsY();
  const int64_t x_end = std::min<int64_t>(size_x, int64_t{mx} + n);
  const int64_t y_end = std::min<int64_t>(size_y, int64_t{my} + n);
  for (int64_t x = std::max<int64_t>(0, mx); x < x_end; ++x) {
    for (int64_t y = std::max<int64_t>(0, my); y < y_end; ++y) {
      constraint_cells_.insert(static_cast<int>(y * size_x + x));
    }
  }
}

void AstarPathConstraint::fill(bool centred, int32_t mx, int32_t my, int n) {
  if (centred) {
    fillCentred(mx, my, n);
  } else {
    fillAnchored(mx, my, n);
  }
}

void AstarPathConstraint::buildPathConstraint(const geometry_msgs::msg::PoseStamped& start,
                                              const AstarOptions& options) {
  clearPathConstraint();
  if (!options.use_path_consistency || options.reference_path == nullptr) {
    return;
  }
  ReferencePath& reference = *options.reference_path;
  auto& poses = reference.path.poses;
  if (poses.empty()) {
    return;
  }
  // The trim below moves the reference poses, and a caller may well pass one of them as the
  // start (replanning from where the last path said the robot is): keep our own copy.
  const geometry_msgs::msg::PoseStamped pose = start;
  // Held for the whole operation, as every caller that loops over cells does.
  const auto grid = map_->getMultiGridMap();
  const auto& costmap = costmap_;
  const double res = costmap->getResolution();

  // Poses with non-finite coordinates cannot be nearest to anything. A non-finite start is
  // equally far from every pose (no distance compares smaller), so, as on equal distances, the
  // first pose wins: nothing is trimmed and the corridor is marked from the path's beginning.
  std::size_t nearest = 0;
  double nearest_distance = std::numeric_limits<double>::infinity();
  bool found = false;
  for (std::size_t i = 0; i < poses.size(); ++i) {
    if (!isFinitePosition(poses[i])) {
      continue;
    }
    const double d = planarDistance(poses[i], pose);
    if (!found || d < nearest_distance) {
      found = true;
      nearest = i;
      nearest_distance = d;
    }
  }
  if (found && nearest > 0) {
    poses.erase(poses.begin(), poses.begin() + static_cast<std::ptrdiff_t>(nearest));
  }

  if (poses.size() > 1 && found) {
    // A NaN distance never ends the walk (no length exceeds it) and sizes no anchored
    // fill, so only a centred corridor with its own width is marked, along the whole path.
    const bool centred = options.priority_preference;
    double corridor = 0.0;
    if (centred) {
      if (reference.half_width > res * 0.5) {
        corridor = reference.half_width;
      } else if (options.center_distance > res * 0.5) {
        corridor = options.center_distance;
      } else {
        corridor = reference.distance * 0.5;
      }
    }
    const int n =
        centred ? cellsFromSize(corridor / res) : cellsFromSize(reference.distance / res * 0.5);
    double length = 0.0;
    // Non-finite poses are skipped: the length runs from the last finite pose.
    const geometry_msgs::msg::PoseStamped* previous = &poses[0];
    for (std::size_t i = 1; i < poses.size(); ++i) {
      if (!isFinitePosition(poses[i])) {
        continue;
      }
      length += planarDistance(*previous, poses[i]);
      previous = &poses[i];
      if (length > reference.distance) {
        break;
      }
      unsigned int mx = 0;
      unsigned int my = 0;
      if (!worldToCell(*costmap, poses[i].pose.position.x, poses[i].pose.position.y, mx, my)) {
        continue;
      }
      fill(centred, static_cast<int32_t>(mx), static_cast<int32_t>(my), n);
    }
  }
  buildVelConstraint(pose, options);
}

void AstarPathConstraint::buildVelConstraint(const geometry_msgs::msg::PoseStamped& pose,
                                             const AstarOptions& options) {
  if (options.predict_time < kMinPredictTime || options.linear_velocity < kMinLinearVelocity) {
    return;
  }
  const auto& q = pose.pose.orientation;
  if (!std::isfinite(options.predict_time) || !std::isfinite(options.linear_velocity) ||
      !std::isfinite(options.angular_velocity) || !isFinitePosition(pose) || !std::isfinite(q.z) ||
      !std::isfinite(q.w)) {
    ORVIK_WARN("AstarPathConstraint: velocity, horizon or pose not finite, no velocity constraint");
    return;
  }
  // Held for the whole operation, as every caller that loops over cells does.
  const auto grid = map_->getMultiGridMap();
  const auto& costmap = costmap_;
  const double res = costmap->getResolution();
  const bool centred = options.priority_preference;
  const int n = cellsFromSize((kMotionWidth / res) * 0.5);

  double theta = std::atan2(2.0 * q.w * q.z, 1.0 - 2.0 * q.z * q.z);
  double x = pose.pose.position.x;
  double y = pose.pose.position.y;
  const double v = options.linear_velocity;
  double t = 0.0;
  long steps = 0;
  do {
    // The displacement uses the time elapsed before the step, so the first step stays at the
    // start and later ones grow; callers tuned their horizons against this model.
    x += std::cos(theta) * v * t;
    y += std::sin(theta) * v * t;
    theta += options.angular_velocity * t;
    t += kTimeStep;
    unsigned int mx = 0;
    unsigned int my = 0;
    if (worldToCell(*costmap, x, y, mx, my)) {
      fill(centred, static_cast<int32_t>(mx), static_cast<int32_t>(my), n);
    }
    if (++steps >= kMaxPredictSteps) {
      ORVIK_WARN("AstarPathConstraint: predict time {} s clipped to {} steps", options.predict_time,
                 kMaxPredictSteps);
      break;
    }
  } while (options.predict_time >= t);
}

double AstarPathConstraint::getPathConsistencyCost(const AstarNode* node,
                                                   const AstarOptions& options) const {
  if (node == nullptr || !options.use_path_consistency || options.reference_path == nullptr ||
      constraint_cells_.empty()) {
    return 0.0;
  }
  if (isMarked(node->x, node->y)) {
    return 0.0;
  }
  return options.reference_path->cost;
}

bool AstarPathConstraint::isMarked(int32_t x, int32_t y) const {
  const auto& costmap = costmap_;
  const int64_t size_x = costmap->getSizeInCellsX();
  return constraint_cells_.count(static_cast<int>(int64_t{y} * size_x + x)) > 0;
}

}  // namespace orvik_nav2_planner::astar2
