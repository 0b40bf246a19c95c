// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/picture_renderer.hpp"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <utility>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "orvik_plan/output_files.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace {

// Colours are BGR.
const cv::Scalar kPlannerPathColour(200, 90, 20);
const cv::Scalar kStartColour(30, 160, 30);
const cv::Scalar kGoalColour(40, 40, 220);
const cv::Scalar kTurnAroundColour(0, 140, 255);
const cv::Scalar kSunnyColour(0, 215, 255);
const cv::Scalar kLineCornerColour(0, 90, 160);
const cv::Scalar kCutPoseColour(160, 30, 160);

cv::Scalar stepColour(const std::string& step) {
  if (step == "gradient") {
    return {180, 40, 200};
  }
  if (step == "sunny") {
    return {0, 120, 230};
  }
  if (step == "constrained") {
    return {60, 150, 0};
  }
  return {90, 90, 90};
}

cv::Vec3b blend(const cv::Vec3b& base, const cv::Vec3b& tint, double amount) {
  cv::Vec3b out;
  for (int c = 0; c < 3; ++c) {
    out[c] = static_cast<uint8_t>(std::lround(base[c] * (1.0 - amount) + tint[c] * amount));
  }
  return out;
}

// One light tint per passage label; labels beyond the table wrap around.
cv::Vec3b labelTint(int label) {
  static const cv::Vec3b kTints[] = {
      {120, 230, 250}, {250, 220, 150}, {180, 250, 180}, {230, 180, 250}, {160, 200, 250}};
  return kTints[(label - 1) % 5];
}

struct LegendEntry {
  std::string text;
  cv::Scalar colour;
  enum Kind { kLine, kDot, kArrow, kBox } kind;
};

}  // namespace

PictureRenderer::PictureRenderer(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map, int scale)
    : map_(std::move(map)), scale_(scale) {
  if (!map_ || !map_->getMultiGridMap()) {
    throw ToolError("no map to draw on");
  }
  if (scale_ < 1 || scale_ > kMaxScale) {
    throw ToolError("picture scale must be 1.." + std::to_string(kMaxScale));
  }
  const auto costmap = map_->getMultiGridMap()->getCostmap();
  size_x_ = costmap->getSizeInCellsX();
  size_y_ = costmap->getSizeInCellsY();
  resolution_ = costmap->getResolution();
  origin_x_ = costmap->getOriginX();
  origin_y_ = costmap->getOriginY();
  // Callers pick the scale with largestScale; this only guards against wrapping sizes.
  if (scale_ > largestScale(size_x_, size_y_)) {
    throw ToolError("the picture would be larger than " + std::to_string(kMaxSidePixels) +
                    " pixels a side or " + std::to_string(static_cast<int>(kMaxPixels / 1e6)) +
                    " million pixels; lower --png-scale");
  }
}

int PictureRenderer::automaticScale(unsigned int size_x, unsigned int size_y) {
  const unsigned int larger = std::max(std::max(size_x, size_y), 1u);
  return std::clamp(static_cast<int>(std::ceil(1000.0 / larger)), 1, 8);
}

cv::Point PictureRenderer::toPixel(double wx, double wy) const {
  const double px = (wx - origin_x_) / resolution_ * scale_;
  const double py = (static_cast<double>(size_y_) - (wy - origin_y_) / resolution_) * scale_;
  // Clamp far-off values so that OpenCV's integer drawing cannot overflow.
  const double limit = 1e6;
  return {static_cast<int>(std::lround(std::clamp(px, -limit, limit))),
          static_cast<int>(std::lround(std::clamp(py, -limit, limit)))};
}

cv::Mat PictureRenderer::drawMap(const cv::Mat& trace_codes) const {
  const auto grid = map_->getMultiGridMap();
  const bool has_passages = grid->hasPriorityPassage();
  const bool has_trace = !trace_codes.empty() && trace_codes.type() == CV_8UC1 &&
                         trace_codes.rows == static_cast<int>(size_y_) &&
                         trace_codes.cols == static_cast<int>(size_x_);
  cv::Mat cells(static_cast<int>(size_y_), static_cast<int>(size_x_), CV_8UC3);
  for (unsigned int y = 0; y < size_y_; ++y) {
    const int row = static_cast<int>(size_y_ - 1 - y);
    for (unsigned int x = 0; x < size_x_; ++x) {
      cv::Vec3b colour(255, 255, 255);
      const uint32_t cost = grid->getCost(x, y, false);
      if (grid->isObstacle(x, y)) {
        colour = cost == 255 ? cv::Vec3b(110, 110, 110) : cv::Vec3b(25, 25, 25);
      } else if (cost == 255) {
        colour = cv::Vec3b(190, 190, 190);
      } else if (cost > 0) {
        const auto shade = static_cast<uint8_t>(255 - std::min<uint32_t>(cost, 253) * 70 / 253);
        colour = cv::Vec3b(shade, shade, shade);
      }
      if (has_passages && !grid->isObstacle(x, y)) {
        const int label = grid->getPriorityPassageLabel(x, y);
        if (label > 0) {
          colour = blend(colour, labelTint(label), 0.55);
        }
      }
      if (has_trace) {
        switch (trace_codes.at<uint8_t>(static_cast<int>(y), static_cast<int>(x))) {
          case 127:
            colour = blend(colour, cv::Vec3b(235, 190, 110), 0.45);
            break;
          case 20:
            colour = blend(colour, cv::Vec3b(60, 200, 60), 0.6);
            break;
          case 98:
            colour = blend(colour, cv::Vec3b(60, 60, 235), 0.6);
            break;
          case 254:
            colour = blend(colour, cv::Vec3b(0, 165, 255), 0.8);
            break;
          default:
            break;
        }
      }
      cells.at<cv::Vec3b>(row, static_cast<int>(x)) = colour;
    }
  }
  cv::Mat image;
  cv::resize(cells, image, cv::Size(), scale_, scale_, cv::INTER_NEAREST);
  return image;
}

