// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "orvik_nav2_planner/sunny_process.hpp"
#include "sunny_corner/path_builders.hpp"

namespace {

// The same clockwise right-angle corner in the four directions a grid path takes: legs along
// the x axis and legs along the y axis (fitted with swapped axes) must give the same corner on
// the vertex, with the headings of the legs.
TEST(SunnyCornerDirections, RightAngleCornerLandsOnTheVertexWhicheverAxisALegRunsAlong) {
  for (const double in_heading : {0.0, -M_PI / 2, M_PI, M_PI / 2}) {
    const double out_heading = in_heading - M_PI / 2;
    const double vx = 3.0 * std::round(std::cos(in_heading));
    const double vy = 3.0 * std::round(std::sin(in_heading));
    const double ex = vx + 3.0 * std::round(std::cos(out_heading));
    const double ey = vy + 3.0 * std::round(std::sin(out_heading));
    DouglasPeuker analyser(0.1, 0.01, 30.0, 0.1, 1.0);
    analyser.processPath(orvik_test::polylinePath({{0.0, 0.0}, {vx, vy}, {ex, ey}}, 0.05));
    const std::string where = "incoming heading " + std::to_string(in_heading);
    ASSERT_EQ(analyser.sunny_corners_.size(), 1u) << where;
    ASSERT_EQ(analyser.line_corners_.size(), 1u) << where;
    const Point& corner = analyser.line_corners_[0];
    EXPECT_NEAR(corner.x, vx, 1e-9) << where;
    EXPECT_NEAR(corner.y, vy, 1e-9) << where;
    EXPECT_NEAR(std::remainder(corner.heading_in - in_heading, 2 * M_PI), 0.0, 1e-9) << where;
    EXPECT_NEAR(std::remainder(corner.heading_out - out_heading, 2 * M_PI), 0.0, 1e-9) << where;
  }
}

// A margin of 90 degrees leaves exactly one acceptable turning angle, the right angle; legs on
// the axes make its cosine exactly 0, so both limits are met with equality and must admit it.
TEST(SunnyCornerDirections, AcceptanceLimitsAdmitAnAngleEqualToThem) {
  DouglasPeuker analyser(0.1, 0.01, 90.0, 0.1, 1.0);
  analyser.processPath(orvik_test::polylinePath({{0.0, 0.0}, {3.0, 0.0}, {3.0, -3.0}}, 0.05));
  ASSERT_EQ(analyser.sunny_corners_.size(), 1u);
  EXPECT_EQ(analyser.sunny_corners_[0].angle, M_PI / 2);
  // A turn a little sharper than the right angle is outside them.
  DouglasPeuker sharper(0.1, 0.01, 90.0, 0.1, 1.0);
  sharper.processPath(orvik_test::polylinePath({{0.0, 0.0}, {3.0, 0.0}, {2.95, -3.0}}, 0.05));
  EXPECT_TRUE(sharper.sunny_corners_.empty());
}

}  // namespace
