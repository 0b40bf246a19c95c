// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "orvik_nav2_gridmap/grid_map_config.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"

/// Maps and queries shared by the planner benchmarks, so that every planner is timed on the
/// same cells. Generators are deterministic for a seed.
namespace orvik_bench {

/// Kinds of generated map.
enum class MapKind { kOpen, kRandom, kMaze };

inline const char* mapKindName(MapKind kind) {
  switch (kind) {
    case MapKind::kOpen:
      return "open";
    case MapKind::kRandom:
      return "random";
    case MapKind::kMaze:
      return "maze";
  }
  return "?";
}

/// An obstacle-free square map of side cells.
inline nav2_costmap_2d::Costmap2D openCostmap(unsigned int side, double resolution = 0.05) {
  return nav2_costmap_2d::Costmap2D(side, side, resolution, 0.0, 0.0, nav2_costmap_2d::FREE_SPACE);
}

/// A square map with lethal cells scattered at the given density. The four corner 3x3 blocks
/// are kept free so that corner-to-corner queries always have usable endpoints.
inline nav2_costmap_2d::Costmap2D randomObstacleCostmap(unsigned int side, double density,
                                                        uint32_t seed = 7,
                                                        double resolution = 0.05) {
  nav2_costmap_2d::Costmap2D costmap = openCostmap(side, resolution);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  unsigned char* cells = costmap.getCharMap();
  for (std::size_t i = 0; i < static_cast<std::size_t>(side) * side; ++i) {
    if (unit(rng) < density) {
      cells[i] = nav2_costmap_2d::LETHAL_OBSTACLE;
    }
  }
  for (unsigned int y = 0; y < 3 && y < side; ++y) {
    for (unsigned int x = 0; x < 3 && x < side; ++x) {
      costmap.setCost(x, y, nav2_costmap_2d::FREE_SPACE);
      costmap.setCost(side - 1 - x, side - 1 - y, nav2_costmap_2d::FREE_SPACE);
      costmap.setCost(side - 1 - x, y, nav2_costmap_2d::FREE_SPACE);
      costmap.setCost(x, side - 1 - y, nav2_costmap_2d::FREE_SPACE);
    }
  }
  return costmap;
}

/// A perfect maze (one route between any two corridor cells) carved by an iterative
/// depth-first search. Corridors and walls are `corridor` cells wide; cell (0, 0) and the
/// corridor cell nearest to the far corner are always open.
inline nav2_costmap_2d::Costmap2D mazeCostmap(unsigned int side, unsigned int corridor = 2,
                                              uint32_t seed = 11, double resolution = 0.05) {
  nav2_costmap_2d::Costmap2D costmap(side, side, resolution, 0.0, 0.0,
                                     nav2_costmap_2d::LETHAL_OBSTACLE);
  const unsigned int pitch = 2 * corridor;
  const unsigned int rooms = side / pitch;
  if (rooms == 0) {
    return costmap;
  }
  auto carve = [&](unsigned int x0, unsigned int y0, unsigned int w, unsigned int h) {
    for (unsigned int y = y0; y < y0 + h && y < side; ++y) {
      for (unsigned int x = x0; x < x0 + w && x < side; ++x) {
        costmap.setCost(x, y, nav2_costmap_2d::FREE_SPACE);
      }
    }
  };
  std::vector<uint8_t> visited(static_cast<std::size_t>(rooms) * rooms, 0);
  std::vector<std::pair<unsigned int, unsigned int>> stack{{0u, 0u}};
  visited[0] = 1;
  carve(0, 0, corridor, corridor);
  std::mt19937 rng(seed);
  const int dirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  while (!stack.empty()) {
    const auto [rx, ry] = stack.back();
    int options[4];
    int count = 0;
    for (int d = 0; d < 4; ++d) {
      const long nx = static_cast<long>(rx) + dirs[d][0];
      const long ny = static_cast<long>(ry) + dirs[d][1];
      if (nx >= 0 && ny >= 0 && nx < static_cast<long>(rooms) && ny < static_cast<long>(rooms) &&
          !visited[static_cast<std::size_t>(ny) * rooms + static_cast<std::size_t>(nx)]) {
        options[count++] = d;
      }
    }
    if (count == 0) {
      stack.pop_back();
      continue;
    }
    const int d = options[rng() % static_cast<uint32_t>(count)];
    const unsigned int nx = rx + dirs[d][0];
    const unsigned int ny = ry + dirs[d][1];
    visited[static_cast<std::size_t>(ny) * rooms + nx] = 1;
    // Open the wall between the two rooms together with the new room.
    const unsigned int x0 = std::min(rx, nx) * pitch;
    const unsigned int y0 = std::min(ry, ny) * pitch;
    if (nx != rx) {
      carve(x0, y0, pitch + corridor, corridor);
    } else {
      carve(x0, y0, corridor, pitch + corridor);
    }
    stack.emplace_back(nx, ny);
  }
  return costmap;
}

/// Generated map of the given kind: random maps at 20 % density, mazes with 2-cell corridors.
inline nav2_costmap_2d::Costmap2D generatedCostmap(MapKind kind, unsigned int side) {
  switch (kind) {
    case MapKind::kOpen:
      return openCostmap(side);
    case MapKind::kRandom:
      return randomObstacleCostmap(side, 0.2);
    case MapKind::kMaze:
      return mazeCostmap(side);
  }
  return openCostmap(side);
}

/// Grid map configuration for benchmarks: a point robot, danger only on obstacles, unknown
/// cells blocked, no inflation, so that a cell's usability is exactly "not lethal".
inline orvik_nav2_gridmap::GridMapConfig pointRobotConfig() {
  orvik_nav2_gridmap::GridMapConfig config;
  config.robot_radius = 0.0;
  config.danger_clearances = {0.0};
  config.unknown_is_obstacle = true;
  return config;
}

/// Wraps a costmap into the grid map the planners take.
inline std::shared_ptr<orvik_nav2_gridmap::GridMapROS> toGridMap(
    const nav2_costmap_2d::Costmap2D& costmap,
    const orvik_nav2_gridmap::GridMapConfig& config = pointRobotConfig()) {
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, config);
}

