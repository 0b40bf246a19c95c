#include "orvik_nav2_planner/astar_table.hpp"

#include <stdexcept>
#include <utility>

namespace orvik_nav2_planner::astar2 {

namespace {

struct Offset {
  int32_t dx;
  int32_t dy;
};

// This order decides which of several equal-cost paths a search returns; callers and tests
// rely on it, so it must not be "tidied".
constexpr Offset kNeighborOffsets[8] = {{-1, 0}, {-1, 1}, {-1, -1}, {0, 1},
                                        {0, -1}, {1, 0},  {1, 1},   {1, -1}};

}  // namespace

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

AstarNode* AstarTable::slot(int32_t x, int32_t y) {
  if (tiles_.empty()) {
    tiles_.resize(static_cast<std::size_t>(tiles_x_) * static_cast<std::size_t>(tiles_y_));
  }
  std::unique_ptr<AstarNode[]>& tile =
      tiles_[static_cast<std::size_t>(y >> kTileShift) * static_cast<std::size_t>(tiles_x_) +
             static_cast<std::size_t>(x >> kTileShift)];
  if (!tile) {
    // Slots start with index -1, which marks them as not created.
    tile.reset(new AstarNode[kTileCells]);
    ++tile_count_;
  }
  return &tile[((y & kTileMask) << kTileShift) | (x & kTileMask)];
}

AstarNode* AstarTable::findOrCreate(int32_t x, int32_t y) {
  if (!inMap(x, y)) {
    return nullptr;
  }
  AstarNode* node = slot(x, y);
  if (node->index < 0) {
    node->index = x + y * size_x_;
    node->x = x;
    node->y = y;
    node->g = 0.0;
    node->parent = nullptr;
    node->closed = false;
    node->opened = false;
    ++node_count_;
  }
  return node;
}

AstarNode* AstarTable::find(int32_t x, int32_t y) const {
  if (!inMap(x, y) || tiles_.empty()) {
    return nullptr;
  }
  const std::unique_ptr<AstarNode[]>& tile =
      tiles_[static_cast<std::size_t>(y >> kTileShift) * static_cast<std::size_t>(tiles_x_) +
             static_cast<std::size_t>(x >> kTileShift)];
  if (!tile) {
    return nullptr;
  }
  AstarNode* node = &tile[((y & kTileMask) << kTileShift) | (x & kTileMask)];
  return node->index < 0 ? nullptr : node;
}

void AstarTable::getNeighbors(AstarNode* node, std::vector<AstarNode*>& neighbors,
                              SkipFunction skip, int danger_level) {
  if (node == nullptr) {
    return;
  }
  if (danger_level != danger_level_) {
    std::vector<std::unique_ptr<uint8_t[]>>().swap(danger_tiles_);
    danger_level_ = danger_level;
  }
  for (const Offset& offset : kNeighborOffsets) {
    const int32_t nx = node->x + offset.dx;
    const int32_t ny = node->y + offset.dy;
    if (!inMap(nx, ny)) {
      continue;
    }
    if (cellInDanger(nx, ny, danger_level)) {
      continue;
    }
    AstarNode* neighbor = findOrCreate(nx, ny);
    if (skip && skip(neighbor)) {
      continue;
    }
    neighbors.push_back(neighbor);
  }
}

bool AstarTable::cellInDanger(int32_t x, int32_t y, int danger_level) {
  if (danger_tiles_.empty()) {
    danger_tiles_.resize(static_cast<std::size_t>(tiles_x_) * static_cast<std::size_t>(tiles_y_));
  }
  std::unique_ptr<uint8_t[]>& tile =
      danger_tiles_[static_cast<std::size_t>(y >> kTileShift) * static_cast<std::size_t>(tiles_x_) +
                    static_cast<std::size_t>(x >> kTileShift)];
  if (!tile) {
    tile.reset(new uint8_t[kTileCells]());
  }
  uint8_t& known = tile[((y & kTileMask) << kTileShift) | (x & kTileMask)];
  if (known == 0) {
    known =
        grid_->inDanger(static_cast<unsigned int>(x), static_cast<unsigned int>(y), danger_level)
            ? 2
            : 1;
  }
  return known == 2;
}

void AstarTable::backtracePath(AstarNode* node, std::vector<AstarNode*>& path) const {
  // Parent links form a tree rooted at the start, so the walk ends; the bound only guards
  // against a caller that wired a cycle by hand.
  std::size_t remaining = node_count_ + 1;
  while (node != nullptr && remaining-- > 0) {
    path.push_back(node);
    node = node->parent;
  }
}

void AstarTable::clear() {
  // Releasing the tiles (not just marking them free) keeps a huge search from pinning its
  // memory for the planner's lifetime.
  std::vector<std::unique_ptr<AstarNode[]>>().swap(tiles_);
  std::vector<std::unique_ptr<uint8_t[]>>().swap(danger_tiles_);
  tile_count_ = 0;
  node_count_ = 0;
}

std::size_t AstarTable::memoryBytes() const {
  std::size_t danger_tiles = 0;
  for (const auto& tile : danger_tiles_) {
    danger_tiles += tile ? 1 : 0;
  }
  return tile_count_ * sizeof(AstarNode) * kTileCells + danger_tiles * kTileCells +
         tiles_.capacity() * sizeof(std::unique_ptr<AstarNode[]>) +
         danger_tiles_.capacity() * sizeof(std::unique_ptr<uint8_t[]>);
}

}  // namespace orvik_nav2_planner::astar2