void PictureRenderer::drawPath(cv::Mat& image, const PoseList& poses, const cv::Scalar& colour,
                               int thickness) const {
  for (std::size_t i = 1; i < poses.size(); ++i) {
    cv::line(image, toPixel(poses[i - 1].pose.position.x, poses[i - 1].pose.position.y),
             toPixel(poses[i].pose.position.x, poses[i].pose.position.y), colour, thickness,
             cv::LINE_AA);
  }
  if (poses.size() == 1) {
    cv::circle(image, toPixel(poses[0].pose.position.x, poses[0].pose.position.y), thickness + 1,
               colour, cv::FILLED, cv::LINE_AA);
  }
}

void PictureRenderer::drawArrow(cv::Mat& image, const geometry_msgs::msg::PoseStamped& pose,
                                const cv::Scalar& colour, double length_px, int thickness) const {
  const cv::Point from = toPixel(pose.pose.position.x, pose.pose.position.y);
  const double yaw = quaternionToYaw(pose.pose.orientation);
  // Image rows grow downwards, so a positive yaw points up.
  const cv::Point to(from.x + static_cast<int>(std::lround(length_px * std::cos(yaw))),
                     from.y - static_cast<int>(std::lround(length_px * std::sin(yaw))));
  cv::circle(image, from, std::max(2, thickness + 1), colour, cv::FILLED, cv::LINE_AA);
  cv::arrowedLine(image, from, to, colour, thickness, cv::LINE_AA, 0, 0.35);
}

