// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <opencv2/core/types.hpp>

#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace orvik_trace {

/// Test stand-in for the maker's trace image: one code per map cell, nothing else. A cell
/// outside the map aborts the process.
class TraceMat {
 public:
  TraceMat(std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map, const std::string& name);

  void reset();
  char getMatColor(const cv::Point& cell) const;
  void setMatPointColor(const cv::Point& cell, char code);
  void publishCVMatAsGrid();

 private:
  std::size_t indexOf(const char* query, const cv::Point& cell) const;

  int size_x_{0};
  int size_y_{0};
  std::vector<char> codes_;
};

}  // namespace orvik_trace
