// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include <opencv2/core.hpp>

#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_plan/plan_report.hpp"

namespace orvik_plan {

/// Draws a run onto its map: costs and passages, the search trace, the planner's paths, each
/// post-processing step's paths, sunny corners and cut poses, turn-around poses, start and goal
/// arrows and a legend. The picture covers exactly the map, `scale` pixels per cell, with the
/// map's highest row at the top as a map is viewed.
class PictureRenderer {
 public:
  /// @throw ToolError when the map is missing or scale is not in 1..largestScale().
  PictureRenderer(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map, int scale);

  /// Pixels per cell that make the larger side about 1000 pixels (at least 1, at most 8).
  static int automaticScale(unsigned int size_x, unsigned int size_y);

  /// The largest scale at which a map's picture can be drawn (OpenCV's drawing stays exact up
  /// to 32,767 pixels a side; a bound on the area keeps memory sane), at most kMaxScale; 0 when
  /// even one pixel per cell is too large.
  static int largestScale(unsigned int size_x, unsigned int size_y);

  static constexpr int kMaxScale = 64;
  static constexpr int kMaxSidePixels = 32767;
  static constexpr double kMaxPixels = 200e6;

  /// @return a CV_8UC3 image of size_x * scale by size_y * scale pixels.
  cv::Mat render(const PlanReport& report) const;

  /// Encodes by the file name's extension and writes atomically.
  /// @throw ToolError with kExitOutputFailed when the PNG cannot be written.
  static void writePng(const cv::Mat& image, const std::string& path);

 private:
  cv::Mat drawMap(const cv::Mat& trace_codes) const;
  cv::Point toPixel(double wx, double wy) const;
  void drawPath(cv::Mat& image, const PoseList& poses, const cv::Scalar& colour,
                int thickness) const;
  void drawArrow(cv::Mat& image, const geometry_msgs::msg::PoseStamped& pose,
                 const cv::Scalar& colour, double length_px, int thickness) const;

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  int scale_;
  unsigned int size_x_{0};
  unsigned int size_y_{0};
  double resolution_{1.0};
  double origin_x_{0.0};
  double origin_y_{0.0};
};

}  // namespace orvik_plan
