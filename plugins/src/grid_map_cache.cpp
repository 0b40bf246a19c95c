// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_plugins/grid_map_cache.hpp"

#include <algorithm>
#include <cstring>

namespace orvik_nav2_plugins {

namespace {

bool samePoints(const std::vector<geometry_msgs::msg::Point>& a,
                const std::vector<geometry_msgs::msg::Point>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const auto& p, const auto& q) { return p.x == q.x && p.y == q.y; });
}

bool sameInflation(const orvik_nav2_gridmap::InflationConfig& a,
                   const orvik_nav2_gridmap::InflationConfig& b) {
  return a.enabled == b.enabled && a.inscribed_radius == b.inscribed_radius &&
         a.inflation_radius == b.inflation_radius && a.cost_scaling_factor == b.cost_scaling_factor;
}

bool sameConfig(const orvik_nav2_gridmap::GridMapConfig& a,
                const orvik_nav2_gridmap::GridMapConfig& b) {
  return a.global_frame == b.global_frame && samePoints(a.footprint, b.footprint) &&
         a.robot_radius == b.robot_radius && a.danger_clearances == b.danger_clearances &&
         a.unknown_is_obstacle == b.unknown_is_obstacle && sameInflation(a.inflation, b.inflation);
}

}  // namespace

bool GridMapCache::matches(const nav2_costmap_2d::Costmap2D& costmap,
                           const orvik_nav2_gridmap::GridMapConfig& config) const {
  if (!map_ || costmap.getSizeInCellsX() != size_x_ || costmap.getSizeInCellsY() != size_y_ ||
      costmap.getResolution() != resolution_ || costmap.getOriginX() != origin_x_ ||
      costmap.getOriginY() != origin_y_ || !sameConfig(config, config_)) {
    return false;
  }
  return cells_.empty() || std::memcmp(cells_.data(), costmap.getCharMap(), cells_.size()) == 0;
}

std::shared_ptr<orvik_nav2_gridmap::GridMapROS> GridMapCache::update(
    const nav2_costmap_2d::Costmap2D& costmap, const orvik_nav2_gridmap::GridMapConfig& config) {
  if (matches(costmap, config)) {
    return map_;
  }
  clear();
  auto map = std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, config);
  const std::size_t cell_count =
      static_cast<std::size_t>(costmap.getSizeInCellsX()) * costmap.getSizeInCellsY();
  cells_.assign(costmap.getCharMap(), costmap.getCharMap() + cell_count);
  size_x_ = costmap.getSizeInCellsX();
  size_y_ = costmap.getSizeInCellsY();
  resolution_ = costmap.getResolution();
  origin_x_ = costmap.getOriginX();
  origin_y_ = costmap.getOriginY();
  config_ = config;
  map_ = std::move(map);
  return map_;
}

void GridMapCache::clear() {
  map_.reset();
  cells_.clear();
  cells_.shrink_to_fit();
}

}  // namespace orvik_nav2_plugins