cv::Mat PictureRenderer::render(const PlanReport& report) const {
  const PlanOutcome& outcome = report.outcome;
  cv::Mat image = drawMap(outcome.trace_codes);
  const int thin = std::max(1, scale_ / 3);
  const int thick = std::max(2, scale_ / 2 + 1);
  // Arrows stand for a robot-sized 0.6 m, but stay visible on large maps drawn small.
  const double arrow_px =
      std::max({12.0, 0.6 / resolution_ * scale_, std::max(image.cols, image.rows) / 50.0});
  std::vector<LegendEntry> legend;

  if (!outcome.trace_codes.empty()) {
    legend.push_back({"cells opened by the search", cv::Scalar(235, 190, 110), LegendEntry::kBox});
    if (cv::countNonZero(outcome.trace_codes == 20) > 0) {
      legend.push_back(
          {"direction reachable by rotation", cv::Scalar(60, 200, 60), LegendEntry::kBox});
    }
    if (cv::countNonZero(outcome.trace_codes == 98) > 0) {
      legend.push_back(
          {"direction needs a blocked rotation", cv::Scalar(60, 60, 235), LegendEntry::kBox});
    }
    if (cv::countNonZero(outcome.trace_codes == 254) > 0) {
      legend.push_back({"turn-around cell", cv::Scalar(0, 165, 255), LegendEntry::kBox});
    }
  }
  if (map_->getMultiGridMap()->hasPriorityPassage()) {
    legend.push_back({"priority passage", cv::Scalar(labelTint(1)), LegendEntry::kBox});
  }

  for (const auto& path : outcome.paths) {
    drawPath(image, path.poses, kPlannerPathColour, thin);
  }
  if (!outcome.paths.empty()) {
    legend.push_back({"planner path", kPlannerPathColour, LegendEntry::kLine});
  }
  for (std::size_t s = 0; s < report.steps.size(); ++s) {
    const StepOutcome& step = report.steps[s];
    const bool last = s + 1 == report.steps.size();
    for (const auto& path : step.paths) {
      drawPath(image, path.poses, stepColour(step.name), last ? thick : thin);
    }
    legend.push_back({"after " + step.name + (last ? " (final)" : ""), stepColour(step.name),
                      LegendEntry::kLine});
  }
  for (const auto& step : report.steps) {
    for (const auto& c : step.sunny_corners) {
      cv::circle(image, toPixel(c.x, c.y), std::max(4, 2 * scale_), kSunnyColour, cv::FILLED,
                 cv::LINE_AA);
      cv::circle(image, toPixel(c.x, c.y), std::max(4, 2 * scale_), cv::Scalar(0, 0, 0), 1,
                 cv::LINE_AA);
    }
    for (const auto& c : step.line_corners) {
      const cv::Point p = toPixel(c.x, c.y);
      const int r = std::max(4, 2 * scale_);
      cv::line(image, p - cv::Point(r, r), p + cv::Point(r, r), kLineCornerColour, thin,
               cv::LINE_AA);
      cv::line(image, p - cv::Point(r, -r), p + cv::Point(r, -r), kLineCornerColour, thin,
               cv::LINE_AA);
    }
    for (const auto& pose : step.cut_poses) {
      drawArrow(image, pose, kCutPoseColour, arrow_px, thick);
    }
    if (!step.sunny_corners.empty()) {
      legend.push_back({"sunny corner", kSunnyColour, LegendEntry::kDot});
      legend.push_back({"corner on fitted lines", kLineCornerColour, LegendEntry::kLine});
    }
    if (!step.cut_poses.empty()) {
      legend.push_back({"cut pose (turn in place)", kCutPoseColour, LegendEntry::kArrow});
    }
  }
  for (const auto& pose : outcome.turn_around_poses) {
    drawArrow(image, pose, kTurnAroundColour, arrow_px, thick);
  }
  if (!outcome.turn_around_poses.empty()) {
    legend.push_back({"turn-around pose", kTurnAroundColour, LegendEntry::kArrow});
  }
  drawArrow(image, report.start, kStartColour, arrow_px, thick);
  legend.push_back({"start", kStartColour, LegendEntry::kArrow});
  if (report.goal) {
    drawArrow(image, *report.goal, kGoalColour, arrow_px, thick);
    legend.push_back({"goal", kGoalColour, LegendEntry::kArrow});
  }

  // Legend box in the top-left corner, sized to the picture so that small maps stay readable.
  const double font = std::clamp(image.rows / 1600.0, 0.3, 0.55);
  const int line_height = static_cast<int>(std::lround(30 * font + 6));
  int text_width = 0;
  for (const auto& entry : legend) {
    int baseline = 0;
    text_width =
        std::max(text_width,
                 cv::getTextSize(entry.text, cv::FONT_HERSHEY_SIMPLEX, font, 1, &baseline).width);
  }
  const int swatch = line_height;
  const cv::Rect box(4, 4, text_width + swatch + 18,
                     line_height * static_cast<int>(legend.size()) + 8);
  cv::Mat roi = image(box & cv::Rect(0, 0, image.cols, image.rows));
  cv::Mat white(roi.size(), roi.type(), cv::Scalar(255, 255, 255));
  cv::addWeighted(roi, 0.2, white, 0.8, 0.0, roi);
  cv::rectangle(image, box, cv::Scalar(80, 80, 80), 1);
  for (std::size_t i = 0; i < legend.size(); ++i) {
    const auto& entry = legend[i];
    const int y = box.y + 4 + static_cast<int>(i) * line_height + line_height / 2;
    const cv::Point a(box.x + 6, y);
    const cv::Point b(box.x + 6 + swatch, y);
    switch (entry.kind) {
      case LegendEntry::kLine:
        cv::line(image, a, b, entry.colour, 2, cv::LINE_AA);
        break;
      case LegendEntry::kDot:
        cv::circle(image, (a + b) / 2, line_height / 3, entry.colour, cv::FILLED, cv::LINE_AA);
        break;
      case LegendEntry::kArrow:
        cv::arrowedLine(image, a, b, entry.colour, 2, cv::LINE_AA, 0, 0.4);
        break;
      case LegendEntry::kBox:
        cv::rectangle(image, cv::Rect(a.x, y - line_height / 3, swatch, 2 * line_height / 3),
                      entry.colour, cv::FILLED);
        break;
    }
    cv::putText(image, entry.text, cv::Point(b.x + 6, y + line_height / 4),
                cv::FONT_HERSHEY_SIMPLEX, font, cv::Scalar(20, 20, 20), 1, cv::LINE_AA);
  }
  return image;
}

void PictureRenderer::writePng(const cv::Mat& image, const std::string& path) {
  std::vector<uchar> bytes;
  bool ok = false;
  try {
    ok = cv::imencode(std::filesystem::path(path).extension().string(), image, bytes);
  } catch (const cv::Exception&) {
    ok = false;
  }
  if (!ok) {
    throw ToolError("cannot write the picture " + path + " (a .png file name is expected)",
                    kExitOutputFailed);
  }
  writeFileAtomically(path, std::string(bytes.begin(), bytes.end()));
}

int PictureRenderer::largestScale(unsigned int size_x, unsigned int size_y) {
  const double larger = std::max(std::max(size_x, size_y), 1u);
  const double area = std::max(static_cast<double>(size_x) * size_y, 1.0);
  const int by_side = static_cast<int>(std::floor(kMaxSidePixels / larger));
  const int by_area = static_cast<int>(std::floor(std::sqrt(kMaxPixels / area)));
  return std::clamp(std::min(by_side, by_area), 0, kMaxScale);
}

}  // namespace orvik_plan
