// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "orvik_nav2_gridmap/grid_map_config.hpp"

namespace orvik_nav2_gridmap {

/// The layers of one grid map: the master costmap, the obstacle distance field, the danger
/// test, optional priority passages and an optional extra cost layer. Built once, read-only
/// afterwards, so it can be shared between planners on different threads.
///
/// Cell queries expect 0 <= x < size_x and 0 <= y < size_y; a cell off the map answers as
/// blocked: inDanger true, distance 0, cost 255, no passage.
class MultiGridMap {
 public:
  /// @param costmap master costs (0..255, 254 lethal, 255 unknown), copied.
  /// @param passage_labels empty, or one label per cell (row-major, 0 = none).
  /// @param extra_cost empty, or one extra cost per cell, added by getCost when its flag is set.
  /// @throw std::invalid_argument for a zero-sized costmap, a non-positive or non-finite
  ///        resolution, or layers whose size does not match the costmap; also for a costmap of
  ///        more than INT32_MAX cells, a non-finite origin, a footprint of one or two points or
  ///        with non-finite points, a negative or non-finite robot_radius, non-finite danger
  ///        clearances, or (when enabled) non-finite or negative inflation parameters.
  ///        Danger clearances below the footprint's inscribed radius are used as given and
  ///        reported with a warning on the "orvik_nav2_gridmap" logger.
  MultiGridMap(const nav2_costmap_2d::Costmap2D& costmap, const GridMapConfig& config,
               std::vector<int> passage_labels = {}, std::vector<uint8_t> extra_cost = {});

  /// The master costmap (a copy of the one given, inflated when enabled). Shared with every
  /// caller: treat it as read-only, the other layers were computed from it.
  std::shared_ptr<nav2_costmap_2d::Costmap2D> getCostmap() const;
  /// The configuration the layers were built with, danger clearances included: when none were
  /// configured, the one default clearance (the footprint's inscribed radius).
  const GridMapConfig& getConfig() const;

  /// Master cost of the cell (after inflation, when enabled); with flag set, plus the extra cost
  /// layer (when loaded), so the sum may exceed 255.
  uint32_t getCost(unsigned int x, unsigned int y, bool flag) const;
  /// Euclidean distance in metres from the cell centre to the nearest obstacle cell centre
  /// (exact Euclidean distance transform, computed once). Without any obstacle on the map every
  /// cell answers the map's diagonal length.
  double getDistance(unsigned int x, unsigned int y) const;
  /// Off the map, an obstacle cell, or closer to an obstacle than the level's clearance
  /// (danger_clearances; levels past the end use the last entry, negative levels the first;
  /// without configured clearances, the footprint's inscribed radius for every level).
  bool inDanger(unsigned int x, unsigned int y, int level) const;
  /// Lethal, or unknown when unknown cells are obstacles.
  bool isObstacle(unsigned int x, unsigned int y) const;

  /// Whether any cell carries a passage label > 0.
  bool hasPriorityPassage() const;
  /// Number of distinct labels > 0.
  int getPriorityPassageLabelCount() const;
  /// Label of the cell's passage; 0 for none, for negative labels and off the map.
  int getPriorityPassageLabel(unsigned int x, unsigned int y) const;
  /// Labelled and not in danger at that level.
  bool inPriorityPassage(unsigned int x, unsigned int y, int level) const;
  /// Distance in metres to the nearest cell outside the cell's passage, cells off the map
  /// counting as outside (0 outside passages).
  float getPriorityPassageBoundaryDist(unsigned int x, unsigned int y) const;

 private:
  struct Layers;
  std::shared_ptr<const Layers> layers_;
  std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap_;
  GridMapConfig config_;
};

}  // namespace orvik_nav2_gridmap
