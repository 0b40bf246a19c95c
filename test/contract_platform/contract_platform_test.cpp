// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <memory>

#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_tools/trace_mat.hpp"
#include "support/grid_fixtures.hpp"

namespace {

// The stand-in is only useful if a query off the map cannot go unnoticed: the planners are
// bound to pass cells inside the map, and a search that peeks over the edge must stop the test.
TEST(ContractPlatformDeathTest, EveryCellQueryOffTheMapStopsTheProcess) {
  auto map = orvik_test::makeTestGridMap(orvik_test::costmapFromAscii({"...", "..."}));
  const auto grid = map->getMultiGridMap();
  orvik_trace::TraceMat trace(map, "probe");
  EXPECT_FALSE(grid->inDanger(2, 1, 0));
  EXPECT_EQ(trace.getMatColor(cv::Point(2, 1)), 0);
  EXPECT_DEATH(grid->inDanger(3, 0, 0), "inDanger\\(3, 0\\)");
  EXPECT_DEATH(grid->getCost(0, 2, false), "getCost\\(0, 2\\)");
  EXPECT_DEATH(grid->getDistance(0xffffffffu, 0), "getDistance");
  EXPECT_DEATH(grid->getPriorityPassageLabel(5, 5), "getPriorityPassageLabel");
  EXPECT_DEATH(trace.getMatColor(cv::Point(-1, 0)), "getMatColor\\(-1, 0\\)");
  EXPECT_DEATH(trace.setMatPointColor(cv::Point(0, 2), 127), "setMatPointColor\\(0, 2\\)");
}

// A planner that read the master costmap instead of asking getCost would see other numbers.
TEST(ContractPlatform, CostIsNotTheMasterByte) {
  auto map = orvik_test::makeTestGridMap(orvik_test::costmapFromAscii({"3.", ".1"}));
  const auto grid = map->getMultiGridMap();
  const auto costmap = grid->getCostmap();
  for (unsigned int y = 0; y < 2; ++y) {
    for (unsigned int x = 0; x < 2; ++x) {
      EXPECT_NE(grid->getCost(x, y, false), costmap->getCost(x, y));
      EXPECT_NE(grid->getCost(x, y, true), costmap->getCost(x, y));
    }
  }
}

}  // namespace
