// SPDX-License-Identifier: Apache-2.0
#include "stretch_search.hpp"

#include <algorithm>
#include <cmath>

namespace sunny_corner {

namespace {

// The starting value of leftMeanDistance and rightMeanDistance: a stretch must fit better.
constexpr double kNoStretch = 10.0;
// Stretches start within 0.5 m of the corner (compared squared), as in those functions.
constexpr double kStretchStartRadiusSquared = 0.25;
// A box is skipped only when even its farthest corner is closer than the length by more than
// hypot's rounding (under an ulp) could make up: the skip never changes an answer.
constexpr double kHypotSafety = 1.0 + 1e-12;

int64_t leavesFor(std::size_t count) {
  int64_t leaves = 1;
  while (leaves < static_cast<int64_t>(count)) {
    leaves *= 2;
  }
  return leaves;
}

// Largest |q - place| over q in [low, high], for one coordinate. Rounded subtraction is
// monotone, so no point of the box can give a larger difference than its ends.
double widest(double low, double high, double place) {
  return std::max(std::fabs(high - place), std::fabs(low - place));
}

}  // namespace

PointBoxes::PointBoxes(const std::vector<Point>& points)
    : points_(points), leaves_(leavesFor(points.size())) {
  boxes_.assign(static_cast<std::size_t>(2 * leaves_), Box{0.0, 0.0, 0.0, 0.0, true, true});
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Point& p = points[i];
    boxes_[static_cast<std::size_t>(leaves_) + i] =
        Box{p.x, p.x, p.y, p.y, false, std::isfinite(p.x) && std::isfinite(p.y)};
  }
  for (int64_t node = leaves_ - 1; node >= 1; --node) {
    const Box& a = boxes_[static_cast<std::size_t>(2 * node)];
    const Box& b = boxes_[static_cast<std::size_t>(2 * node + 1)];
    Box& box = boxes_[static_cast<std::size_t>(node)];
    box.empty = a.empty && b.empty;
    box.finite = a.finite && b.finite;
    if (a.empty || b.empty) {
      box = a.empty ? b : a;
      continue;
    }
    box.min_x = std::min(a.min_x, b.min_x);
    box.max_x = std::max(a.max_x, b.max_x);
    box.min_y = std::min(a.min_y, b.min_y);
    box.max_y = std::max(a.max_y, b.max_y);
  }
}

template <class Test>
int64_t PointBoxes::first(std::size_t node, int64_t lo, int64_t hi, int64_t from, int64_t end,
                          const Test& test) const {
  const Box& box = boxes_[node];
  if (hi < from || lo >= end || box.empty || (box.finite && !test.mayHold(box))) {
    return kNone;
  }
  if (lo == hi) {
    return test.holds(lo) ? lo : kNone;
  }
  const int64_t mid = lo + (hi - lo) / 2;
  const int64_t found = first(2 * node, lo, mid, from, end, test);
  return found != kNone ? found : first(2 * node + 1, mid + 1, hi, from, end, test);
}

template <class Test>
int64_t PointBoxes::last(std::size_t node, int64_t lo, int64_t hi, int64_t begin, int64_t from,
                         const Test& test) const {
  const Box& box = boxes_[node];
  if (lo > from || hi < begin || box.empty || (box.finite && !test.mayHold(box))) {
    return kNone;
  }
  if (lo == hi) {
    return test.holds(lo) ? lo : kNone;
  }
  const int64_t mid = lo + (hi - lo) / 2;
  const int64_t found = last(2 * node + 1, mid + 1, hi, begin, from, test);
  return found != kNone ? found : last(2 * node, lo, mid, begin, from, test);
}

namespace {

// hypot(q - origin) >= length, written as rightMeanDistance writes it.
struct FarFrom {
  const std::vector<Point>& points;
  Point origin;
  double length;

  bool mayHold(double min_x, double max_x, double min_y, double max_y) const {
    if (!std::isfinite(origin.x) || !std::isfinite(origin.y)) {
      return true;
    }
    const double reach = std::hypot(widest(min_x, max_x, origin.x), widest(min_y, max_y, origin.y));
    return !(reach * kHypotSafety < length);
  }
  bool holds(int64_t i) const {
    const Point& q = points[static_cast<std::size_t>(i)];
    return std::hypot(q.x - origin.x, q.y - origin.y) >= length;
  }
};

// Squared distance from a place >= a squared radius, as the stretch searches write it.
struct Outside {
  const std::vector<Point>& points;
  Point place;
  double squared_radius;

