// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/astar_table.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "orvik/logger.hpp"

namespace orvik_nav2_planner::astar2 {

AstarTable::AstarTable(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map) : map_(std::move(map)) {
  if (!map_) {
    throw std::invalid_argument("AstarTable: null grid map");
  }
  grid_ = map_->getMultiGridMap();
  if (!grid_ || !grid_->getCostmap()) {
    throw std::invalid_argument("AstarTable: grid map without layers");
  }
  const auto costmap = grid_->getCostmap();
  size_x_ = static_cast<int32_t>(costmap->getSizeInCellsX());
  size_y_ = static_cast<int32_t>(costmap->getSizeInCellsY());
  tiles_x_ = (size_x_ + kTileMask) >> kTileShift;
  tiles_y_ = (size_y_ + kTileMask) >> kTileShift;
}

AstarTable::~AstarTable() = default;

AstarTable::Tile* AstarTable::allocateTile(int32_t x, int32_t y) {
  if (tiles_.empty()) {
    tiles_.resize(static_cast<std::size_t>(tiles_x_) * static_cast<std::size_t>(tiles_y_));
  }
  std::unique_ptr<Tile>& tile = tiles_[tileOf(x, y)];
  if (!tile) {
    tile = std::make_unique<Tile>();
    ++tile_count_;
  }
  return tile.get();
}

void AstarTable::forgetDanger(int danger_level) {
  danger_level_ = danger_level;
  for (const std::unique_ptr<Tile>& tile : tiles_) {
    if (tile) {
      tile->danger_known = false;
    }
  }
}

template <typename Cell, typename Ask>
void AstarTable::fillTile(Cell* cells, int32_t x, int32_t y, Ask ask) const {
  const int32_t x0 = x & ~kTileMask;
  const int32_t y0 = y & ~kTileMask;
  const int32_t x_end = std::min(x0 + kTileSide, size_x_);
  const int32_t y_end = std::min(y0 + kTileSide, size_y_);
  for (int32_t cy = y0; cy < y_end; ++cy) {
    Cell* row = cells + ((cy & kTileMask) << kTileShift);
    for (int32_t cx = x0; cx < x_end; ++cx) {
      row[cx & kTileMask] = ask(static_cast<unsigned int>(cx), static_cast<unsigned int>(cy));
    }
  }
}

void AstarTable::askTileDanger(Tile* tile, int32_t x, int32_t y) {
  const orvik_nav2_gridmap::MultiGridMap& grid = *grid_;
  fillTile(tile->danger, x, y, [&grid, this](unsigned int cx, unsigned int cy) -> uint8_t {
    return grid.inDanger(cx, cy, danger_level_) ? 1 : 0;
  });
  tile->danger_known = true;
}

void AstarTable::forgetCosts(bool flag) {
  cost_flag_ = flag;
  for (const std::unique_ptr<Tile>& tile : tiles_) {
    if (tile) {
      tile->costs_known = false;
    }
  }
}

void AstarTable::askTileCosts(Tile* tile, int32_t x, int32_t y) {
  const orvik_nav2_gridmap::MultiGridMap& grid = *grid_;
  fillTile(tile->cost, x, y, [&grid, this](unsigned int cx, unsigned int cy) -> uint32_t {
    return grid.getCost(cx, cy, cost_flag_);
  });
  tile->costs_known = true;
}

AstarNode* AstarTable::find(int32_t x, int32_t y) const {
  if (!inMap(x, y) || tiles_.empty()) {
    return nullptr;
  }
  const std::unique_ptr<Tile>& tile = tiles_[tileOf(x, y)];
  if (!tile) {
    return nullptr;
  }
  AstarNode* node = &tile->nodes[slotOf(x, y)];
  return node->index < 0 ? nullptr : node;
}

void AstarTable::getNeighbors(AstarNode* node, std::vector<AstarNode*>& neighbors,
                              SkipFunction skip, int danger_level) {
  if (node == nullptr) {
    return;
  }
  // The filter runs on each neighbour as soon as its node exists, before the next is looked at.
  forEachNeighbor(node, danger_level, [&](AstarNode* neighbor, bool /*diagonal*/) {
    if (!skip || !skip(neighbor)) {
      neighbors.push_back(neighbor);
    }
  });
}

namespace {

// Number of distinct nodes on the parent chain from `node`: up to and including the one whose
// parent is null or, when the chain runs into a loop, every node before the first repeat.
// Brent's cycle detection: two walks along the chain, no memory, no bound taken from the
// table (the chain may hold nodes the table never made).
std::size_t chainLength(const AstarNode* node, bool& cyclic) {
  cyclic = false;
  if (node == nullptr) {
    return 0;
  }
  std::size_t power = 1;
  std::size_t cycle = 1;
  const AstarNode* tortoise = node;
  const AstarNode* hare = node->parent;
  std::size_t walked = 1;
  while (hare != nullptr && hare != tortoise) {
    if (power == cycle) {
      tortoise = hare;
      power *= 2;
      cycle = 0;
    }
    hare = hare->parent;
    ++cycle;
    ++walked;
  }
  if (hare == nullptr) {
    return walked;
  }
  cyclic = true;
  // The loop is `cycle` nodes long; a walker that far ahead meets one from the start where the
  // loop begins, after as many steps as lie before it.
  const AstarNode* lead = node;
  for (std::size_t i = 0; i < cycle; ++i) {
    lead = lead->parent;
  }
  const AstarNode* trail = node;
  std::size_t before_loop = 0;
  while (lead != trail) {
    lead = lead->parent;
    trail = trail->parent;
    ++before_loop;
  }
  return before_loop + cycle;
}

}  // namespace

void AstarTable::backtracePath(AstarNode* node, std::vector<AstarNode*>& path) const {
  bool cyclic = false;
  const std::size_t length = chainLength(node, cyclic);
  if (cyclic) {
    ORVIK_ERROR("AstarTable: backtracePath found a loop in the parent links after {} nodes",
                length);
  }
  path.reserve(path.size() + length);
  for (std::size_t i = 0; i < length; ++i) {
    path.push_back(node);
    node = node->parent;
  }
}

void AstarTable::clear() {
  // Releasing the tiles (not just marking them free) keeps a huge search from pinning its
  // memory for the planner's lifetime. The kept danger answers go with them: the next search
  // may run on a map that has changed in between.
  std::vector<std::unique_ptr<Tile>>().swap(tiles_);
  tile_count_ = 0;
  node_count_ = 0;
}

std::size_t AstarTable::memoryBytes() const {
  return tile_count_ * sizeof(Tile) + tiles_.capacity() * sizeof(std::unique_ptr<Tile>);
}

}  // namespace orvik_nav2_planner::astar2
