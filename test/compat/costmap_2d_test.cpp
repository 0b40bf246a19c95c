// SPDX-License-Identifier: Apache-2.0
#include "nav2_costmap_2d/costmap_2d.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "nav2_costmap_2d/cost_values.hpp"

using nav2_costmap_2d::Costmap2D;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

TEST(Costmap2DWorldToMap, OriginIsCellZeroAndFarEdgeIsOutside) {
  const Costmap2D costmap(10, 6, 0.05, -1.0, 2.0);
  unsigned int mx = 99, my = 99;
  ASSERT_TRUE(costmap.worldToMap(-1.0, 2.0, mx, my));
  EXPECT_EQ(mx, 0u);
  EXPECT_EQ(my, 0u);
  // Exactly on the far edge: one past the end, written, and false.
  EXPECT_FALSE(costmap.worldToMap(-1.0 + 10 * 0.05, 2.1, mx, my));
  EXPECT_EQ(mx, 10u);
  // Just inside the far edge.
  ASSERT_TRUE(costmap.worldToMap(-1.0 + 10 * 0.05 - 1e-9, 2.0 + 6 * 0.05 - 1e-9, mx, my));
  EXPECT_EQ(mx, 9u);
  EXPECT_EQ(my, 5u);
}

TEST(Costmap2DWorldToMap, BelowTheOriginFailsWithoutWritingOutputs) {
  const Costmap2D costmap(4, 4, 0.5, 0.0, 0.0);
  unsigned int mx = 7, my = 8;
  EXPECT_FALSE(costmap.worldToMap(-1e-12, 1.0, mx, my));
  EXPECT_FALSE(costmap.worldToMap(1.0, -0.25, mx, my));
  EXPECT_EQ(mx, 7u);
  EXPECT_EQ(my, 8u);
}

TEST(Costmap2DWorldToMap, FloatingPointDecidesCellBoundaries) {
  const Costmap2D costmap(10, 10, 0.05, 0.0, 0.0);
  unsigned int mx = 0, my = 0;
  ASSERT_TRUE(costmap.worldToMap(0.15, 0.15, mx, my));
  EXPECT_EQ(mx, 2u);  // 0.15 / 0.05 = 2.9999999999999996
}

TEST(Costmap2DWorldToMap, CellCentresRoundTripOnEveryCell) {
  const Costmap2D costmap(37, 23, 0.05, -3.3, 7.1);
  for (unsigned int y = 0; y < 23; ++y) {
    for (unsigned int x = 0; x < 37; ++x) {
      double wx = 0, wy = 0;
      costmap.mapToWorld(x, y, wx, wy);
      EXPECT_NEAR(wx, -3.3 + (x + 0.5) * 0.05, 1e-12);
      unsigned int mx = 0, my = 0;
      ASSERT_TRUE(costmap.worldToMap(wx, wy, mx, my));
      EXPECT_EQ(mx, x);
      EXPECT_EQ(my, y);
    }
  }
}

TEST(Costmap2DWorldToMap, NonFiniteAndFarCoordinatesFailWithoutWritingOutputs) {
  const Costmap2D costmap(4, 4, 0.5, 0.0, 0.0);
  const double cases[][2] = {{kNaN, 1.0}, {1.0, kNaN},  {kNaN, kNaN}, {kInf, 1.0},
                             {1.0, kInf}, {-kInf, 1.0}, {1e300, 1.0}, {1.0, 3e9}};
  for (const auto& c : cases) {
    unsigned int mx = 5, my = 6;
    EXPECT_FALSE(costmap.worldToMap(c[0], c[1], mx, my)) << c[0] << "," << c[1];
    EXPECT_EQ(mx, 5u);
    EXPECT_EQ(my, 6u);
  }
}

TEST(Costmap2DConversions, NoBoundsAndEnforceBoundsFollowUpstream) {
  const Costmap2D costmap(10, 10, 1.0, 0.0, 0.0);
  int mx = 0, my = 0;
  costmap.worldToMapNoBounds(-0.5, 3.5, mx, my);
  EXPECT_EQ(mx, 0);  // truncation toward zero
  EXPECT_EQ(my, 3);
  costmap.worldToMapEnforceBounds(-4.0, 42.0, mx, my);
  EXPECT_EQ(mx, 0);
  EXPECT_EQ(my, 9);
  costmap.worldToMapEnforceBounds(10.0, 5.0, mx, my);
  EXPECT_EQ(mx, 10);  // the far edge itself gives one past the end, as upstream
}

TEST(Costmap2DGeometry, SizesIndicesAndCellDistance) {
  Costmap2D costmap(8, 5, 0.1, 0.0, 0.0, 7);
  EXPECT_EQ(costmap.getCost(7, 4), 7);
  EXPECT_EQ(costmap.getIndex(3, 2), 19u);
  unsigned int mx = 0, my = 0;
  costmap.indexToCells(19, mx, my);
  EXPECT_EQ(mx, 3u);
  EXPECT_EQ(my, 2u);
  EXPECT_NEAR(costmap.getSizeInMetersX(), 0.75, 1e-12);
  EXPECT_EQ(costmap.cellDistance(0.25), 3u);
  EXPECT_EQ(costmap.cellDistance(-1.0), 0u);
}

TEST(Costmap2DConstruction, FromOccupancyGridScalesValues) {
  nav_msgs::msg::OccupancyGrid grid;
  grid.info.width = 4;
  grid.info.height = 1;
  grid.info.resolution = 0.05f;
  grid.data = {-1, 0, 50, 100};
  const Costmap2D costmap(grid);
  EXPECT_EQ(costmap.getCost(0, 0), nav2_costmap_2d::NO_INFORMATION);
  EXPECT_EQ(costmap.getCost(1, 0), 0);
  EXPECT_EQ(costmap.getCost(2, 0), 127);
  EXPECT_EQ(costmap.getCost(3, 0), 254);
  EXPECT_DOUBLE_EQ(costmap.getResolution(), static_cast<double>(0.05f));
}

TEST(Costmap2DConstruction, CopiesAreDeepAndEmptyMapsCopySafely) {
  Costmap2D original(3, 3, 0.1, 0.0, 0.0);
  original.setCost(1, 1, 200);
  Costmap2D copy(original);
  original.setCost(1, 1, 5);
  EXPECT_EQ(copy.getCost(1, 1), 200);
  const Costmap2D empty;
  Costmap2D empty_copy(empty);
  EXPECT_EQ(empty_copy.getSizeInCellsX(), 0u);
  copy = empty;
  EXPECT_EQ(copy.getSizeInCellsY(), 0u);
  unsigned int mx = 0, my = 0;
  EXPECT_FALSE(copy.worldToMap(0.0, 0.0, mx, my));
}
