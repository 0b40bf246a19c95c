// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/multi_grid_map.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <stdexcept>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "support/grid_fixtures.hpp"

using orvik_nav2_gridmap::GridMapConfig;
using orvik_nav2_gridmap::MultiGridMap;

namespace {

// Brute force: minimum Euclidean distance (metres) from the cell centre to any cell for which
// `is_source` holds.
template <class IsSource>
double bruteForceDistance(unsigned int size_x, unsigned int size_y, double resolution,
                          unsigned int x, unsigned int y, IsSource is_source) {
  double best = std::numeric_limits<double>::infinity();
  for (unsigned int oy = 0; oy < size_y; ++oy) {
    for (unsigned int ox = 0; ox < size_x; ++ox) {
      if (is_source(ox, oy)) {
        best = std::min(best, std::hypot(double(ox) - x, double(oy) - y) * resolution);
      }
    }
  }
  return best;
}

}  // namespace

TEST(MultiGridMapDistance, MatchesBruteForceOnRandomMaps) {
  for (unsigned int seed = 1; seed <= 12; ++seed) {
    const unsigned int size_x = 7 + seed * 3 % 23;
    const unsigned int size_y = 5 + seed * 7 % 19;
    const double resolution = 0.05 * seed;
    auto costmap =
        orvik_test::randomCostmap(size_x, size_y, 0.04 + 0.02 * (seed % 5), seed, resolution);
    MultiGridMap map(costmap, GridMapConfig{});
    bool any_obstacle = false;
    for (unsigned int y = 0; y < size_y; ++y) {
      for (unsigned int x = 0; x < size_x; ++x) {
        any_obstacle = any_obstacle || map.isObstacle(x, y);
      }
    }
    if (!any_obstacle) {
      continue;
    }
    for (unsigned int y = 0; y < size_y; ++y) {
      for (unsigned int x = 0; x < size_x; ++x) {
        const double expected =
            bruteForceDistance(size_x, size_y, resolution, x, y, [&](unsigned ox, unsigned oy) {
              return costmap.getCost(ox, oy) == nav2_costmap_2d::LETHAL_OBSTACLE;
            });
        ASSERT_NEAR(map.getDistance(x, y), expected, 1e-4 * resolution)
            << "seed " << seed << " cell " << x << "," << y;
      }
    }
  }
}

TEST(MultiGridMapDistance, UnknownCellsCountAsObstaclesOnlyWhenConfigured) {
  const auto costmap = orvik_test::costmapFromAscii({"?....", ".....", "....#"}, 0.1);
  GridMapConfig config;
  config.unknown_is_obstacle = true;
  MultiGridMap strict(costmap, config);
  config.unknown_is_obstacle = false;
  MultiGridMap lenient(costmap, config);
  // Cell (0, 2) is unknown, (4, 0) lethal.
  EXPECT_TRUE(strict.isObstacle(0, 2));
  EXPECT_FALSE(lenient.isObstacle(0, 2));
  EXPECT_DOUBLE_EQ(strict.getDistance(0, 2), 0.0);
  EXPECT_NEAR(lenient.getDistance(0, 2), std::hypot(4.0, 2.0) * 0.1, 1e-6);
  EXPECT_NEAR(strict.getDistance(1, 2), 0.1, 1e-6);
}

TEST(MultiGridMapDistance, MapWithoutObstaclesAnswersFiniteLargeDistance) {
  const auto costmap = orvik_test::costmapFromAscii({"....", "...."}, 0.5);
  MultiGridMap map(costmap, GridMapConfig{});
  const double d = map.getDistance(1, 1);
  EXPECT_TRUE(std::isfinite(d));
  EXPECT_GE(d, std::hypot(4.0, 2.0) * 0.5 - 1e-6);
  EXPECT_FALSE(map.inDanger(1, 1, 0));
}

