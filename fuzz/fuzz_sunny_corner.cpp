// SPDX-License-Identifier: Apache-2.0
// Path optimisation: DouglasPeuker::processPath on arbitrary paths and tuning, then
// cutPathFromSunny with arbitrary corner indices and distances, on the processed path or on
// another one.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"
#include "orvik_nav2_planner/sunny_process.hpp"

namespace {

using orvik_fuzz::awkwardDouble;
using PoseList = std::vector<geometry_msgs::msg::PoseStamped>;

/// Mostly a polyline of straight runs with turns, as a planner hands over, sometimes with
/// awkward poses mixed in.
PoseList fuzzedPath(FuzzedDataProvider& input, const nav2_costmap_2d::Costmap2D& costmap) {
  PoseList path;
  const int runs = input.ConsumeIntegralInRange<int>(0, 6);
  double x = input.ConsumeFloatingPointInRange(costmap.getOriginX(),
                                               costmap.getOriginX() + costmap.getSizeInMetersX());
  double y = input.ConsumeFloatingPointInRange(costmap.getOriginY(),
                                               costmap.getOriginY() + costmap.getSizeInMetersY());
  for (int run = 0; run < runs; ++run) {
    const double heading = input.ConsumeFloatingPointInRange(-3.5, 3.5);
    const int steps = input.ConsumeIntegralInRange<int>(1, 20);
    const double step = input.ConsumeFloatingPointInRange(0.0, 0.2);
    for (int i = 0; i < steps; ++i) {
      geometry_msgs::msg::PoseStamped pose;
      if (input.ConsumeIntegralInRange<int>(0, 15) == 0) {
        pose = orvik_fuzz::awkwardPose(input, costmap);
      } else {
        x += step * std::cos(heading) + input.ConsumeFloatingPointInRange(-0.01, 0.01);
        y += step * std::sin(heading) + input.ConsumeFloatingPointInRange(-0.01, 0.01);
        pose.pose.position.x = x;
        pose.pose.position.y = y;
      }
      path.push_back(pose);
    }
  }
  return path;
}

bool isPathPosition(const PoseList& path, const Point& point) {
  return std::any_of(path.begin(), path.end(), [&](const geometry_msgs::msg::PoseStamped& pose) {
    return orvik_fuzz::sameValue(pose.pose.position.x, point.x) &&
           orvik_fuzz::sameValue(pose.pose.position.y, point.y);
  });
}

bool allFinite(const PoseList& path) {
  return std::all_of(path.begin(), path.end(), orvik_fuzz::isFinitePose);
}

void checkAnalysis(const DouglasPeuker& peuker, const PoseList& path) {
  if (path.empty()) {
    ORVIK_FUZZ_CHECK(
        peuker.key_points_.empty() && peuker.sunny_corners_.empty() && peuker.line_corners_.empty(),
        "an empty path left results behind");
  }
  ORVIK_FUZZ_CHECK(peuker.pending_segments_.empty(), "processPath left %zu segments pending",
                   peuker.pending_segments_.size());
  for (const Point& key : peuker.key_points_) {
    ORVIK_FUZZ_CHECK(isPathPosition(path, key), "key point (%f, %f) is not on the path", key.x,
                     key.y);
  }
  for (const Point& corner : peuker.sunny_corners_) {
    ORVIK_FUZZ_CHECK(isPathPosition(path, corner), "sunny corner (%f, %f) is not on the path",
                     corner.x, corner.y);
  }
  ORVIK_FUZZ_CHECK(peuker.line_corners_.size() <= peuker.sunny_corners_.size(),
                   "%zu line corners from %zu sunny corners", peuker.line_corners_.size(),
                   peuker.sunny_corners_.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvik_fuzz::quietLogging();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const auto map = orvik_fuzz::smallGridMap(input, 30);
  if (!map) {
    return 0;
  }
  const nav2_costmap_2d::Costmap2D costmap = *map->getMultiGridMap()->getCostmap();
  const double dilute_threshold = awkwardDouble(input, -0.01, 0.2);
  const double max_fit_error = awkwardDouble(input, -0.01, 0.2);
  const double angle_margin = awkwardDouble(input, -10.0, 100.0);
  const double max_corner_shift = awkwardDouble(input, -0.1, 1.0);
  const double side_length = awkwardDouble(input, -0.1, 1.5);
  DouglasPeuker peuker = input.ConsumeBool()
                             ? DouglasPeuker(dilute_threshold, max_fit_error, angle_margin,
                                             max_corner_shift, side_length, map)
                             : DouglasPeuker(dilute_threshold, max_fit_error, angle_margin,
                                             max_corner_shift, side_length, nullptr);

  const PoseList path = fuzzedPath(input, costmap);
  peuker.processPath(path);
  checkAnalysis(peuker, path);

  const int cuts = input.ConsumeIntegralInRange<int>(0, 3);
  for (int cut = 0; cut < cuts; ++cut) {
    PoseList target = path;
    if (input.ConsumeBool()) {
      target.resize(input.ConsumeIntegralInRange<size_t>(0, path.size()));
    }
    const PoseList before = target;
    const size_t cut_count = peuker.cut_poses_.size();
    const int corner_index = input.ConsumeBool() ? input.ConsumeIntegral<int>()
                                                 : input.ConsumeIntegralInRange<int>(-1, 3);
    const double distance = awkwardDouble(input, -0.5, 1.0);
    if (!peuker.cutPathFromSunny(target, corner_index, distance)) {
      ORVIK_FUZZ_CHECK(orvik_fuzz::samePoses(target, before), "a refused cut changed the path");
      ORVIK_FUZZ_CHECK(peuker.cut_poses_.size() == cut_count, "a refused cut added a cut pose");
      continue;
    }
    ORVIK_FUZZ_CHECK(
        corner_index >= 0 && static_cast<size_t>(corner_index) < peuker.line_corners_.size(),
        "cut at corner %d of %zu", corner_index, peuker.line_corners_.size());
    const Point& corner = peuker.line_corners_[corner_index];
    ORVIK_FUZZ_CHECK(target.size() == static_cast<size_t>(corner.left_near) + 2,
                     "cut path has %zu poses for left_near %d", target.size(), corner.left_near);
    ORVIK_FUZZ_CHECK(peuker.cut_poses_.size() == cut_count + 1 &&
                         orvik_fuzz::samePose(peuker.cut_poses_.back(), target.back()),
                     "the cut pose was not recorded");
    for (size_t i = 0; i + 2 < target.size(); ++i) {
      ORVIK_FUZZ_CHECK(orvik_fuzz::samePose(target[i], before[i]),
                       "the cut changed pose %zu before the corner", i);
    }
    if (allFinite(before)) {
      ORVIK_FUZZ_CHECK(allFinite(target), "the cut wrote non-finite poses");
    }
  }
  return 0;
}
