// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "orvik_nav2_planner/line_geometry.hpp"

namespace sunny_corner {

/// Bounding boxes of index ranges of a point list (a segment tree), to find the first or last
/// point of a range that lies at least some distance from a given place without measuring
/// every point: a range whose box lies wholly closer is skipped at once. Points with a
/// non-finite coordinate make their ranges unskippable, so answers never depend on how the
/// boxes treat them.
class PointBoxes {
 public:
  static constexpr int64_t kNone = -1;

  explicit PointBoxes(const std::vector<Point>& points);

  /// First index i in [from, end) with hypot(points[i] - points[origin]) >= length, with the
  /// difference taken as rightMeanDistance takes it; kNone when there is none.
  int64_t firstFarFrom(int64_t origin, int64_t from, int64_t end, double length) const;
  /// Last index i in [begin, from] with the same test; kNone when there is none.
  int64_t lastFarFrom(int64_t origin, int64_t begin, int64_t from, double length) const;
  /// First index i in [from, end) whose squared distance from `place` is at least
  /// `squared_radius`; kNone when there is none.
  int64_t firstOutside(const Point& place, int64_t from, int64_t end, double squared_radius) const;
  /// Last index i in [begin, from] with the same test; kNone when there is none.
  int64_t lastOutside(const Point& place, int64_t begin, int64_t from, double squared_radius) const;

 private:
  struct Box {
    double min_x, max_x, min_y, max_y;
    bool empty;   // no point below this node
    bool finite;  // every point below it has finite coordinates
  };

  template <class Test>
  int64_t first(std::size_t node, int64_t lo, int64_t hi, int64_t from, int64_t end,
                const Test& test) const;
  template <class Test>
  int64_t last(std::size_t node, int64_t lo, int64_t hi, int64_t begin, int64_t from,
               const Test& test) const;

  const std::vector<Point>& points_;
  int64_t leaves_{1};
  std::vector<Box> boxes_;
};

/// The stretch searches of leftMeanDistance and rightMeanDistance for many corners of one
/// path, with the same results bit for bit. Those functions scan, for every start point within
/// 0.5 m of the corner, onwards until the stretch is long enough: on a path that stays within
/// half a metre they scan the whole path for every start point and every corner. Here the end
/// of a stretch is found through PointBoxes, the fit of the stretch that starts at a point is
/// computed once for all corners that consider it, and the best start point of a corner is a
/// range query over those fits.
class StretchSearch {
 public:
  /// `points` must outlive the search and stay unchanged.
  StretchSearch(const std::vector<Point>& points, double length);

  /// As rightMeanDistance(points, scratch, corner, length).
  double right(Point& corner);
  /// As leftMeanDistance(points, scratch, corner, length).
  double left(Point& corner);

 private:
  /// Fit quality of the stretch starting at every point, filled in on first use, with a tree
  /// over them that answers "best start in an index range" (smallest fit; of equal fits the
  /// one a forward scan, or for the left side a backward scan, meets first).
  class BestStart {
   public:
    BestStart(std::size_t count, bool prefer_later);
    bool known(int64_t i) const { return known_[static_cast<std::size_t>(i)] != 0; }
    /// Records the stretch from i to `far` (kNone: none) and its mean fit distance.
    void set(int64_t i, int64_t far, double distance);
    /// Best start in [lo, hi]; kNone when no start in it has a stretch better than the
    /// search's starting value.
    int64_t best(int64_t lo, int64_t hi) const;
    int64_t far(int64_t i) const { return far_[static_cast<std::size_t>(i)]; }
    double distance(int64_t i) const { return distance_[static_cast<std::size_t>(i)]; }
    /// Next index at or after i that is not known yet (the count when none).
    int64_t nextUnknown(int64_t i);

   private:
    bool better(int64_t a, int64_t b) const;
    int64_t query(std::size_t node, int64_t lo, int64_t hi, int64_t from, int64_t to) const;

    bool prefer_later_;
    int64_t leaves_{1};
    std::vector<uint8_t> known_;
    std::vector<int64_t> far_;
    std::vector<double> distance_;
    std::vector<int64_t> tree_;          // best start below each node, kNone when none
    std::vector<int64_t> next_unknown_;  // union-find links over known starts
  };

  void fill(BestStart& side, int64_t lo, int64_t hi, bool forward);

  const std::vector<Point>& points_;
  double length_;
  PointBoxes boxes_;
  BestStart right_;
  BestStart left_;
  std::vector<Point> scratch_;
};

}  // namespace sunny_corner
