// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace orvik_trace {

/// One 8-bit colour code per map cell, showing what a search did. Published images go to the
/// registered listeners (nothing is sent over ROS here) and the last one is kept.
///
/// Threads: the codes belong to the owning planner's thread. getLastPublished may be called
/// from any thread at any time (it locks, and a snapshot a reader holds is never overwritten);
/// add listeners before the image is shared, they are called on the publishing thread.
class TraceMat {
 public:
  using Listener = std::function<void(const std::string& name, const cv::Mat& codes)>;

  TraceMat(std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map, const std::string& name);

  /// Clears every code to 0.
  void reset();
  /// Code of the cell; 0 for a cell off the map.
  char getMatColor(const cv::Point& cell) const;
  /// Sets the code of the cell; a cell off the map is ignored.
  void setMatPointColor(const cv::Point& cell, char code);
  /// Copies the image to the last-published slot and hands it to every listener.
  void publishCVMatAsGrid();

  void addListener(Listener listener);
  const std::string& getName() const;
  /// Codes as CV_8UC1, row y = cell row y (row 0 at the map origin).
  const cv::Mat& getMat() const;
  /// The image of the last publishCVMatAsGrid, empty before the first.
  cv::Mat getLastPublished() const;
  /// Renders codes to colours (row 0 at the bottom, as a map is viewed) and writes a PNG.
  /// @return false when the image is empty or the file cannot be written.
  static bool writePng(const cv::Mat& codes, const std::string& path);

 private:
  std::string name_;
  cv::Mat codes_;
  mutable std::mutex published_mutex_;
  cv::Mat last_published_;
  std::vector<Listener> listeners_;
};

}  // namespace orvik_trace
