// SPDX-License-Identifier: Apache-2.0
// The grid map is rebuilt exactly when the costmap or the configuration changed.
#include <gtest/gtest.h>

#include "nav2_costmap_2d/cost_values.hpp"
#include "orvik_nav2_plugins/grid_map_cache.hpp"
#include "support/grid_fixtures.hpp"

namespace {

using orvik_nav2_plugins::GridMapCache;

TEST(GridMapCache, RebuildsExactlyWhenCellsGeometryOrConfigurationChange) {
  GridMapCache cache;
  nav2_costmap_2d::Costmap2D costmap = orvik_test::randomCostmap(40, 30, 0.1, 7);
  orvik_nav2_gridmap::GridMapConfig config;
  config.danger_clearances = {0.1};

  const auto first = cache.update(costmap, config);
  EXPECT_EQ(cache.update(costmap, config), first) << "nothing changed";
  EXPECT_EQ(cache.update(nav2_costmap_2d::Costmap2D(costmap), config), first)
      << "an equal copy is no change";

  // The last cell of the array, so that a comparison stopping short misses it.
  costmap.setCost(39, 29, nav2_costmap_2d::LETHAL_OBSTACLE - costmap.getCost(39, 29));
  const auto after_cell = cache.update(costmap, config);
  EXPECT_NE(after_cell, first);
  EXPECT_EQ(after_cell->getMultiGridMap()->getCostmap()->getCost(39, 29), costmap.getCost(39, 29));

  nav2_costmap_2d::Costmap2D moved(costmap.getSizeInCellsX(), costmap.getSizeInCellsY(),
                                   costmap.getResolution(), 0.5, 0.0);
  std::copy(costmap.getCharMap(), costmap.getCharMap() + 40 * 30, moved.getCharMap());
  const auto after_origin = cache.update(moved, config);
  EXPECT_NE(after_origin, after_cell);

  auto wider = config;
  wider.danger_clearances = {0.3};
  const auto after_clearance = cache.update(moved, wider);
  EXPECT_NE(after_clearance, after_origin);

  auto with_footprint = wider;
  geometry_msgs::msg::Point p;
  for (auto [x, y] : {std::pair{0.2, 0.1}, {-0.2, 0.1}, {-0.2, -0.1}, {0.2, -0.1}}) {
    p.x = x;
    p.y = y;
    with_footprint.footprint.push_back(p);
  }
  const auto after_footprint = cache.update(moved, with_footprint);
  EXPECT_NE(after_footprint, after_clearance);
  with_footprint.footprint[2].y = -0.15;
  EXPECT_NE(cache.update(moved, with_footprint), after_footprint);
}

TEST(GridMapCache, UnusableCostmapThrowsAndDropsTheOldMap) {
  GridMapCache cache;
  const nav2_costmap_2d::Costmap2D costmap = orvik_test::randomCostmap(10, 10, 0.1, 3);
  const auto first = cache.update(costmap, {});
  EXPECT_THROW(cache.update(nav2_costmap_2d::Costmap2D(), {}), std::invalid_argument);
  EXPECT_NE(cache.update(costmap, {}), first) << "rebuilt after the failure";
}

}  // namespace
