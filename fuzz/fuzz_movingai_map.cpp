// SPDX-License-Identifier: Apache-2.0
// Map loaders, Moving AI side: loadMovingAiMap on arbitrary file contents and resolutions.
// Only MapLoadError may come out; a loaded map has the header's size and only free or lethal
// cells.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_files.hpp"
#include "fuzz_support.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"
#include "orvik_nav2_gridmap/multi_grid_map.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvik_fuzz::quietLogging();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) {
    return 0;
  }
  static const double kResolutions[] = {1.0, 0.05, 0.0, -1.0, 1e-300, 1e300, NAN, INFINITY};
  const double resolution = kResolutions[data[0] & 7];
  const std::string path = orvik_fuzz::writeScratch("moving_ai.map", data + 1, size - 1);
  try {
    const auto map =
        orvik_nav2_gridmap::loadMovingAiMap(path, orvik_nav2_gridmap::GridMapConfig{}, resolution);
    ORVIK_FUZZ_CHECK(map != nullptr, "null map without an exception");
    const auto costmap = map->getMultiGridMap()->getCostmap();
    const unsigned int cells = costmap->getSizeInCellsX() * costmap->getSizeInCellsY();
    ORVIK_FUZZ_CHECK(cells > 0 && cells <= size, "%u cells from a file of %zu bytes", cells,
                     size - 1);
    for (unsigned int i = 0; i < cells; ++i) {
      const unsigned char cost = costmap->getCost(i);
      ORVIK_FUZZ_CHECK(
          cost == nav2_costmap_2d::FREE_SPACE || cost == nav2_costmap_2d::LETHAL_OBSTACLE,
          "cell %u has cost %u", i, cost);
    }
  } catch (const orvik_nav2_gridmap::MapLoadError&) {
  }
  return 0;
}
