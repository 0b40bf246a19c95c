// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/picture_renderer.hpp"

#include <gtest/gtest.h>

#include "orvik_plan/tool_error.hpp"
#include "support/grid_fixtures.hpp"

namespace {

using orvik_plan::PictureRenderer;

// The top text row is the map's highest row: the wall cell sits at x = 9, y = 3.
const std::vector<std::string> kMap = {
    ".........#",
    "..........",
    "..........",
    "..........",
};

orvik_plan::PlanReport reportWithStartAt(double x, double y) {
  orvik_plan::PlanReport report;
  report.start = orvik_plan::makePose(x, y, 0.0, "map");
  return report;
}

TEST(PictureRenderer, CoversExactlyTheMapWithTheHighestRowAtTheTop) {
  const auto map = orvik_test::gridMapFromAscii(kMap, {}, 1.0);
  const PictureRenderer renderer(map, 10);
  const cv::Mat image = renderer.render(reportWithStartAt(2.5, 1.5));
  ASSERT_EQ(image.cols, 100);
  ASSERT_EQ(image.rows, 40);
  // Map cell (9, 3) is drawn in the top-right 10 x 10 pixels (the legend sits top-left).
  const cv::Vec3b wall = image.at<cv::Vec3b>(5, 95);
  const cv::Vec3b below_wall = image.at<cv::Vec3b>(35, 95);
  EXPECT_GT(below_wall[0] + below_wall[1] + below_wall[2], 3 * 240) << "row 0 is at the bottom";
  const cv::Vec3b free_cell = image.at<cv::Vec3b>(35, 55);
  EXPECT_LT(wall[0] + wall[1] + wall[2], 3 * 120) << "obstacle drawn dark";
  EXPECT_GT(free_cell[0] + free_cell[1] + free_cell[2], 3 * 240) << "free space drawn white";
}

TEST(PictureRenderer, StartArrowSitsOnTheStartCellAndPointsAlongItsHeading) {
  const auto map = orvik_test::gridMapFromAscii(kMap, {}, 1.0);
  const PictureRenderer renderer(map, 10);
  const cv::Mat image = renderer.render(reportWithStartAt(6.5, 0.5));
  // Cell (6, 0) is the bottom row: pixels x 60..69, y 30..39; its centre is (65, 35).
  const cv::Vec3b centre = image.at<cv::Vec3b>(35, 65);
  EXPECT_GT(centre[1], centre[2] + 60) << "green start marker";
  const cv::Vec3b ahead = image.at<cv::Vec3b>(35, 71);
  EXPECT_GT(ahead[1], ahead[2] + 60) << "the arrow points east (yaw 0)";
  const cv::Vec3b behind = image.at<cv::Vec3b>(35, 53);
  EXPECT_GT(behind[0] + behind[1] + behind[2], 3 * 240) << "nothing drawn behind the start";
}

TEST(PictureRenderer, RefusesScalesThatWouldOverflowThePicture) {
  const auto map = orvik_test::gridMapFromAscii(kMap, {}, 1.0);
  EXPECT_THROW(PictureRenderer(map, 0), orvik_plan::ToolError);
  EXPECT_THROW(PictureRenderer(map, 65), orvik_plan::ToolError);
  EXPECT_THROW(PictureRenderer(nullptr, 1), orvik_plan::ToolError);
  EXPECT_EQ(PictureRenderer::automaticScale(240, 160), 5);
  EXPECT_EQ(PictureRenderer::automaticScale(1165, 945), 1);
  EXPECT_EQ(PictureRenderer::automaticScale(10, 4), 8);
}

}  // namespace