TEST(MultiGridMapDanger, UsesClearancePerLevelAndClampsLevels) {
  // Obstacle at (0, 0); cells on the bottom row at distances 0.1 * x.
  const auto costmap = orvik_test::costmapFromAscii({"......", "#....."}, 0.1);
  GridMapConfig config;
  config.danger_clearances = {0.35, 0.15};
  MultiGridMap map(costmap, config);
  EXPECT_TRUE(map.inDanger(0, 0, 0));
  EXPECT_TRUE(map.inDanger(0, 0, 5));
  EXPECT_TRUE(map.inDanger(3, 0, 0));   // 0.3 < 0.35
  EXPECT_FALSE(map.inDanger(4, 0, 0));  // 0.4
  EXPECT_TRUE(map.inDanger(1, 0, 1));
  EXPECT_FALSE(map.inDanger(2, 0, 1));
  EXPECT_FALSE(map.inDanger(2, 0, 9));  // past the end: last entry
  EXPECT_TRUE(map.inDanger(3, 0, -4));  // negative: first entry
}

TEST(MultiGridMapDanger, CellsOffTheMapAnswerBlocked) {
  const auto costmap = orvik_test::costmapFromAscii({"...", "..."}, 0.1);
  GridMapConfig config;
  config.danger_clearances = {0.0};
  MultiGridMap map(costmap, config);
  EXPECT_TRUE(map.inDanger(3, 0, 0));
  EXPECT_TRUE(map.inDanger(0, 2, 0));
  EXPECT_TRUE(map.inDanger(std::numeric_limits<unsigned int>::max(), 0, 0));
  EXPECT_TRUE(map.isObstacle(3, 0));
  EXPECT_DOUBLE_EQ(map.getDistance(3, 0), 0.0);
  EXPECT_EQ(map.getCost(0, 9, false), nav2_costmap_2d::NO_INFORMATION);
  EXPECT_EQ(map.getPriorityPassageLabel(9, 9), 0);
  EXPECT_FALSE(map.inPriorityPassage(9, 9, 0));
  EXPECT_FLOAT_EQ(map.getPriorityPassageBoundaryDist(9, 9), 0.0f);
}

TEST(MultiGridMapCost, ExtraLayerAddsOnlyWithFlag) {
  const auto costmap = orvik_test::costmapFromAscii({"4.", ".#"}, 0.1);
  std::vector<uint8_t> extra = {10, 20, 30, 40};
  MultiGridMap map(costmap, GridMapConfig{}, {}, extra);
  // Row 1 (top) holds '4' = 100 at x 0.
  EXPECT_EQ(map.getCost(0, 1, false), 100u);
  EXPECT_EQ(map.getCost(0, 1, true), 130u);
  EXPECT_EQ(map.getCost(1, 0, true), 254u + 20u);
}

TEST(MultiGridMapCost, GetCostIsMasterPlusExtraUnderTheFlag) {
  auto costmap = orvik_test::randomCostmap(13, 7, 0.1, 3, 0.05);
  for (unsigned int i = 0; i < 13 * 7; ++i) {
    if (costmap.getCharMap()[i] == 0) {
      costmap.getCharMap()[i] = static_cast<unsigned char>(i * 37 % 253);
    }
  }
  std::vector<uint8_t> extra(13 * 7);
  for (std::size_t i = 0; i < extra.size(); ++i) {
    extra[i] = static_cast<uint8_t>(i * 91 % 256);
  }
  MultiGridMap plain(costmap, GridMapConfig{});
  MultiGridMap with_extra(costmap, GridMapConfig{}, {}, extra);
  const unsigned char* master = with_extra.getCostmap()->getCharMap();
  for (unsigned int y = 0; y < 7; ++y) {
    for (unsigned int x = 0; x < 13; ++x) {
      const std::size_t i = y * 13 + x;
      EXPECT_EQ(plain.getCost(x, y, true), master[i]);
      EXPECT_EQ(with_extra.getCost(x, y, false), master[i]);
      EXPECT_EQ(with_extra.getCost(x, y, true), master[i] + extra[i]);
    }
  }
}

