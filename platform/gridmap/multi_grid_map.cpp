// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/multi_grid_map.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "nav2_costmap_2d/cost_values.hpp"
#include "orvik_nav2_gridmap/footprint_geometry.hpp"
#include "rclcpp/logging.hpp"

namespace orvik_nav2_gridmap {

/// Everything a query reads, computed once at construction so that queries are table lookups.
struct MultiGridMap::Layers {
  unsigned int size_x{0};
  unsigned int size_y{0};
  double resolution{0.0};
  std::vector<uint8_t> obstacle;     // 1 where isObstacle holds
  std::vector<float> distance_m;     // metres to the nearest obstacle cell centre
  std::vector<double> clearances_m;  // per danger level, never empty
  std::vector<int> labels;           // empty without passages
  int label_count{0};
  std::vector<float> passage_dist_m;  // metres to the nearest cell outside the own passage
  std::vector<uint8_t> extra_cost;    // empty without an extra layer

  bool inside(unsigned int x, unsigned int y) const { return x < size_x && y < size_y; }
  std::size_t index(unsigned int x, unsigned int y) const {
    return static_cast<std::size_t>(y) * size_x + x;
  }
};

namespace {

// Euclidean distance in cells from every cell to the nearest cell where `is_source` holds.
// OpenCV measures the distance to the nearest zero pixel, so sources become zeros. With
// DIST_MASK_PRECISE the result is the exact Euclidean transform (Felzenszwalb), not a chamfer
// approximation. Without any source every cell gets `no_source_value`.
template <class IsSource>
std::vector<float> distanceToSources(unsigned int size_x, unsigned int size_y, IsSource is_source,
                                     float no_source_value) {
  cv::Mat free_mask(static_cast<int>(size_y), static_cast<int>(size_x), CV_8UC1);
  bool any_source = false;
  for (unsigned int y = 0; y < size_y; ++y) {
    auto* row = free_mask.ptr<uint8_t>(static_cast<int>(y));
    for (unsigned int x = 0; x < size_x; ++x) {
      const bool source = is_source(static_cast<std::size_t>(y) * size_x + x);
      row[x] = source ? 0 : 255;
      any_source = any_source || source;
    }
  }
  std::vector<float> result(static_cast<std::size_t>(size_x) * size_y, no_source_value);
  if (!any_source) {
    return result;
  }
  cv::Mat distance;
  cv::distanceTransform(free_mask, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
  for (unsigned int y = 0; y < size_y; ++y) {
    const auto* row = distance.ptr<float>(static_cast<int>(y));
    std::copy(row, row + size_x, result.begin() + static_cast<std::ptrdiff_t>(y) * size_x);
  }
  return result;
}

// Per labelled cell, distance to the nearest cell outside its passage (another label, none, or
// off the map). Worked per 4-connected piece of a passage, over the piece's bounding box grown
// by one cell. That is exact: stepping from the nearest outside cell towards the cell along the
// longer axis only comes closer, so every cell on that way is of the passage, which makes the
// outside cell a 4-neighbour of the piece and puts it inside the grown box. The cost is the sum
// of the pieces' boxes: near the map's area for passages of any shape and for label noise alike,
// where a transform per label over all of its cells would cost labels x area.
std::vector<float> passageBoundaryDistances(unsigned int size_x, unsigned int size_y,
                                            const std::vector<int>& labels, double resolution,
                                            int& label_count) {
  const int width = static_cast<int>(size_x);
  const int height = static_cast<int>(size_y);
  auto labelAt = [&](int x, int y) {
    const bool on_map = x >= 0 && y >= 0 && x < width && y < height;
    return on_map ? labels[static_cast<std::size_t>(y) * size_x + static_cast<std::size_t>(x)] : 0;
  };
  std::vector<float> result(static_cast<std::size_t>(size_x) * size_y, 0.0f);
  std::vector<uint8_t> visited(result.size(), 0);
  std::vector<int> piece;  // cell indices of the current piece
  std::vector<int> seen_labels;
  for (std::size_t seed = 0; seed < labels.size(); ++seed) {
    const int label = labels[seed];
    if (label <= 0 || visited[seed]) {
      continue;
    }
    seen_labels.push_back(label);
    // Flood the piece (4-connected, same label) and take its bounding box.
    piece.assign(1, static_cast<int>(seed));
    visited[seed] = 1;
    int min_x = width, min_y = height, max_x = -1, max_y = -1;
    for (std::size_t next = 0; next < piece.size(); ++next) {
      const int x = piece[next] % width;
      const int y = piece[next] / width;
      min_x = std::min(min_x, x);
      max_x = std::max(max_x, x);
      min_y = std::min(min_y, y);
      max_y = std::max(max_y, y);
      const int neighbours[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
      for (const auto& n : neighbours) {
        if (labelAt(n[0], n[1]) != label) {
          continue;
        }
        const std::size_t i =
            static_cast<std::size_t>(n[1]) * size_x + static_cast<std::size_t>(n[0]);
        if (!visited[i]) {
          visited[i] = 1;
          piece.push_back(static_cast<int>(i));
        }
      }
    }
    if (piece.size() == 1) {  // most of label noise: every 4-neighbour is outside
      result[static_cast<std::size_t>(piece[0])] = static_cast<float>(1.0f * resolution);
      continue;
    }
    // Zero (outside) where the label differs, off-map included; other pieces of the same label
    // inside the box are not outside.
    cv::Mat inside(max_y - min_y + 3, max_x - min_x + 3, CV_8UC1);
    for (int row = 0; row < inside.rows; ++row) {
      auto* pixels = inside.ptr<uint8_t>(row);
      for (int col = 0; col < inside.cols; ++col) {
        pixels[col] = labelAt(min_x - 1 + col, min_y - 1 + row) == label ? 255 : 0;
      }
    }
    cv::Mat distance;
    cv::distanceTransform(inside, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    for (const int i : piece) {
      const int x = i % width;
      const int y = i / width;
      result[static_cast<std::size_t>(i)] =
          static_cast<float>(distance.at<float>(y - min_y + 1, x - min_x + 1) * resolution);
    }
  }
  std::sort(seen_labels.begin(), seen_labels.end());
  label_count =
      static_cast<int>(std::unique(seen_labels.begin(), seen_labels.end()) - seen_labels.begin());
  return result;
}

// Nav2's InflationLayer::computeCost for a distance in cells.
unsigned char inflatedCost(double distance_cells, double resolution, const InflationConfig& cfg) {
  if (distance_cells == 0.0) {
    return nav2_costmap_2d::LETHAL_OBSTACLE;
  }
  const double distance_m = distance_cells * resolution;
  if (distance_m <= cfg.inscribed_radius) {
    return nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE;
  }
  const double factor = std::exp(-cfg.cost_scaling_factor * (distance_m - cfg.inscribed_radius));
  return static_cast<unsigned char>((nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE - 1) * factor);
}

// Merges the inflation of the lethal cells into the master costs as Nav2's inflation layer
// does: within the inflation radius a cell keeps the larger cost, and an unknown cell only takes
// costs of inscribed strength or more.
void inflate(nav2_costmap_2d::Costmap2D& costmap, const InflationConfig& cfg) {
  const unsigned int size_x = costmap.getSizeInCellsX();
  const unsigned int size_y = costmap.getSizeInCellsY();
  const double resolution = costmap.getResolution();
  unsigned char* master = costmap.getCharMap();
  const std::vector<float> lethal_distance = distanceToSources(
      size_x, size_y,
      [master](std::size_t i) { return master[i] == nav2_costmap_2d::LETHAL_OBSTACLE; },
      std::numeric_limits<float>::infinity());
  // Costmap2D::cellDistance converts to unsigned, which overflows for a very large radius.
  const double radius_cells = std::max(0.0, std::ceil(cfg.inflation_radius / resolution));
  for (std::size_t i = 0; i < lethal_distance.size(); ++i) {
    const double d = lethal_distance[i];
    if (d > radius_cells) {
      continue;
    }
    const unsigned char cost = inflatedCost(d, resolution, cfg);
    unsigned char& old_cost = master[i];
    if (old_cost == nav2_costmap_2d::NO_INFORMATION) {
      if (cost >= nav2_costmap_2d::INSCRIBED_INFLATED_OBSTACLE) {
        old_cost = cost;
      }
    } else {
      old_cost = std::max(old_cost, cost);
    }
  }
}

void validate(const nav2_costmap_2d::Costmap2D& costmap, const GridMapConfig& config,
              std::size_t labels_size, std::size_t extra_size) {
  const unsigned int size_x = costmap.getSizeInCellsX();
  const unsigned int size_y = costmap.getSizeInCellsY();
  if (size_x == 0 || size_y == 0) {
    throw std::invalid_argument("grid map: zero-sized costmap (" + std::to_string(size_x) + " x " +
                                std::to_string(size_y) + ")");
  }
  // Cell indices are int32 in the planners' tables and OpenCV images are int-sized.
  if (static_cast<uint64_t>(size_x) * size_y > static_cast<uint64_t>(INT32_MAX)) {
    throw std::invalid_argument("grid map: costmap too large (" + std::to_string(size_x) + " x " +
                                std::to_string(size_y) + ")");
  }
  const double resolution = costmap.getResolution();
  if (!std::isfinite(resolution) || resolution <= 0.0) {
    throw std::invalid_argument("grid map: invalid resolution " + std::to_string(resolution));
  }
  if (!std::isfinite(costmap.getOriginX()) || !std::isfinite(costmap.getOriginY())) {
    throw std::invalid_argument("grid map: non-finite origin");
  }
  const std::size_t cells = static_cast<std::size_t>(size_x) * size_y;
  if (labels_size != 0 && labels_size != cells) {
    throw std::invalid_argument("grid map: passage label layer has " + std::to_string(labels_size) +
                                " cells, the costmap " + std::to_string(cells));
  }
  if (extra_size != 0 && extra_size != cells) {
    throw std::invalid_argument("grid map: extra cost layer has " + std::to_string(extra_size) +
                                " cells, the costmap " + std::to_string(cells));
  }
  if (!config.footprint.empty() && config.footprint.size() < 3) {
    throw std::invalid_argument("grid map: footprint has " +
                                std::to_string(config.footprint.size()) +
                                " points, a polygon needs at least 3");
  }
  for (const auto& point : config.footprint) {
    if (!std::isfinite(point.x) || !std::isfinite(point.y)) {
      throw std::invalid_argument("grid map: non-finite footprint point");
    }
  }
  if (!std::isfinite(config.robot_radius) || config.robot_radius < 0.0) {
    throw std::invalid_argument("grid map: invalid robot_radius " +
                                std::to_string(config.robot_radius));
  }
  for (double clearance : config.danger_clearances) {
    if (!std::isfinite(clearance)) {
      throw std::invalid_argument("grid map: non-finite danger clearance");
    }
  }
  const InflationConfig& inflation = config.inflation;
  if (inflation.enabled &&
      (!std::isfinite(inflation.inscribed_radius) || !std::isfinite(inflation.inflation_radius) ||
       !std::isfinite(inflation.cost_scaling_factor) || inflation.inflation_radius < 0.0 ||
       inflation.cost_scaling_factor < 0.0)) {
    throw std::invalid_argument("grid map: invalid inflation parameters");
  }
}

// Nav2 treats a cell closer to an obstacle than the footprint's inscribed radius as lethal for
// the robot's centre: wherever the robot stands there, some part of it is in the obstacle. A grid
// map configured without clearances takes that radius for every level, so by default the
// planners' danger test keeps the robot's centre that far from every obstacle cell. A configured
// clearance below it is kept (a caller may accept the risk on a relaxed level), but said out loud.
void resolveDangerClearances(GridMapConfig& config) {
  const double inscribed = footprint_geometry::inscribedRadius(config);
  if (config.danger_clearances.empty()) {
    config.danger_clearances.push_back(inscribed);
    return;
  }
  std::string below;
  for (std::size_t level = 0; level < config.danger_clearances.size(); ++level) {
    const double clearance = config.danger_clearances[level];
    if (clearance < inscribed) {
      below += (below.empty() ? "" : ", ") + std::string("level ") + std::to_string(level) + ": " +
               std::to_string(clearance) + " m";
    }
  }
  if (!below.empty()) {
    RCLCPP_WARN(rclcpp::get_logger("orvik_nav2_gridmap"),
                "grid map: danger clearances below the footprint's inscribed radius of %f m (%s); "
                "paths planned at those levels may put the footprint into obstacles",
                inscribed, below.c_str());
  }
}

}  // namespace

MultiGridMap::MultiGridMap(const nav2_costmap_2d::Costmap2D& costmap, const GridMapConfig& config,
                           std::vector<int> passage_labels, std::vector<uint8_t> extra_cost)
    : config_(config) {
  validate(costmap, config, passage_labels.size(), extra_cost.size());
  resolveDangerClearances(config_);
  costmap_ = std::make_shared<nav2_costmap_2d::Costmap2D>(costmap);

  auto layers = std::make_shared<Layers>();
  layers->size_x = costmap.getSizeInCellsX();
  layers->size_y = costmap.getSizeInCellsY();
  layers->resolution = costmap.getResolution();
  const std::size_t cells = static_cast<std::size_t>(layers->size_x) * layers->size_y;

  // Obstacles come from the costs as given: inflation below may overwrite unknown cells.
  const unsigned char* original = costmap_->getCharMap();
  layers->obstacle.resize(cells);
  for (std::size_t i = 0; i < cells; ++i) {
    const unsigned char c = original[i];
    layers->obstacle[i] = c == nav2_costmap_2d::LETHAL_OBSTACLE ||
                          (config.unknown_is_obstacle && c == nav2_costmap_2d::NO_INFORMATION);
  }
  // Without any obstacle every cell is farther than anything on the map; a finite value keeps
  // callers' differences and ratios finite.
  const float no_obstacle_m = static_cast<float>(
      std::hypot(static_cast<double>(layers->size_x), static_cast<double>(layers->size_y)) *
      layers->resolution);
  const auto& obstacle = layers->obstacle;
  layers->distance_m = distanceToSources(
      layers->size_x, layers->size_y, [&obstacle](std::size_t i) { return obstacle[i] != 0; },
      no_obstacle_m / static_cast<float>(layers->resolution));
  for (float& d : layers->distance_m) {
    d = static_cast<float>(d * layers->resolution);
  }

  layers->clearances_m = config_.danger_clearances;

  if (config.inflation.enabled) {
    InflationConfig inflation = config.inflation;
    if (inflation.inscribed_radius <= 0.0) {
      inflation.inscribed_radius = footprint_geometry::inscribedRadius(config);
    }
    inflate(*costmap_, inflation);
  }

  if (!passage_labels.empty()) {
    layers->passage_dist_m = passageBoundaryDistances(
        layers->size_x, layers->size_y, passage_labels, layers->resolution, layers->label_count);
    if (layers->label_count > 0) {
      layers->labels = std::move(passage_labels);
    } else {
      layers->passage_dist_m.clear();
    }
  }
  layers->extra_cost = std::move(extra_cost);
  layers_ = std::move(layers);
}

std::shared_ptr<nav2_costmap_2d::Costmap2D> MultiGridMap::getCostmap() const {
  return costmap_;
}

const GridMapConfig& MultiGridMap::getConfig() const {
  return config_;
}

uint32_t MultiGridMap::getCost(unsigned int x, unsigned int y, bool flag) const {
  if (!layers_->inside(x, y)) {
    return nav2_costmap_2d::NO_INFORMATION;
  }
  uint32_t cost = costmap_->getCost(x, y);
  if (flag && !layers_->extra_cost.empty()) {
    cost += layers_->extra_cost[layers_->index(x, y)];
  }
  return cost;
}

double MultiGridMap::getDistance(unsigned int x, unsigned int y) const {
  if (!layers_->inside(x, y)) {
    return 0.0;
  }
  return layers_->distance_m[layers_->index(x, y)];
}

bool MultiGridMap::inDanger(unsigned int x, unsigned int y, int level) const {
  if (!layers_->inside(x, y)) {
    return true;
  }
  const std::size_t i = layers_->index(x, y);
  if (layers_->obstacle[i]) {
    return true;
  }
  const auto& clearances = layers_->clearances_m;
  const std::size_t entry =
      level <= 0 ? 0 : std::min(static_cast<std::size_t>(level), clearances.size() - 1);
  return layers_->distance_m[i] < clearances[entry];
}

bool MultiGridMap::isObstacle(unsigned int x, unsigned int y) const {
  return !layers_->inside(x, y) || layers_->obstacle[layers_->index(x, y)] != 0;
}

bool MultiGridMap::hasPriorityPassage() const {
  return layers_->label_count > 0;
}

int MultiGridMap::getPriorityPassageLabelCount() const {
  return layers_->label_count;
}

int MultiGridMap::getPriorityPassageLabel(unsigned int x, unsigned int y) const {
  if (layers_->labels.empty() || !layers_->inside(x, y)) {
    return 0;
  }
  return std::max(0, layers_->labels[layers_->index(x, y)]);
}

bool MultiGridMap::inPriorityPassage(unsigned int x, unsigned int y, int level) const {
  return getPriorityPassageLabel(x, y) > 0 && !inDanger(x, y, level);
}

float MultiGridMap::getPriorityPassageBoundaryDist(unsigned int x, unsigned int y) const {
  if (layers_->passage_dist_m.empty() || !layers_->inside(x, y)) {
    return 0.0f;
  }
  return layers_->passage_dist_m[layers_->index(x, y)];
}

}  // namespace orvik_nav2_gridmap