  bool mayHold(double min_x, double max_x, double min_y, double max_y) const {
    // Rounded squares and sums are monotone too, so the bound is exact.
    const double dx = widest(min_x, max_x, place.x);
    const double dy = widest(min_y, max_y, place.y);
    return !(dx * dx + dy * dy < squared_radius);
  }
  bool holds(int64_t i) const {
    const Point& q = points[static_cast<std::size_t>(i)];
    const double dx = q.x - place.x;
    const double dy = q.y - place.y;
    return dx * dx + dy * dy >= squared_radius;
  }
};

// Adapts a test on box bounds to the tree's boxes.
template <class Inner>
struct BoxTest {
  Inner inner;
  template <class Box>
  bool mayHold(const Box& box) const {
    return inner.mayHold(box.min_x, box.max_x, box.min_y, box.max_y);
  }
  bool holds(int64_t i) const { return inner.holds(i); }
};

}  // namespace

int64_t PointBoxes::firstFarFrom(int64_t origin, int64_t from, int64_t end, double length) const {
  if (std::isnan(length) || from >= end) {
    return kNone;  // nothing is at least NaN away
  }
  const BoxTest<FarFrom> test{{points_, points_[static_cast<std::size_t>(origin)], length}};
  return first(1, 0, leaves_ - 1, from, end, test);
}

int64_t PointBoxes::lastFarFrom(int64_t origin, int64_t begin, int64_t from, double length) const {
  if (std::isnan(length) || from < begin) {
    return kNone;
  }
  const BoxTest<FarFrom> test{{points_, points_[static_cast<std::size_t>(origin)], length}};
  return last(1, 0, leaves_ - 1, begin, from, test);
}

int64_t PointBoxes::firstOutside(const Point& place, int64_t from, int64_t end,
                                 double squared_radius) const {
  if (from >= end) {
    return kNone;
  }
  const BoxTest<Outside> test{{points_, place, squared_radius}};
  return first(1, 0, leaves_ - 1, from, end, test);
}

int64_t PointBoxes::lastOutside(const Point& place, int64_t begin, int64_t from,
                                double squared_radius) const {
  if (from < begin) {
    return kNone;
  }
  const BoxTest<Outside> test{{points_, place, squared_radius}};
  return last(1, 0, leaves_ - 1, begin, from, test);
}

StretchSearch::BestStart::BestStart(std::size_t count, bool prefer_later)
    : prefer_later_(prefer_later),
      leaves_(leavesFor(count)),
      known_(count, 0),
      far_(count, PointBoxes::kNone),
      distance_(count, 0.0),
      tree_(static_cast<std::size_t>(2 * leaves_), PointBoxes::kNone),
      next_unknown_(count + 1) {
  for (std::size_t i = 0; i <= count; ++i) {
    next_unknown_[i] = static_cast<int64_t>(i);
  }
}

bool StretchSearch::BestStart::better(int64_t a, int64_t b) const {
  const double da = distance_[static_cast<std::size_t>(a)];
  const double db = distance_[static_cast<std::size_t>(b)];
  if (da != db) {
    return da < db;
  }
  return prefer_later_ ? a > b : a < b;
}

void StretchSearch::BestStart::set(int64_t i, int64_t far, double distance) {
  const auto at = static_cast<std::size_t>(i);
  known_[at] = 1;
  far_[at] = far;
  distance_[at] = distance;
  next_unknown_[at] = i + 1;
  // The scans keep a start only when its fit beats the best so far, starting from kNoStretch;
  // NaN never does.
  const bool usable = far != PointBoxes::kNone && distance < kNoStretch;
  std::size_t node = static_cast<std::size_t>(leaves_) + at;
  tree_[node] = usable ? i : PointBoxes::kNone;
  for (node /= 2; node >= 1; node /= 2) {
    const int64_t a = tree_[2 * node];
    const int64_t b = tree_[2 * node + 1];
    tree_[node] = a == PointBoxes::kNone ? b : (b == PointBoxes::kNone || !better(b, a) ? a : b);
  }
}

