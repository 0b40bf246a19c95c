// SPDX-License-Identifier: Apache-2.0
// Map loaders, YAML side: loadOccupancyGrid and loadGridMapConfig on arbitrary YAML text, with
// a valid image beside it, then the occupancy grid through costmapFromOccupancyGrid. Only
// MapLoadError may come out; a loaded grid must be consistent.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_files.hpp"
#include "fuzz_support.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"

namespace {

using orvik_nav2_gridmap::MapLoadError;

void checkGrid(const nav_msgs::msg::OccupancyGrid& grid) {
  ORVIK_FUZZ_CHECK(grid.info.width > 0 && grid.info.height > 0, "empty grid %u x %u",
                   grid.info.width, grid.info.height);
  ORVIK_FUZZ_CHECK(grid.data.size() == static_cast<size_t>(grid.info.width) * grid.info.height,
                   "%zu cells for %u x %u", grid.data.size(), grid.info.width, grid.info.height);
  ORVIK_FUZZ_CHECK(std::isfinite(grid.info.resolution) && grid.info.resolution > 0, "resolution %f",
                   static_cast<double>(grid.info.resolution));
  ORVIK_FUZZ_CHECK(
      std::isfinite(grid.info.origin.position.x) && std::isfinite(grid.info.origin.position.y),
      "origin is not finite");
  const double resolution = static_cast<double>(grid.info.resolution);
  ORVIK_FUZZ_CHECK(std::isfinite(grid.info.origin.position.x + grid.info.width * resolution) &&
                       std::isfinite(grid.info.origin.position.y + grid.info.height * resolution),
                   "far corner of the map is not finite");
  ORVIK_FUZZ_CHECK(grid.info.origin.position.x + resolution != grid.info.origin.position.x &&
                       grid.info.origin.position.y + resolution != grid.info.origin.position.y,
                   "one cell's step is lost in the origin");
  for (const int8_t value : grid.data) {
    ORVIK_FUZZ_CHECK(value >= -1 && value <= 100, "cell value %d", value);
  }
  const nav2_costmap_2d::Costmap2D costmap = orvik_nav2_gridmap::costmapFromOccupancyGrid(grid);
  ORVIK_FUZZ_CHECK(
      costmap.getSizeInCellsX() == grid.info.width && costmap.getSizeInCellsY() == grid.info.height,
      "costmap size differs from the grid");
}

void checkConfig(const orvik_nav2_gridmap::GridMapConfig& config) {
  ORVIK_FUZZ_CHECK(config.footprint.empty() || config.footprint.size() >= 3,
                   "footprint of %zu points", config.footprint.size());
  for (const auto& point : config.footprint) {
    ORVIK_FUZZ_CHECK(std::isfinite(point.x) && std::isfinite(point.y),
                     "footprint point not finite");
  }
  ORVIK_FUZZ_CHECK(std::isfinite(config.robot_radius) && config.robot_radius >= 0,
                   "robot radius %f", config.robot_radius);
  for (const double clearance : config.danger_clearances) {
    ORVIK_FUZZ_CHECK(std::isfinite(clearance) && clearance >= 0, "danger clearance %f", clearance);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvik_fuzz::quietLogging();
  const std::string pgm = orvik_fuzz::smallPgm();
  orvik_fuzz::writeScratch("map.pgm", pgm);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string yaml_path = orvik_fuzz::writeScratch("map.yaml", data, size);
  try {
    checkGrid(orvik_nav2_gridmap::loadOccupancyGrid(yaml_path));
  } catch (const MapLoadError&) {
  }
  try {
    checkConfig(orvik_nav2_gridmap::loadGridMapConfig(yaml_path));
  } catch (const MapLoadError&) {
  }
  return 0;
}
