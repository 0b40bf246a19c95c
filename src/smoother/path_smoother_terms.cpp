// SPDX-License-Identifier: Apache-2.0
// The gradient terms of PathSmoother. Callers tune their weights against this exact output, so
// the single-precision steps below are deliberate and must not be widened to double.
#include <cmath>

#include "orvik_nav2_planner/path_smoother.hpp"

namespace {

// Beyond this correction length gradientLimit clips, and the predicted pull is capped.
constexpr float kGradientLimit = 0.5f;
constexpr float kMaxPredictedPull = 0.2f;
// Below this distance from the predicted point the pull stops growing with 1 / distance.
constexpr float kMinPredictedDistance = 0.1f;
// Segments shorter than this carry no usable direction for the curvature term.
constexpr float kMinSegmentLength = 1e-5f;

}  // namespace

bool PathSmoother::isOnGrid(Vec2d point) {
  unsigned int mx = 0;
  unsigned int my = 0;
  return costmap->worldToMap(point.x(), point.y(), mx, my);
}

bool PathSmoother::isOnGrid(int x, int y) {
  return x >= 0 && x < size_x && y >= 0 && y < size_y;
}

bool PathSmoother::inPriorityPassage(const Vec2d& point) const {
  if (!grid_layers->hasPriorityPassage()) {
    return false;
  }
  unsigned int mx = 0;
  unsigned int my = 0;
  return costmap->worldToMap(point.x(), point.y(), mx, my) &&
         grid_layers->inPriorityPassage(mx, my, 0);
}

Vec2d PathSmoother::obstacleTerm(Vec2d point) {
  unsigned int mx = 0;
  unsigned int my = 0;
  if (!costmap->worldToMap(point.x(), point.y(), mx, my)) {
    return Vec2d();
  }
  const double distance = grid_layers->getDistance(mx, my);
  float reach = max_obstacle_dis;
  if (grid_layers->hasPriorityPassage() && grid_layers->inPriorityPassage(mx, my, 0)) {
    // Passages are narrow by design; a shorter reach keeps their walls from pushing the path
    // off the passage centre line.
    reach = max_obstacle_dis * priority_passage_obs_scale;
  }
  // Without a positive reach no obstacle is near enough to push (and exp(-d / 0) is undefined).
  if (!(reach > 0.0f)) {
    return Vec2d();
  }
  const int x = static_cast<int>(mx);
  const int y = static_cast<int>(my);
  if (!isOnGrid(x, y) || static_cast<float>(distance) > reach) {
    return Vec2d();
  }
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (!isOnGrid(x + dx, y + dy)) {
        return Vec2d();
      }
    }
  }
  const auto d = [&](int a, int b) {
    return static_cast<float>(grid_layers->getDistance(static_cast<unsigned int>(x + a),
                                                       static_cast<unsigned int>(y + b)));
  };
  // Sobel-like central differences over the 3 x 3 block: the direction in which the
  // obstacle distance grows.
  const float gx = (d(1, 0) - d(-1, 0) + d(1, 1) - d(-1, 1) + d(1, -1) - d(-1, -1)) * 0.25f;
  const float gy = (d(0, 1) - d(0, -1) + d(1, 1) - d(1, -1) + d(-1, 1) - d(-1, -1)) * 0.25f;
  const float magnitude = std::hypot(gx, gy);
  if (magnitude > 1e-6) {
    return -obstacle_weight * std::exp(-distance / reach) * Vec2d(gx / magnitude, gy / magnitude);
  }
  return Vec2d();
}

Vec2d PathSmoother::smoothnessTerm(Vec2d previous, Vec2d point, Vec2d next) {
  return smooth_weight * (-4) * (previous - 2 * point + next);
}

Vec2d PathSmoother::curvatureTerm(Vec2d previous, Vec2d point, Vec2d next) {
  const Vec2d delta_in = point - previous;
  const Vec2d delta_out = next - point;
  const float length_in = static_cast<float>(delta_in.Length());
  const float length_out = static_cast<float>(delta_out.Length());
  if (length_in <= kMinSegmentLength || length_out <= kMinSegmentLength) {
    return Vec2d();
  }
  const double cosine = delta_in.InnerProd(delta_out) / (length_in * length_out);
  const float turn = std::acos(static_cast<float>(std::fmax(-1.0, std::fmin(1.0, cosine))));
  if (turn / length_in <= max_curvature) {
    return Vec2d();
  }
  const float cos_turn = std::cos(turn);
  const float u = -(1.0f / length_in) * (-1.0f / std::sqrt(1.0f - cos_turn * cos_turn));
  // The orthogonal parts are those of the positions themselves, not of the segment vectors:
  // the force therefore depends on where the bend lies in the map frame. Kept as is because
  // tuned weights rely on this output.
  const Vec2d p1 = point.ort(-next) / (length_in * length_out);
  const Vec2d p2 = -next.ort(point) / (length_in * length_out);
  const float s = turn / (length_in * length_in);
  const Vec2d ones(1.0, 1.0);
  const Vec2d k_point = u * (-p1 - p2) - s * ones;
  const Vec2d k_previous = u * p2 - s * ones;
  const Vec2d k_next = u * p1;
  Vec2d gradient = 0.25 * k_previous + 0.5 * k_point + 0.25 * k_next;
  const double length = gradient.Length();
  if (length > 1.0) {
    gradient /= length;
  }
  if (!std::isfinite(gradient.x()) || !std::isfinite(gradient.y())) {
    return Vec2d();
  }
  return curvature_weight * gradient;
}

Vec2d PathSmoother::predictedTerm(Vec2d point, size_t index) {
  if (index < smooth_start_index || index > smooth_end_index || predicted_path.empty()) {
    return Vec2d();
  }
  const size_t k = index - smooth_start_index;
  if (k >= predicted_path.size()) {
    return Vec2d();
  }
  const Vec2d away = point - Vec2d(predicted_path[k].x, predicted_path[k].y);
  const float distance = static_cast<float>(away.Length());
  Vec2d pull = path_align_weight * away /
               (distance < kMinPredictedDistance ? kMinPredictedDistance : distance);
  const float pull_length = static_cast<float>(pull.Length());
  if (pull_length > kMaxPredictedPull) {
    pull = pull * (kMaxPredictedPull / pull_length);
  }
  // Later predicted points are less certain and pull less.
  return std::exp(-0.1 * static_cast<double>(k)) * pull;
}

void PathSmoother::gradientLimit(Vec2d& gradient) {
  const float length = static_cast<float>(gradient.Length());
  if (length > kGradientLimit) {
    const float factor = kGradientLimit / length;
    gradient *= factor;
  }
}
