// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "orvik_nav2_gridmap/grid_map_config.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace orvik_nav2_plugins {

/// The grid map of the latest costmap. Building one computes a distance field over the whole
/// map, far more work than comparing the costmap with the last one, so the map is rebuilt
/// only when the costmap's cells or geometry, or the configuration, differ from last time.
class GridMapCache {
 public:
  /// The grid map of `costmap` under `config`: the previous one when neither changed.
  /// The caller holds the costmap's lock.
  /// @throw std::invalid_argument as MultiGridMap does (zero-sized costmap, bad geometry or
  ///        configuration); the previous map is then dropped.
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> update(
      const nav2_costmap_2d::Costmap2D& costmap, const orvik_nav2_gridmap::GridMapConfig& config);

  /// Forgets the map, so that the next update builds one.
  void clear();

 private:
  bool matches(const nav2_costmap_2d::Costmap2D& costmap,
               const orvik_nav2_gridmap::GridMapConfig& config) const;

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  orvik_nav2_gridmap::GridMapConfig config_;
  std::vector<unsigned char> cells_;
  unsigned int size_x_{0};
  unsigned int size_y_{0};
  double resolution_{0.0};
  double origin_x_{0.0};
  double origin_y_{0.0};
};

}  // namespace orvik_nav2_plugins