TEST(MultiGridMapCost, InflationFollowsNav2CostFunction) {
  std::vector<std::string> rows(1, std::string(20, '.'));
  rows[0][0] = '#';
  const double resolution = 0.05;
  GridMapConfig config;
  config.inflation.enabled = true;
  config.inflation.inscribed_radius = 0.1;
  config.inflation.inflation_radius = 0.5;
  config.inflation.cost_scaling_factor = 3.0;
  MultiGridMap map(orvik_test::costmapFromAscii(rows, resolution), config);
  EXPECT_EQ(map.getCost(0, 0, false), 254u);
  EXPECT_EQ(map.getCost(1, 0, false), 253u);
  EXPECT_EQ(map.getCost(2, 0, false), 253u);  // 0.1 m, on the inscribed radius
  for (unsigned int x = 3; x <= 10; ++x) {
    const unsigned int expected =
        static_cast<unsigned char>(252 * std::exp(-3.0 * (x * resolution - 0.1)));
    EXPECT_EQ(map.getCost(x, 0, false), expected) << x;
  }
  EXPECT_EQ(map.getCost(11, 0, false), 0u);  // past the inflation radius
  // Inflated cells stay usable: only the lethal cell is an obstacle.
  EXPECT_FALSE(map.isObstacle(1, 0));
}

TEST(MultiGridMapPassage, BoundaryDistanceMatchesBruteForcePerLabel) {
  const unsigned int size_x = 14, size_y = 9;
  std::vector<int> labels(size_x * size_y, 0);
  for (unsigned int y = 1; y < 8; ++y) {
    for (unsigned int x = 0; x < 6; ++x) {
      labels[y * size_x + x] = 3;  // touches the left map edge
    }
    for (unsigned int x = 6; x < 13; ++x) {
      labels[y * size_x + x] = (x + y) % 4 == 0 ? 0 : 7;
    }
  }
  const double resolution = 0.2;
  MultiGridMap map(nav2_costmap_2d::Costmap2D(size_x, size_y, resolution, 0, 0, 0), GridMapConfig{},
                   labels);
  ASSERT_TRUE(map.hasPriorityPassage());
  EXPECT_EQ(map.getPriorityPassageLabelCount(), 2);
  for (unsigned int y = 0; y < size_y; ++y) {
    for (unsigned int x = 0; x < size_x; ++x) {
      const int label = labels[y * size_x + x];
      EXPECT_EQ(map.getPriorityPassageLabel(x, y), label);
      if (label == 0) {
        EXPECT_FLOAT_EQ(map.getPriorityPassageBoundaryDist(x, y), 0.0f);
        continue;
      }
      // Cells off the map count as outside the passage: brute force over a grid padded by one.
      double best = std::numeric_limits<double>::infinity();
      for (int oy = -1; oy <= int(size_y); ++oy) {
        for (int ox = -1; ox <= int(size_x); ++ox) {
          const bool inside_map = ox >= 0 && oy >= 0 && ox < int(size_x) && oy < int(size_y);
          if (!inside_map || labels[oy * size_x + ox] != label) {
            best = std::min(best, std::hypot(double(ox) - x, double(oy) - y) * resolution);
          }
        }
      }
      EXPECT_NEAR(map.getPriorityPassageBoundaryDist(x, y), best, 1e-4) << x << "," << y;
    }
  }
}

