// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include "orvik_nav2_gridmap/grid_map_config.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_plan/plan_report.hpp"

namespace orvik_plan {

/// Reads a grid map configuration YAML; an empty path gives the default configuration.
/// @throw ToolError with the loader's message.
orvik_nav2_gridmap::GridMapConfig loadGridConfig(const std::string& yaml_path);

/// Loads a ROS map_server map with its optional label and extra cost images.
/// @throw ToolError with the loader's message.
std::shared_ptr<orvik_nav2_gridmap::GridMapROS> loadRosGridMap(
    const std::string& map_yaml, const orvik_nav2_gridmap::GridMapConfig& config,
    const std::string& labels_image, const std::string& extra_cost_image);

/// Loads a Moving AI .map file. @throw ToolError with the loader's message.
std::shared_ptr<orvik_nav2_gridmap::GridMapROS> loadMovingAiGridMap(
    const std::string& map_path, const orvik_nav2_gridmap::GridMapConfig& config,
    double resolution);

/// Size, resolution, origin and frame of a loaded map.
MapInfo describeMap(const orvik_nav2_gridmap::GridMapROS& map, const std::string& source);

}  // namespace orvik_plan
