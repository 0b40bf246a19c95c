// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav_msgs/msg/occupancy_grid.hpp"
#include "orvik_nav2_gridmap/grid_map_config.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

namespace orvik_nav2_gridmap {

/// A map or configuration file that cannot be used: missing, unreadable, malformed, or with a
/// value out of range. The message names the file and, where there is one, the key or value.
class MapLoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Reads a ROS map_server map (YAML plus a PGM or PNG image) as nav2_map_server does: keys
/// image, resolution, origin [x, y, yaw], negate (int or bool), occupied_thresh, free_thresh,
/// optional mode (trinary, scale or raw, case-insensitive; default trinary); other keys are
/// ignored. The image path is relative to the YAML's folder unless absolute; a YAML path
/// starting with "~/" is taken from $HOME. The top image row becomes the highest grid row.
/// @throw MapLoadError for a missing or malformed YAML, a missing or wrong-typed key, an empty
///        image tag, an origin without exactly three numbers, a non-positive or non-finite
///        resolution, non-finite or inverted thresholds, an unknown mode, or an image that
///        cannot be read, is empty, or has an unsupported channel count.
nav_msgs::msg::OccupancyGrid loadOccupancyGrid(const std::string& yaml_path);

/// Converts an occupancy grid to costs as Nav2's static layer does (lethal threshold 100,
/// trinary costmap): -1 becomes NO_INFORMATION when track_unknown_space is set, else FREE_SPACE;
/// 100 becomes LETHAL_OBSTACLE; everything else FREE_SPACE. Row 0 stays row 0.
/// @throw MapLoadError for a zero-sized grid, a data size that does not match width x height,
///        or a non-positive or non-finite resolution.
nav2_costmap_2d::Costmap2D costmapFromOccupancyGrid(const nav_msgs::msg::OccupancyGrid& grid,
                                                    bool track_unknown_space = true);

/// Reads a GridMapConfig from YAML. Keys are the field names: global_frame (string),
/// footprint (list of [x, y] pairs, or that list written as a string as Nav2 does),
/// robot_radius, danger_clearances (list of numbers), unknown_is_obstacle (bool) and inflation
/// (a map with enabled, inscribed_radius, inflation_radius, cost_scaling_factor). Missing keys
/// keep their defaults; an empty file gives the default configuration.
/// @throw MapLoadError naming the file and key for an unknown key, a value of the wrong type,
///        a non-finite or negative length, a footprint point that is not a pair, or a footprint
///        with fewer than three points; also for a missing or malformed file.
GridMapConfig loadGridMapConfig(const std::string& yaml_path);

/// Builds a grid map from a map_server map (unknown cells kept as unknown) and a configuration.
/// @param passage_labels_image optional single-channel 8- or 16-bit image of the map's size,
///        pixel value = passage label (0 = none), its top row the map's highest row.
/// @param extra_cost_image optional single-channel 8-bit image of the map's size, pixel value =
///        extra cost, oriented like the map.
/// @throw MapLoadError for anything loadOccupancyGrid rejects, an unreadable layer image or one
///        whose size or format does not fit, or a configuration the grid map refuses.
std::shared_ptr<GridMapROS> loadRosMap(const std::string& map_yaml_path,
                                       const GridMapConfig& config,
                                       const std::string& passage_labels_image = "",
                                       const std::string& extra_cost_image = "");

/// Builds a grid map from a Moving AI benchmark .map file ("type", "height", "width", "map"
/// header, then rows of characters; LF or CRLF, final newline optional). '.', 'G' and 'S' are
/// passable and free; '@', 'O', 'T' and 'W' are lethal. Row 0 of the file is the top row of
/// the map; the origin is (0, 0) and each character one cell of `resolution` metres.
/// @throw MapLoadError for a missing file, a malformed or zero-sized header, rows of the wrong
///        length or number, an unknown character, a non-positive or non-finite resolution, or
///        a configuration the grid map refuses.
std::shared_ptr<GridMapROS> loadMovingAiMap(const std::string& map_path,
                                            const GridMapConfig& config, double resolution = 1.0);

}  // namespace orvik_nav2_gridmap