// Label images of every texture, from noise to a few blobs, with pieces touching only at a
// corner and labels that come back in several pieces: the boundary distance is the brute-force
// one however the passages are laid out.
TEST(MultiGridMapPassage, BoundaryDistanceMatchesBruteForceOnRandomLabelImages) {
  for (unsigned int seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    const unsigned int size_x = 1 + rng() % 24, size_y = 1 + rng() % 17;
    const int label_count = 1 + static_cast<int>(rng() % 9);
    // Blobs: a coarse random grid of labels scaled up, then some cells changed at random.
    const unsigned int block = 1 + rng() % 5;
    const double noise = std::uniform_real_distribution<double>(0.0, 1.0)(rng);
    std::uniform_int_distribution<int> label(0, label_count);
    std::vector<int> coarse((size_x / block + 1) * (size_y / block + 1));
    for (int& value : coarse) {
      value = label(rng);
    }
    std::vector<int> labels(size_x * size_y);
    for (unsigned int y = 0; y < size_y; ++y) {
      for (unsigned int x = 0; x < size_x; ++x) {
        const bool change = std::uniform_real_distribution<double>(0.0, 1.0)(rng) < noise;
        labels[y * size_x + x] =
            change ? label(rng) : coarse[(y / block) * (size_x / block + 1) + x / block];
      }
    }
    const double resolution = 0.05 * (1 + seed % 3);
    MultiGridMap map(nav2_costmap_2d::Costmap2D(size_x, size_y, resolution, 0, 0, 0),
                     GridMapConfig{}, labels);
    std::set<int> distinct;
    for (const int value : labels) {
      if (value > 0) {
        distinct.insert(value);
      }
    }
    ASSERT_EQ(map.getPriorityPassageLabelCount(), static_cast<int>(distinct.size())) << seed;
    for (unsigned int y = 0; y < size_y; ++y) {
      for (unsigned int x = 0; x < size_x; ++x) {
        const int own = labels[y * size_x + x];
        double best = 0.0;
        if (own > 0) {
          best = std::numeric_limits<double>::infinity();
          for (int oy = -1; oy <= int(size_y); ++oy) {
            for (int ox = -1; ox <= int(size_x); ++ox) {
              const bool on_map = ox >= 0 && oy >= 0 && ox < int(size_x) && oy < int(size_y);
              if (!on_map || labels[oy * size_x + ox] != own) {
                best = std::min(best, std::hypot(double(ox) - x, double(oy) - y) * resolution);
              }
            }
          }
        }
        ASSERT_NEAR(map.getPriorityPassageBoundaryDist(x, y), best, 1e-5 * (1.0 + best))
            << "seed " << seed << " cell " << x << "," << y;
      }
    }
  }
}

TEST(MultiGridMapPassage, InPriorityPassageRequiresSafety) {
  const auto costmap = orvik_test::costmapFromAscii({".....", "#...."}, 0.1);
  std::vector<int> labels(10, 2);
  GridMapConfig config;
  config.danger_clearances = {0.25, 0.0};
  MultiGridMap map(costmap, config, labels);
  EXPECT_FALSE(map.inPriorityPassage(0, 0, 1));  // the obstacle itself
  EXPECT_FALSE(map.inPriorityPassage(2, 0, 0));  // 0.2 < 0.25
  EXPECT_TRUE(map.inPriorityPassage(2, 0, 1));
  EXPECT_TRUE(map.inPriorityPassage(4, 1, 0));
}

TEST(MultiGridMapPassage, AllZeroLabelsMeanNoPassage) {
  const auto costmap = orvik_test::costmapFromAscii({"...", "..."}, 0.1);
  MultiGridMap map(costmap, GridMapConfig{}, std::vector<int>(6, 0));
  EXPECT_FALSE(map.hasPriorityPassage());
  EXPECT_EQ(map.getPriorityPassageLabelCount(), 0);
}

TEST(MultiGridMapConstruction, RejectsBadInput) {
  GridMapConfig config;
  EXPECT_THROW(MultiGridMap(nav2_costmap_2d::Costmap2D(0, 5, 0.1, 0, 0), config),
               std::invalid_argument);
  EXPECT_THROW(MultiGridMap(nav2_costmap_2d::Costmap2D(3, 3, 0.0, 0, 0), config),
               std::invalid_argument);
  EXPECT_THROW(MultiGridMap(nav2_costmap_2d::Costmap2D(3, 3, std::nan(""), 0, 0), config),
               std::invalid_argument);
  EXPECT_THROW(
      MultiGridMap(nav2_costmap_2d::Costmap2D(3, 3, 0.1, 0, 0), config, std::vector<int>(8, 1)),
      std::invalid_argument);
  EXPECT_THROW(MultiGridMap(nav2_costmap_2d::Costmap2D(3, 3, 0.1, 0, 0), config, {},
                            std::vector<uint8_t>(10, 1)),
               std::invalid_argument);
  GridMapConfig two_points;
  two_points.footprint.resize(2);
  EXPECT_THROW(MultiGridMap(nav2_costmap_2d::Costmap2D(3, 3, 0.1, 0, 0), two_points),
               std::invalid_argument);
  GridMapConfig nan_clearance;
  nan_clearance.danger_clearances = {std::nan("")};
  EXPECT_THROW(MultiGridMap(nav2_costmap_2d::Costmap2D(3, 3, 0.1, 0, 0), nan_clearance),
               std::invalid_argument);
}

