// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_tools/trace_mat.hpp"

#include <opencv2/imgcodecs.hpp>

namespace orvik_trace {

TraceMat::TraceMat(std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map, const std::string& name)
    : name_(name) {
  int rows = 0;
  int cols = 0;
  if (map && map->getMultiGridMap()) {
    auto costmap = map->getMultiGridMap()->getCostmap();
    rows = static_cast<int>(costmap->getSizeInCellsY());
    cols = static_cast<int>(costmap->getSizeInCellsX());
  }
  codes_ = cv::Mat::zeros(rows, cols, CV_8UC1);
}

void TraceMat::reset() {
  codes_.setTo(cv::Scalar(0));
}

char TraceMat::getMatColor(const cv::Point& cell) const {
  if (cell.x < 0 || cell.y < 0 || cell.x >= codes_.cols || cell.y >= codes_.rows) {
    return 0;
  }
  return static_cast<char>(codes_.at<uint8_t>(cell.y, cell.x));
}

void TraceMat::setMatPointColor(const cv::Point& cell, char code) {
  if (cell.x < 0 || cell.y < 0 || cell.x >= codes_.cols || cell.y >= codes_.rows) {
    return;
  }
  codes_.at<uint8_t>(cell.y, cell.x) = static_cast<uint8_t>(code);
}

void TraceMat::publishCVMatAsGrid() {
  cv::Mat snapshot;
  std::vector<Listener> listeners;
  {
    std::lock_guard<std::mutex> lock(published_mutex_);
    // A planner publishes once per request; cloning a large map's image each time would cost a
    // fresh allocation, and its page faults, per request. The previous snapshot's buffer is
    // overwritten only when nobody else holds it (only taken under this lock, so the count
    // cannot rise meanwhile).
    const bool reusable = last_published_.u != nullptr && last_published_.u->refcount == 1 &&
                          last_published_.size() == codes_.size() &&
                          last_published_.type() == codes_.type();
    if (reusable) {
      codes_.copyTo(last_published_);
    } else {
      last_published_ = codes_.clone();
    }
    snapshot = last_published_;
    listeners = listeners_;
  }
  for (const auto& listener : listeners) {
    listener(name_, snapshot);
  }
}

void TraceMat::addListener(Listener listener) {
  std::lock_guard<std::mutex> lock(published_mutex_);
  listeners_.push_back(std::move(listener));
}

const std::string& TraceMat::getName() const {
  return name_;
}

const cv::Mat& TraceMat::getMat() const {
  return codes_;
}

cv::Mat TraceMat::getLastPublished() const {
  std::lock_guard<std::mutex> lock(published_mutex_);
  return last_published_;
}

namespace {

cv::Vec3b codeColour(uint8_t code) {
  switch (code) {
    case 0:
      return {255, 255, 255};
    case 127:
      return {235, 206, 135};  // opened: light blue (BGR)
    case 20:
      return {80, 200, 80};  // direction reachable by rotation: green
    case 98:
      return {60, 60, 230};  // direction needs a blocked rotation: red
    case 254:
      return {0, 165, 255};  // turn-around cell: orange
    default:
      return {code, code, code};
  }
}

}  // namespace

bool TraceMat::writePng(const cv::Mat& codes, const std::string& path) {
  if (codes.empty() || codes.type() != CV_8UC1) {
    return false;
  }
  cv::Mat image(codes.rows, codes.cols, CV_8UC3);
  for (int y = 0; y < codes.rows; ++y) {
    for (int x = 0; x < codes.cols; ++x) {
      image.at<cv::Vec3b>(codes.rows - 1 - y, x) = codeColour(codes.at<uint8_t>(y, x));
    }
  }
  try {
    return cv::imwrite(path, image);
  } catch (const cv::Exception&) {
    return false;
  }
}

}  // namespace orvik_trace
