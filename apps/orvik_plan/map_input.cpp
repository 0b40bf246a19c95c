// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/map_input.hpp"

#include <stdexcept>

#include "orvik_nav2_gridmap/map_loader.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace {

// The loaders throw MapLoadError for bad files and std::invalid_argument from the grid map for
// layers it refuses; both are bad input to the tool.
template <typename Load>
auto guarded(Load load) -> decltype(load()) {
  try {
    return load();
  } catch (const orvik_nav2_gridmap::MapLoadError& e) {
    throw ToolError(e.what());
  } catch (const std::invalid_argument& e) {
    throw ToolError(e.what());
  } catch (const std::bad_alloc&) {
    throw ToolError("the map is too large to load into memory");
  }
}

}  // namespace

orvik_nav2_gridmap::GridMapConfig loadGridConfig(const std::string& yaml_path) {
  if (yaml_path.empty()) {
    return {};
  }
  return guarded([&] { return orvik_nav2_gridmap::loadGridMapConfig(yaml_path); });
}

std::shared_ptr<orvik_nav2_gridmap::GridMapROS> loadRosGridMap(
    const std::string& map_yaml, const orvik_nav2_gridmap::GridMapConfig& config,
    const std::string& labels_image, const std::string& extra_cost_image) {
  return guarded([&] {
    return orvik_nav2_gridmap::loadRosMap(map_yaml, config, labels_image, extra_cost_image);
  });
}

std::shared_ptr<orvik_nav2_gridmap::GridMapROS> loadMovingAiGridMap(
    const std::string& map_path, const orvik_nav2_gridmap::GridMapConfig& config,
    double resolution) {
  return guarded([&] { return orvik_nav2_gridmap::loadMovingAiMap(map_path, config, resolution); });
}

MapInfo describeMap(const orvik_nav2_gridmap::GridMapROS& map, const std::string& source) {
  MapInfo info;
  info.source = source;
  info.frame = map.getGlobalFrame();
  const auto costmap = map.getMultiGridMap()->getCostmap();
  info.size_x = costmap->getSizeInCellsX();
  info.size_y = costmap->getSizeInCellsY();
  info.resolution = costmap->getResolution();
  info.origin_x = costmap->getOriginX();
  info.origin_y = costmap->getOriginY();
  return info;
}

}  // namespace orvik_plan