TEST(MultiGridMapCost, HugeInflationRadiusInflatesEverythingWithoutOverflow) {
  GridMapConfig config;
  config.inflation.enabled = true;
  config.inflation.inflation_radius = 1e12;
  config.inflation.cost_scaling_factor = 0.0;
  MultiGridMap map(orvik_test::costmapFromAscii({"#....", ".....", "....?"}, 0.05), config);
  EXPECT_EQ(map.getCost(4, 2, false), 252u);  // factor exp(0): the highest non-inscribed cost
  EXPECT_EQ(map.getCost(4, 0, false), 255u);  // unknown keeps its value below 253
  EXPECT_TRUE(map.isObstacle(4, 0));
}

TEST(MultiGridMapCost, InscribedRadiusComesFromFootprintWhenUnset) {
  std::vector<std::string> rows(1, std::string(12, '.'));
  rows[0][0] = '#';
  GridMapConfig config;
  config.robot_radius = 0.15;
  config.inflation.enabled = true;
  MultiGridMap map(orvik_test::costmapFromAscii(rows, 0.05), config);
  EXPECT_EQ(map.getCost(2, 0, false), 253u);  // 0.1 m, inside the 0.15 m radius
  EXPECT_LT(map.getCost(4, 0, false), 253u);
}

TEST(MultiGridMapCost, InflationMatchesBruteForceOnRandomMaps) {
  GridMapConfig config;
  config.inflation.enabled = true;
  config.inflation.inscribed_radius = 0.12;
  config.inflation.inflation_radius = 0.4;
  config.inflation.cost_scaling_factor = 4.0;
  for (unsigned int seed = 30; seed < 34; ++seed) {
    auto costmap = orvik_test::randomCostmap(25, 18, 0.03, seed, 0.05);
    // Sprinkle unknown and mid costs to exercise the merge rules.
    for (unsigned int i = 0; i < 25 * 18; i += 7) {
      if (costmap.getCost(i) == 0) {
        costmap.getCharMap()[i] = i % 2 ? nav2_costmap_2d::NO_INFORMATION : 100;
      }
    }
    MultiGridMap map(costmap, config);
    for (unsigned int y = 0; y < 18; ++y) {
      for (unsigned int x = 0; x < 25; ++x) {
        const double d_m = bruteForceDistance(25, 18, 0.05, x, y, [&](unsigned ox, unsigned oy) {
          return costmap.getCost(ox, oy) == nav2_costmap_2d::LETHAL_OBSTACLE;
        });
        const unsigned char old_cost = costmap.getCost(x, y);
        unsigned int expected = old_cost;
        // Nav2 inflates every cell within cellDistance(inflation_radius) cells.
        if (d_m / 0.05 <= std::ceil(0.4 / 0.05) + 1e-9) {
          unsigned int inflated = 0;
          if (d_m == 0.0) {
            inflated = 254;
          } else if (d_m <= 0.12) {
            inflated = 253;
          } else {
            inflated = static_cast<unsigned char>(252 * std::exp(-4.0 * (d_m - 0.12)));
          }
          if (old_cost == nav2_costmap_2d::NO_INFORMATION) {
            expected = inflated >= 253 ? inflated : old_cost;
          } else {
            expected = std::max<unsigned int>(old_cost, inflated);
          }
        }
        EXPECT_EQ(map.getCost(x, y, false), expected) << seed << ": " << x << "," << y;
      }
    }
  }
}
