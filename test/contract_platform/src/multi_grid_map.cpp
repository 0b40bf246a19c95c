// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/multi_grid_map.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <stdexcept>
#include <utility>

#include "contract_violation.hpp"

namespace orvik_nav2_gridmap {

namespace {

constexpr unsigned char kInscribed = 253;
constexpr unsigned char kLethal = 254;

}  // namespace

MultiGridMap::MultiGridMap(const nav2_costmap_2d::Costmap2D& costmap,
                           std::vector<int> passage_labels)
    : costmap_(std::make_shared<nav2_costmap_2d::Costmap2D>(costmap)),
      labels_(std::move(passage_labels)) {
  const std::size_t cells =
      static_cast<std::size_t>(costmap.getSizeInCellsX()) * costmap.getSizeInCellsY();
  if (!labels_.empty() && labels_.size() != cells) {
    throw std::invalid_argument("contract MultiGridMap: one passage label per cell");
  }
  std::set<int> distinct;
  for (const int label : labels_) {
    if (label > 0) {
      distinct.insert(label);
    }
  }
  label_count_ = static_cast<int>(distinct.size());
  for (unsigned int y = 0; y < costmap.getSizeInCellsY(); ++y) {
    for (unsigned int x = 0; x < costmap.getSizeInCellsX(); ++x) {
      if (costmap.getCost(x, y) >= kLethal) {
        obstacle_cells_.push_back(static_cast<std::size_t>(y) * costmap.getSizeInCellsX() + x);
      }
    }
  }
}

std::shared_ptr<nav2_costmap_2d::Costmap2D> MultiGridMap::getCostmap() const {
  return costmap_;
}

std::size_t MultiGridMap::indexOf(const char* query, unsigned int x, unsigned int y) const {
  if (x >= costmap_->getSizeInCellsX() || y >= costmap_->getSizeInCellsY()) {
    orvik_contract::offMap(query, x, y);
  }
  return static_cast<std::size_t>(y) * costmap_->getSizeInCellsX() + x;
}

uint32_t MultiGridMap::getCost(unsigned int x, unsigned int y, bool flag) const {
  indexOf("getCost", x, y);
  const uint32_t master = costmap_->getCost(x, y);
  return 2 * master + 1 + (flag ? (x * 31 + y * 17) % 7 : 0);
}

double MultiGridMap::getDistance(unsigned int x, unsigned int y) const {
  indexOf("getDistance", x, y);
  const double resolution = costmap_->getResolution();
  const unsigned int size_x = costmap_->getSizeInCellsX();
  double best = std::hypot(size_x, costmap_->getSizeInCellsY()) * resolution;
  for (const std::size_t cell : obstacle_cells_) {
    const double dx = static_cast<double>(cell % size_x) - x;
    const double dy = static_cast<double>(cell / size_x) - y;
    best = std::min(best, std::hypot(dx, dy) * resolution);
  }
  return best;
}

bool MultiGridMap::inDanger(unsigned int x, unsigned int y, int level) const {
  indexOf("inDanger", x, y);
  const unsigned char cost = costmap_->getCost(x, y);
  if (level <= 0) {
    return cost >= 200;
  }
  return cost >= (level == 1 ? kInscribed : kLethal);
}

bool MultiGridMap::hasPriorityPassage() const {
  return label_count_ > 0;
}

int MultiGridMap::getPriorityPassageLabelCount() const {
  return label_count_;
}

int MultiGridMap::getPriorityPassageLabel(unsigned int x, unsigned int y) const {
  const std::size_t i = indexOf("getPriorityPassageLabel", x, y);
  return labels_.empty() ? 0 : std::max(labels_[i], 0);
}

bool MultiGridMap::inPriorityPassage(unsigned int x, unsigned int y, int level) const {
  indexOf("inPriorityPassage", x, y);
  return getPriorityPassageLabel(x, y) > 0 && !inDanger(x, y, level);
}

float MultiGridMap::getPriorityPassageBoundaryDist(unsigned int x, unsigned int y) const {
  indexOf("getPriorityPassageBoundaryDist", x, y);
  const int label = getPriorityPassageLabel(x, y);
  if (label <= 0) {
    return 0.0F;
  }
  const long long size_x = costmap_->getSizeInCellsX();
  const long long size_y = costmap_->getSizeInCellsY();
  double best = std::numeric_limits<double>::infinity();
  // Brute force over a frame one cell wider than the map, whose ring counts as outside.
  for (long long cy = -1; cy <= size_y; ++cy) {
    for (long long cx = -1; cx <= size_x; ++cx) {
      const bool inside = cx >= 0 && cy >= 0 && cx < size_x && cy < size_y;
      if (inside && getPriorityPassageLabel(static_cast<unsigned int>(cx),
                                            static_cast<unsigned int>(cy)) == label) {
        continue;
      }
      best = std::min(best, std::hypot(static_cast<double>(cx - x), static_cast<double>(cy - y)));
    }
  }
  return static_cast<float>(best * costmap_->getResolution());
}

}  // namespace orvik_nav2_gridmap