int64_t StretchSearch::BestStart::query(std::size_t node, int64_t lo, int64_t hi, int64_t from,
                                        int64_t to) const {
  if (hi < from || lo > to || tree_[node] == PointBoxes::kNone) {
    return PointBoxes::kNone;
  }
  if (from <= lo && hi <= to) {
    return tree_[node];
  }
  const int64_t mid = lo + (hi - lo) / 2;
  const int64_t a = query(2 * node, lo, mid, from, to);
  const int64_t b = query(2 * node + 1, mid + 1, hi, from, to);
  if (a == PointBoxes::kNone) {
    return b;
  }
  return b == PointBoxes::kNone || !better(b, a) ? a : b;
}

int64_t StretchSearch::BestStart::best(int64_t lo, int64_t hi) const {
  return query(1, 0, leaves_ - 1, lo, hi);
}

int64_t StretchSearch::BestStart::nextUnknown(int64_t i) {
  int64_t root = i;
  while (next_unknown_[static_cast<std::size_t>(root)] != root) {
    root = next_unknown_[static_cast<std::size_t>(root)];
  }
  while (next_unknown_[static_cast<std::size_t>(i)] != root) {
    const int64_t next = next_unknown_[static_cast<std::size_t>(i)];
    next_unknown_[static_cast<std::size_t>(i)] = root;
    i = next;
  }
  return root;
}

StretchSearch::StretchSearch(const std::vector<Point>& points, double length)
    : points_(points),
      length_(length),
      boxes_(points),
      right_(points.size(), false),
      left_(points.size(), true) {}

void StretchSearch::fill(BestStart& side, int64_t lo, int64_t hi, bool forward) {
  const int64_t count = static_cast<int64_t>(points_.size());
  for (int64_t i = side.nextUnknown(lo); i <= hi; i = side.nextUnknown(i + 1)) {
    const int64_t far = forward ? boxes_.firstFarFrom(i, i + 1, count, length_)
                                : boxes_.lastFarFrom(i, 0, i - 1, length_);
    if (far == PointBoxes::kNone) {
      side.set(i, far, 0.0);
      continue;
    }
    if (forward) {
      scratch_.assign(points_.begin() + i, points_.begin() + far);
    } else {
      scratch_.assign(points_.begin() + far, points_.begin() + i);
    }
    side.set(i, far, points2FitLineMeanDistance(scratch_, true));
  }
}

double StretchSearch::right(Point& corner) {
  corner.right_near = -1;
  corner.right_far = -1;
  const int64_t count = static_cast<int64_t>(points_.size());
  if (corner.index < 0 || corner.index >= count) {
    return kNoStretch;
  }
  const int64_t outside =
      boxes_.firstOutside(corner, corner.index, count, kStretchStartRadiusSquared);
  const int64_t hi = (outside == PointBoxes::kNone ? count : outside) - 1;
  if (hi < corner.index) {
    return kNoStretch;
  }
  fill(right_, corner.index, hi, true);
  const int64_t best = right_.best(corner.index, hi);
  if (best == PointBoxes::kNone) {
    return kNoStretch;
  }
  corner.right_near = static_cast<int32_t>(best);
  corner.right_far = static_cast<int32_t>(right_.far(best));
  return right_.distance(best);
}

double StretchSearch::left(Point& corner) {
  corner.left_near = -1;
  corner.left_far = -1;
  const int64_t count = static_cast<int64_t>(points_.size());
  if (corner.index < 1 || corner.index >= count) {
    return kNoStretch;  // index 0 has nothing before it
  }
  const int64_t outside = boxes_.lastOutside(corner, 1, corner.index, kStretchStartRadiusSquared);
  const int64_t lo = outside == PointBoxes::kNone ? 1 : outside + 1;
  if (lo > corner.index) {
    return kNoStretch;
  }
  fill(left_, lo, corner.index, false);
  const int64_t best = left_.best(lo, corner.index);
  if (best == PointBoxes::kNone) {
    return kNoStretch;
  }
  corner.left_near = static_cast<int32_t>(best);
  corner.left_far = static_cast<int32_t>(left_.far(best));
  return left_.distance(best);
}

}  // namespace sunny_corner
