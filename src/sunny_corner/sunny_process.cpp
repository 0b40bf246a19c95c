// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/sunny_process.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <utility>

#include "orvik/logger.hpp"
#include "stretch_search.hpp"

namespace {

// Key points whose path indices differ this little belong to one corner: the last point of a
// segment and the first point of the next are neighbours in the path.
constexpr int64_t kSameCornerIndexSpan = 2;
// Yaw step of the in-place rotation sweep, radians.
constexpr double kSweepYawStep = 0.05;
// How far the spin place moves ahead per cycle, and the first offset that is too far, metres.
constexpr double kOffsetStep = 0.02;
constexpr double kMaxOffset = 0.5;
// Where pose B goes when no free spin place is found, metres ahead of the corner.
constexpr double kFallbackSpinDistance = 0.3;
// A sweep beyond a full turn checks nothing new; this bounds a corrupt turning angle.
constexpr double kFullTurn = 2.0 * M_PI;

// Distance of points from the chord through two fixed points. Equal, bit for bit, to
// point2LineDistance(p, a, b), but the slope, intercept and norm are computed once per chord
// instead of once per point: diluting measures every point of a segment against one chord.
class ChordDistance {
 public:
  ChordDistance(const Point& a, const Point& b) : a_x_(a.x) {
    const double dx = a.x - b.x;
    // Same vertical-chord rule as point2LineDistance.
    vertical_ = std::fabs(dx) <= 0.05;
    if (!vertical_) {
      k_ = (a.y - b.y) / dx;
      c_ = a.y - k_ * a.x;
      norm_ = std::sqrt(k_ * k_ + 1.0);
    }
  }

  double operator()(const Point& p) const {
    if (vertical_) {
      return std::fabs(p.x - a_x_);
    }
    return std::fabs(k_ * p.x - p.y + c_) / norm_;
  }

