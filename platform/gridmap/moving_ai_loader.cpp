// SPDX-License-Identifier: Apache-2.0
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "loader_support.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"

namespace orvik_nav2_gridmap {

namespace {

using loader_support::fail;

// Files come with LF or CRLF line ends; both read the same.
bool readLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) {
    return false;
  }
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  return true;
}

// Parses "<keyword> <positive number>"; the number must fit the grid map's index range.
unsigned int readDimension(const std::string& line, const std::string& keyword,
                           const std::string& file) {
  std::istringstream words(line);
  std::string word;
  long long value = 0;
  std::string rest;
  if (!(words >> word) || word != keyword || !(words >> value) || (words >> rest)) {
    fail(file, "expected '" + keyword + " <number>', found '" + line + "'");
  }
  if (value <= 0 || value > 65535) {
    fail(file, keyword + " " + std::to_string(value) + " is out of range 1..65535");
  }
  return static_cast<unsigned int>(value);
}

// '.' and 'G' are passable terrain; 'S' (swamp) is passable too, only slower for game units.
// '@' and 'O' are out of bounds, 'T' trees, 'W' water that a ground robot cannot enter.
bool cellCost(char c, unsigned char& cost) {
  switch (c) {
    case '.':
    case 'G':
    case 'S':
      cost = nav2_costmap_2d::FREE_SPACE;
      return true;
    case '@':
    case 'O':
    case 'T':
    case 'W':
      cost = nav2_costmap_2d::LETHAL_OBSTACLE;
      return true;
    default:
      return false;
  }
}

}  // namespace

std::shared_ptr<GridMapROS> loadMovingAiMap(const std::string& map_path,
                                            const GridMapConfig& config, double resolution) {
  if (!std::isfinite(resolution) || resolution <= 0.0) {
    fail(map_path, "resolution must be a positive number, not " + std::to_string(resolution));
  }
  std::ifstream in(map_path, std::ios::binary);
  if (!in) {
    fail(map_path, "cannot open Moving AI map");
  }
  std::string line;
  if (!readLine(in, line) || line.rfind("type ", 0) != 0) {
    fail(map_path, "expected a 'type' line first");
  }
  // Height comes before width in this format; still, read each by its keyword.
  unsigned int height = 0, width = 0;
  for (int i = 0; i < 2; ++i) {
    if (!readLine(in, line)) {
      fail(map_path, "header ends early");
    }
    if (line.rfind("height", 0) == 0) {
      height = readDimension(line, "height", map_path);
    } else if (line.rfind("width", 0) == 0) {
      width = readDimension(line, "width", map_path);
    } else {
      fail(map_path, "expected 'height' and 'width', found '" + line + "'");
    }
  }
  if (height == 0 || width == 0) {
    fail(map_path, "header must give both height and width");
  }
  if (!readLine(in, line) || line != "map") {
    fail(map_path, "expected the 'map' line after the header");
  }

  // The rows are read and checked before the costmap exists: a header alone must not make the
  // loader allocate what the file does not hold (65535 x 65535 cells would be 4 GB).
  std::vector<unsigned char> costs;
  for (unsigned int row = 0; row < height; ++row) {
    if (!readLine(in, line)) {
      fail(map_path,
           "has " + std::to_string(row) + " rows, the header says " + std::to_string(height));
    }
    if (line.size() != width) {
      fail(map_path, "row " + std::to_string(row) + " has " + std::to_string(line.size()) +
                         " characters, the header says " + std::to_string(width));
    }
    for (unsigned int x = 0; x < width; ++x) {
      unsigned char cost = 0;
      if (!cellCost(line[x], cost)) {
        fail(map_path, "unknown character '" + std::string(1, line[x]) + "' at column " +
                           std::to_string(x) + " of row " + std::to_string(row));
      }
      costs.push_back(cost);
    }
  }
  while (readLine(in, line)) {
    if (!line.empty()) {
      fail(map_path, "has more rows than the header's height " + std::to_string(height));
    }
  }

  nav2_costmap_2d::Costmap2D costmap(width, height, resolution, 0.0, 0.0,
                                     nav2_costmap_2d::FREE_SPACE);
  for (unsigned int row = 0; row < height; ++row) {
    // Row 0 of the file is the top of the map, the highest y.
    const unsigned int y = height - 1 - row;
    for (unsigned int x = 0; x < width; ++x) {
      costmap.setCost(x, y, costs[static_cast<std::size_t>(row) * width + x]);
    }
  }
  try {
    return std::make_shared<GridMapROS>(costmap, config);
  } catch (const std::invalid_argument& e) {
    fail(map_path, e.what());
  }
}

}  // namespace orvik_nav2_gridmap