/// One Moving AI query. Coordinates as in the file: x column, y row from the TOP of the map.
struct ScenarioQuery {
  int bucket{0};
  std::string map;
  int map_width{0};
  int map_height{0};
  int start_x{0};
  int start_y{0};
  int goal_x{0};
  int goal_y{0};
  double optimal_length{0.0};
};

/// Reads a Moving AI .scen file ("version 1" then tab-separated queries). Tolerates CRLF line
/// ends and blank lines.
/// @throw std::runtime_error when the file cannot be opened or a line is malformed.
inline std::vector<ScenarioQuery> loadScenario(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    throw std::runtime_error("cannot open scenario " + path);
  }
  std::vector<ScenarioQuery> queries;
  std::string line;
  bool header_seen = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.empty()) {
      continue;
    }
    if (!header_seen) {
      if (line.rfind("version", 0) != 0) {
        throw std::runtime_error("scenario without version line: " + path);
      }
      header_seen = true;
      continue;
    }
    std::istringstream fields(line);
    ScenarioQuery q;
    if (!(fields >> q.bucket >> q.map >> q.map_width >> q.map_height >> q.start_x >> q.start_y >>
          q.goal_x >> q.goal_y >> q.optimal_length)) {
      throw std::runtime_error("malformed scenario line in " + path + ": " + line);
    }
    queries.push_back(q);
  }
  return queries;
}

/// Every `stride`-th query, so that a benchmark can sample long scenario files evenly.
inline std::vector<ScenarioQuery> sampleQueries(const std::vector<ScenarioQuery>& queries,
                                                std::size_t stride) {
  std::vector<ScenarioQuery> out;
  for (std::size_t i = 0; i < queries.size(); i += (stride == 0 ? 1 : stride)) {
    out.push_back(queries[i]);
  }
  return out;
}

/// World coordinates of the centre of a Moving AI cell on a costmap whose row 0 is the map's
/// BOTTOM row (the usual costmap convention; Moving AI counts rows from the top).
inline std::pair<double, double> movingAiCellCentre(const nav2_costmap_2d::Costmap2D& costmap,
                                                    int x, int y_from_top) {
  double wx = 0.0;
  double wy = 0.0;
  const unsigned int row = costmap.getSizeInCellsY() - 1 - static_cast<unsigned int>(y_from_top);
  costmap.mapToWorld(static_cast<unsigned int>(x), row, wx, wy);
  return {wx, wy};
}

}  // namespace orvik_bench
