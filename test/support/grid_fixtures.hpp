// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace orvik_test {

/// Builds a costmap from rows of text, the first string being the TOP row (highest y), as a
/// map is drawn: '#' lethal, '?' unknown, '.' or ' ' free, '1'..'9' a cost of that digit x 25.
inline nav2_costmap_2d::Costmap2D costmapFromAscii(const std::vector<std::string>& rows,
                                                   double resolution = 0.05, double origin_x = 0.0,
                                                   double origin_y = 0.0) {
  const unsigned int size_y = static_cast<unsigned int>(rows.size());
  const unsigned int size_x = size_y ? static_cast<unsigned int>(rows.front().size()) : 0;
  nav2_costmap_2d::Costmap2D costmap(size_x, size_y, resolution, origin_x, origin_y, 0);
  for (unsigned int r = 0; r < size_y; ++r) {
    const unsigned int y = size_y - 1 - r;
    for (unsigned int x = 0; x < size_x && x < rows[r].size(); ++x) {
      const char c = rows[r][x];
      unsigned char cost = nav2_costmap_2d::FREE_SPACE;
      if (c == '#') {
        cost = nav2_costmap_2d::LETHAL_OBSTACLE;
      } else if (c == '?') {
        cost = nav2_costmap_2d::NO_INFORMATION;
      } else if (c >= '1' && c <= '9') {
        cost = static_cast<unsigned char>((c - '0') * 25);
      }
      costmap.setCost(x, y, cost);
    }
  }
  return costmap;
}

#ifndef ORVIK_CONTRACT_PLATFORM
/// A grid map over costmapFromAscii with the given configuration.
inline std::shared_ptr<orvik_nav2_gridmap::GridMapROS> gridMapFromAscii(
    const std::vector<std::string>& rows, const orvik_nav2_gridmap::GridMapConfig& config = {},
    double resolution = 0.05, std::vector<int> passage_labels = {}) {
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmapFromAscii(rows, resolution),
                                                          config, std::move(passage_labels));
}
#endif

/// A grid map over the costmap for tests that also run against the contract stand-in
/// (test/contract_platform/): there it applies its own danger levels and costs, here those of
/// danger_clearances (metres per level, level 0 first).
inline std::shared_ptr<orvik_nav2_gridmap::GridMapROS> makeTestGridMap(
    const nav2_costmap_2d::Costmap2D& costmap, std::vector<double> danger_clearances = {0.0}) {
#ifdef ORVIK_CONTRACT_PLATFORM
  (void)danger_clearances;
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap);
#else
  orvik_nav2_gridmap::GridMapConfig config;
  config.danger_clearances = std::move(danger_clearances);
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, config);
#endif
}

/// A free map of the given size where each cell is lethal with probability `density`;
/// deterministic for a seed.
inline nav2_costmap_2d::Costmap2D randomCostmap(unsigned int size_x, unsigned int size_y,
                                                double density, unsigned int seed,
                                                double resolution = 0.05) {
  nav2_costmap_2d::Costmap2D costmap(size_x, size_y, resolution, 0.0, 0.0, 0);
  unsigned int state = seed * 2654435761u + 1u;
  for (unsigned int y = 0; y < size_y; ++y) {
    for (unsigned int x = 0; x < size_x; ++x) {
      state = state * 1664525u + 1013904223u;
      if ((state >> 8) / 16777216.0 < density) {
        costmap.setCost(x, y, nav2_costmap_2d::LETHAL_OBSTACLE);
      }
    }
  }
  return costmap;
}

/// A map of the given size whose cells are lethal with probability `density`; every other
/// cell is free or, with even odds, a random cost up to `max_cost`, so that cell costs reorder
/// a search whose priority weighs them.
inline nav2_costmap_2d::Costmap2D randomGradedCostmap(unsigned int size_x, unsigned int size_y,
                                                      double density, int max_cost,
                                                      std::mt19937& rng) {
  nav2_costmap_2d::Costmap2D costmap(size_x, size_y, 0.05, 0.0, 0.0, 0);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> cost(0, max_cost);
  for (unsigned int y = 0; y < size_y; ++y) {
    for (unsigned int x = 0; x < size_x; ++x) {
      const bool lethal = unit(rng) < density;
      costmap.setCost(x, y,
                      lethal ? nav2_costmap_2d::LETHAL_OBSTACLE
                             : static_cast<unsigned char>(unit(rng) < 0.5 ? 0 : cost(rng)));
    }
  }
  return costmap;
}

/// Path of the third-party map folder, or an empty string when it is absent.
inline std::string sharedMapsDir() {
#ifdef ORVIK_SHARED_MAPS_DIR
  const std::string dir = ORVIK_SHARED_MAPS_DIR;
  if (std::filesystem::is_directory(dir)) {
    return dir;
  }
#endif
  return "";
}

}  // namespace orvik_test
