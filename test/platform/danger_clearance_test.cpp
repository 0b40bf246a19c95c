// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "orvik_nav2_gridmap/multi_grid_map.hpp"
#include "support/grid_fixtures.hpp"

namespace {

using orvik_nav2_gridmap::GridMapConfig;
using orvik_nav2_gridmap::MultiGridMap;

geometry_msgs::msg::Point point(double x, double y) {
  geometry_msgs::msg::Point p;
  p.x = x;
  p.y = y;
  return p;
}

// Distance in metres from the centre of cell (x, y) to the nearest obstacle cell centre, by
// looking at every cell.
double bruteForceObstacleDistance(const nav2_costmap_2d::Costmap2D& costmap, unsigned int x,
                                  unsigned int y) {
  double best = std::numeric_limits<double>::infinity();
  for (unsigned int oy = 0; oy < costmap.getSizeInCellsY(); ++oy) {
    for (unsigned int ox = 0; ox < costmap.getSizeInCellsX(); ++ox) {
      const unsigned char cost = costmap.getCost(ox, oy);
      if (cost == nav2_costmap_2d::LETHAL_OBSTACLE || cost == nav2_costmap_2d::NO_INFORMATION) {
        best = std::min(best, std::hypot(static_cast<double>(ox) - x, static_cast<double>(oy) - y));
      }
    }
  }
  return best * costmap.getResolution();
}

struct Robot {
  std::string name;
  GridMapConfig config;
  double inscribed_radius;  // worked out by hand
};

std::vector<Robot> robots() {
  std::vector<Robot> list;
  GridMapConfig circle;
  circle.robot_radius = 0.3;
  list.push_back({"circle of 0.3 m", circle, 0.3});
  GridMapConfig rectangle;  // 0.7 m x 0.44 m, centred: the nearest edge is 0.22 m away
  rectangle.footprint = {point(0.35, 0.22), point(0.35, -0.22), point(-0.35, -0.22),
                         point(-0.35, 0.22)};
  list.push_back({"0.7 x 0.44 m rectangle", rectangle, 0.22});
  GridMapConfig offset;  // the origin sits 0.1 m behind the front edge of a 0.5 m square
  offset.footprint = {point(0.1, 0.25), point(0.1, -0.25), point(-0.4, -0.25), point(-0.4, 0.25)};
  list.push_back({"square with the origin near its front", offset, 0.1});
  list.push_back({"point robot", GridMapConfig{}, 0.0});
  return list;
}

// Without configured clearances no level may let the robot's centre come closer to an obstacle
// than the footprint's inscribed radius (else some part of the robot is in it), and no level
// may refuse a cell farther away than that: the default is that radius, not something stricter.
TEST(DangerClearanceDefault, EveryLevelKeepsTheInscribedRadiusFromObstacles) {
  for (const Robot& robot : robots()) {
    SCOPED_TRACE(robot.name);
    for (unsigned int seed = 1; seed <= 3; ++seed) {
      const auto costmap = orvik_test::randomCostmap(24, 20, 0.04, seed);
      const MultiGridMap map(costmap, robot.config);
      ASSERT_EQ(map.getConfig().danger_clearances.size(), 1u);
      EXPECT_NEAR(map.getConfig().danger_clearances[0], robot.inscribed_radius, 1e-12);
      for (unsigned int y = 0; y < 20; ++y) {
        for (unsigned int x = 0; x < 24; ++x) {
          const double distance = bruteForceObstacleDistance(costmap, x, y);
          for (int level : {-1, 0, 1, 5}) {
            if (distance == 0.0 || distance < robot.inscribed_radius - 1e-6) {
              EXPECT_TRUE(map.inDanger(x, y, level)) << x << "," << y << " level " << level;
            } else if (distance > robot.inscribed_radius + 1e-6) {
              EXPECT_FALSE(map.inDanger(x, y, level)) << x << "," << y << " level " << level;
            }
          }
        }
      }
    }
  }
}

TEST(DangerClearanceDefault, ConfiguredClearancesAreKeptAndThoseBelowTheFootprintReported) {
  const auto costmap = orvik_test::costmapFromAscii({
      "##########",
      "..........",
      "..........",
      "..........",
      "..........",
      "..........",
      "..........",
      "..........",
  });
  GridMapConfig config;
  config.robot_radius = 0.2;  // 4 cells

  config.danger_clearances = {0.25, 0.2};
  testing::internal::CaptureStderr();
  const MultiGridMap safe(costmap, config);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(safe.getConfig().danger_clearances, config.danger_clearances);

  config.danger_clearances = {0.25, 0.1, 0.0};
  testing::internal::CaptureStderr();
  const MultiGridMap relaxed(costmap, config);
  const std::string warning = testing::internal::GetCapturedStderr();
  EXPECT_NE(warning.find("[WARN]"), std::string::npos) << warning;
  EXPECT_NE(warning.find("inscribed radius"), std::string::npos) << warning;
  EXPECT_EQ(warning.find("level 0"), std::string::npos) << warning;
  EXPECT_NE(warning.find("level 1: 0.1"), std::string::npos) << warning;
  EXPECT_NE(warning.find("level 2: 0"), std::string::npos) << warning;
  EXPECT_EQ(std::count(warning.begin(), warning.end(), '\n'), 1) << "one line per map";
  // Used as given: y = 4 lies 3 cells (0.15 m) below the wall at y = 7, y = 6 one cell.
  EXPECT_TRUE(relaxed.inDanger(5, 4, 0));
  EXPECT_FALSE(relaxed.inDanger(5, 4, 1));
  EXPECT_FALSE(relaxed.inDanger(5, 6, 2));
}

}  // namespace
