// SPDX-License-Identifier: Apache-2.0
// Map loaders, image side: arbitrary bytes as the map image (PGM, PNG or whatever OpenCV
// recognises) of a map_server YAML in each mode, or as the passage label or extra cost layer
// of loadRosMap. Only MapLoadError may come out; a loaded map must be consistent.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_files.hpp"
#include "fuzz_support.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"
#include "orvik_nav2_gridmap/multi_grid_map.hpp"

namespace {

using orvik_nav2_gridmap::MapLoadError;

std::string yamlFor(const std::string& image, const char* mode, bool negate) {
  return std::string("image: ") + image +
         "\nresolution: 0.05\norigin: [-1.0, 2.0, 0.0]\noccupied_thresh: 0.65\n"
         "free_thresh: 0.196\nnegate: " +
         (negate ? "1" : "0") + "\nmode: " + mode + "\n";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  orvik_fuzz::quietLogging();
  orvik_fuzz::writeScratch("map.pgm", orvik_fuzz::smallPgm());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) {
    return 0;
  }
  const uint8_t control = data[0];
  const std::string image_path = orvik_fuzz::writeScratch("layer.img", data + 1, size - 1);
  static const char* const kModes[] = {"trinary", "scale", "raw", "Trinary"};
  const char* mode = kModes[control & 3];
  const bool negate = (control & 4) != 0;
  const int slot = (control >> 3) % 3;
  const orvik_nav2_gridmap::GridMapConfig config;

  try {
    if (slot == 0) {
      const std::string yaml =
          orvik_fuzz::writeScratch("map.yaml", yamlFor("layer.img", mode, negate));
      const auto grid = orvik_nav2_gridmap::loadOccupancyGrid(yaml);
      ORVIK_FUZZ_CHECK(
          grid.info.width > 0 && grid.info.height > 0 &&
              grid.data.size() == static_cast<size_t>(grid.info.width) * grid.info.height,
          "grid %u x %u with %zu cells", grid.info.width, grid.info.height, grid.data.size());
      for (const int8_t value : grid.data) {
        ORVIK_FUZZ_CHECK(value >= -1 && value <= 100, "cell value %d", value);
      }
      const auto map = orvik_nav2_gridmap::loadRosMap(yaml, config);
      const auto costmap = map->getMultiGridMap()->getCostmap();
      ORVIK_FUZZ_CHECK(costmap->getSizeInCellsX() == grid.info.width &&
                           costmap->getSizeInCellsY() == grid.info.height,
                       "grid map size differs from the occupancy grid");
    } else {
      const std::string yaml =
          orvik_fuzz::writeScratch("map.yaml", yamlFor("map.pgm", mode, negate));
      const auto map = slot == 1 ? orvik_nav2_gridmap::loadRosMap(yaml, config, image_path)
                                 : orvik_nav2_gridmap::loadRosMap(yaml, config, "", image_path);
      const auto costmap = map->getMultiGridMap()->getCostmap();
      ORVIK_FUZZ_CHECK(costmap->getSizeInCellsX() == 4 && costmap->getSizeInCellsY() == 3,
                       "a layer image changed the map size");
    }
  } catch (const MapLoadError&) {
  }
  return 0;
}