 private:
  double a_x_;
  bool vertical_{true};
  double k_{0.0};
  double c_{0.0};
  double norm_{1.0};
};

bool allFinite(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

bool stretchesLieOn(const Point& corner, size_t count) {
  const int64_t n = static_cast<int64_t>(count);
  return corner.left_far >= 0 && corner.left_far < corner.left_near && corner.left_near < n &&
         corner.right_near >= 0 && corner.right_near < corner.right_far && corner.right_far < n;
}

}  // namespace

DouglasPeuker::DouglasPeuker(double dilute_threshold, double max_fit_error, double angle_margin,
                             double max_corner_shift, double side_length)
    : dilute_threshold_(dilute_threshold),
      max_fit_error_(max_fit_error),
      angle_margin_(angle_margin),
      max_corner_shift_(max_corner_shift),
      side_length_(side_length) {
  if (!(dilute_threshold_ > 0.0)) {
    ORVIK_WARN(
        "DouglasPeuker dilute threshold {} is not a positive number: 0 or less keeps every point "
        "off a chord, NaN keeps every segment whole",
        dilute_threshold_);
  }
}

DouglasPeuker::DouglasPeuker(double dilute_threshold, double max_fit_error, double angle_margin,
                             double max_corner_shift, double side_length,
                             std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map)
    : DouglasPeuker(dilute_threshold, max_fit_error, angle_margin, max_corner_shift, side_length) {
  if (!map) {
    ORVIK_ERROR("DouglasPeuker got no grid map: the spin check and the path cut are unavailable");
    return;
  }
  collision_checker_ = std::make_shared<Collision::CollisionCheck>(map);
}

void DouglasPeuker::reset() {
  key_points_.clear();
  pending_segments_.clear();
  sunny_corners_.clear();
  line_corners_.clear();
  cut_poses_.clear();
}

void DouglasPeuker::processPath(const std::vector<geometry_msgs::msg::PoseStamped>& path) {
  reset();
  std::vector<Point> points;
  path2PointList(path, points);
  diluting(points);
  // An explicit stack instead of recursion: long paths need no deep call chain. Last in,
  // first out, so the later half of each split is worked first and key_points_ fills from the
  // end of the path backwards.
  while (!pending_segments_.empty()) {
    std::vector<Point> segment = std::move(pending_segments_.back());
    pending_segments_.pop_back();
    diluting(segment);
  }
  if (key_points_.empty()) {
    return;
  }
  std::reverse(key_points_.begin(), key_points_.end());
  selectSunnyCorner(points);
  fromPoints2Line(points);
}

void DouglasPeuker::diluting(std::vector<Point>& points) {
  const size_t n = points.size();
  if (n <= 2) {
    key_points_.insert(key_points_.end(), points.rbegin(), points.rend());
    return;
  }
  const ChordDistance chord(points.front(), points.back());
  // Strictly greater keeps the first of equal distances; NaN never wins. split stays 0 when
  // no interior point lies off the chord at all.
  double farthest = 0.0;
  size_t split = 0;
  for (size_t i = 1; i + 1 < n; ++i) {
    const double d = chord(points[i]);
    if (d > farthest) {
      farthest = d;
      split = i;
    }
  }
  // A segment with no point off its chord stays whole whatever the threshold: splitting it
  // would gain nothing, and a threshold of 0 or less would otherwise split a straight run
  // forever. A NaN threshold keeps every segment whole.
  if (split == 0 || !(farthest >= dilute_threshold_)) {
    key_points_.push_back(points.back());
    key_points_.push_back(points.front());
    return;
  }
  // The split point belongs to the later part only; both parts are shorter than the segment.
  pending_segments_.emplace_back(points.begin(), points.begin() + split);
  pending_segments_.emplace_back(points.begin() + split, points.end());
}

void DouglasPeuker::selectSunnyCorner(std::vector<Point>& points) {
  if (key_points_.empty()) {
    return;
  }
  std::vector<Point> candidates{key_points_.front()};
  for (const Point& key_point : key_points_) {
    const int64_t step =
        static_cast<int64_t>(key_point.index) - static_cast<int64_t>(candidates.back().index);
    if (std::abs(step) > kSameCornerIndexSpan) {
      candidates.push_back(key_point);
    }
  }
  if (candidates.size() < 3) {
    return;
  }
  const double min_angle = angle_margin_ / 180.0 * M_PI;
  const double max_angle = (180.0 - angle_margin_) / 180.0 * M_PI;
  // The same stretches as leftMeanDistance and rightMeanDistance find, without their scan of
  // the path per start point and corner (cubic on a long path that stays within half a metre).
  sunny_corner::StretchSearch stretches(points, side_length_);
  for (size_t c = 1; c + 1 < candidates.size(); ++c) {
    Point corner = candidates[c];
    const double left = stretches.left(corner);
    const double right = stretches.right(corner);
    if (corner.left_near == -1 || corner.left_far == -1 || corner.right_near == -1 ||
        corner.right_far == -1) {
      continue;
    }
    const Point& arrive_from = points[corner.left_far];
    const Point& arrive_at = points[corner.left_near];
    const Point& depart_from = points[corner.right_near];
    const Point& depart_to = points[corner.right_far];
    const double ux = arrive_at.x - arrive_from.x;
    const double uy = arrive_at.y - arrive_from.y;
    const double vx = depart_to.x - depart_from.x;
    const double vy = depart_to.y - depart_from.y;
    const double cross = ux * vy - uy * vx;
    const double cosine = ((ux * vx + uy * vy) / std::hypot(ux, uy)) / std::hypot(vx, vy);
    // Rounding can push the cosine of a straight run or a reversal just past +-1.
    corner.angle = std::acos(std::clamp(cosine, -1.0, 1.0));
    const bool clockwise = cross < 0.0;
    const bool straight_sides = max_fit_error_ >= left && max_fit_error_ >= right;
    const bool moderate_turn = corner.angle >= min_angle && corner.angle <= max_angle;
    if (clockwise && straight_sides && moderate_turn) {
      sunny_corners_.push_back(corner);
    }
  }
}

void DouglasPeuker::fromPoints2Line(std::vector<Point>& points) {
  for (const Point& corner : sunny_corners_) {
    if (!stretchesLieOn(corner, points.size())) {
      ORVIK_ERROR("sunny corner at index {} has stretches off the path, skipped", corner.index);
      continue;
    }
    const std::vector<Point> left(points.begin() + corner.left_far,
                                  points.begin() + corner.left_near);
    const std::vector<Point> right(points.begin() + corner.right_near,
                                   points.begin() + corner.right_far);
    const Line left_line = fit(left, false);
    const Line left_swapped = fit(left, true);
    const Line right_line = fit(right, false);
    const Line right_swapped = fit(right, true);

    Point moved = corner;
    Line in = left_line;
    Line out = right_line;
    if (left_swapped.vertical) {
      in = left_swapped;
    } else if (right_swapped.vertical) {
      out = right_swapped;
    }
    const Point crossing = intersection(in, out);
    moved.x = crossing.x;
    moved.y = crossing.y;
    moved.heading_in = in.angle;
    moved.heading_out = out.angle;
    // Nearly parallel sides cross far away or nowhere; such a corner must not be used even
    // when the allowed shift is unbounded.
    const bool finite = std::isfinite(moved.x) && std::isfinite(moved.y);
    if (finite && std::hypot(corner.x - moved.x, corner.y - moved.y) <= max_corner_shift_) {
      line_corners_.push_back(moved);
    }
  }
  for (const Point& corner : line_corners_) {
    ORVIK_DEBUG("sunny corner from line {}, {}, {}, {}, {}, {}, {}, {}", corner.x, corner.y,
                corner.index, corner.angle, corner.left_far, corner.left_near, corner.right_near,
                corner.right_far);
  }
}

bool DouglasPeuker::isSpinCollisionFree(Point corner, double& offset) {
  offset = 0.0;
  if (!collision_checker_) {
    ORVIK_ERROR("Sunny corner spin check needs a DouglasPeuker built with a grid map");
    return false;
  }
  if (!allFinite({corner.x, corner.y, corner.heading_in, corner.angle})) {
    ORVIK_ERROR("Sunny corner spin check got a non-finite corner ({}, {}), heading {}, angle {}",
                corner.x, corner.y, corner.heading_in, corner.angle);
    return false;
  }
  const double turn = std::min(std::fabs(corner.angle), kFullTurn);
  const int max_cycle_count = static_cast<int>(turn / kSweepYawStep + 1);
  ORVIK_DEBUG("Sunny corner rotation max_cycle_count={}", max_cycle_count);

  const double step_x = std::cos(corner.heading_in);
  const double step_y = std::sin(corner.heading_in);
  bool first = true;
  for (int cycle = 0;; ++cycle) {
    offset = cycle * kOffsetStep;
    // Every place tried lies straight ahead of the corner on the incoming line, exactly
    // `offset` from it, so that the offset reported is where the rotation was found free.
    geometry_msgs::msg::Pose2D pose;
    pose.x = corner.x + offset * step_x;
    pose.y = corner.y + offset * step_y;
    bool sweep_free = true;
    for (int i = 0; i <= max_cycle_count; ++i) {
      pose.theta = corner.heading_in - i * kSweepYawStep;
      if (!collision_checker_->isCollisionFreePose(pose, first)) {
        sweep_free = false;
        break;
      }
      first = false;
    }
    if (sweep_free) {
      ORVIK_DEBUG("Sunny corner collision free is true, the offset is: {}", offset);
      return offset < kMaxOffset;
    }
    if (offset >= kMaxOffset) {
      return false;
    }
  }
}

bool DouglasPeuker::cutPathFromSunny(std::vector<geometry_msgs::msg::PoseStamped>& path,
                                     int corner_index, double distance) {
  if (path.empty()) {
    ORVIK_ERROR("The path in cut path from sunny is empty !!!");
    return false;
  }
  if (corner_index < 0 || static_cast<size_t>(corner_index) >= line_corners_.size()) {
    ORVIK_ERROR("The index of sunny corner is error !!!!!!");
    return false;
  }
  const Point corner = line_corners_[corner_index];
  const int64_t n = static_cast<int64_t>(path.size());
  auto off_path = [n](int32_t index) { return index < 0 || index >= n; };
  if (off_path(corner.left_near) || off_path(corner.left_far) || off_path(corner.right_far)) {
    ORVIK_ERROR("The first point index is out of range !!!!");
    return false;
  }
  if (!collision_checker_) {
    ORVIK_ERROR("Cut path from sunny needs a DouglasPeuker built with a grid map");
    return false;
  }
  if (!allFinite({corner.x, corner.y, corner.heading_in, corner.angle})) {
    ORVIK_ERROR("Cut path from sunny got a non-finite corner ({}, {}), heading {}, angle {}",
                corner.x, corner.y, corner.heading_in, corner.angle);
    return false;
  }
  // The distance only places pose B when a free spin place is found; without one B falls back
  // to a fixed distance, and a distance that could not be used is no reason to refuse.
  double offset = 0.0;
  const bool spin_free = isSpinCollisionFree(corner, offset);
  if (spin_free && !std::isfinite(distance)) {
    ORVIK_ERROR("Cut path from sunny got a non-finite distance {}", distance);
    return false;
  }

  const double heading = corner.heading_in;
  geometry_msgs::msg::PoseStamped corner_pose;
  corner_pose.pose.position.x = corner.x;
  corner_pose.pose.position.y = corner.y;
  corner_pose.pose.position.z = 0.0;
  // Not a unit quaternion on purpose: z and w are the incoming heading, and x carries the
  // turning angle, which the consumer of the cut path reads back from it.
  corner_pose.pose.orientation.x = corner.angle;
  corner_pose.pose.orientation.y = 0.0;
  corner_pose.pose.orientation.z = std::sin(heading / 2.0);
  corner_pose.pose.orientation.w = std::cos(heading / 2.0);

  geometry_msgs::msg::PoseStamped spin_pose = corner_pose;
  const double ahead = spin_free ? distance + offset : kFallbackSpinDistance;
  spin_pose.pose.position.x = corner.x + ahead * std::cos(heading);
  spin_pose.pose.position.y = corner.y + ahead * std::sin(heading);

  path.erase(path.begin() + corner.left_near, path.end());
  path.push_back(corner_pose);
  path.push_back(spin_pose);
  cut_poses_.push_back(spin_pose);
  return true;
}
