#include "orvik_nav2_planner/astar_table.hpp"

#include <stdexcept>
#include <utility>

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
  danger_ranks_ = grid_->dangerRanks();
  danger_threshold_ = grid_->dangerRankThreshold(threshold_level_);
}

AstarTable::~AstarTable() = default;

AstarNode* AstarTable::allocateTile(int32_t x, int32_t y) {
  if (tiles_.empty()) {
    tiles_.resize(static_cast<std::size_t>(tiles_x_) * static_cast<std::size_t>(tiles_y_));
  }
  std::unique_ptr<AstarNode[]>& tile = tiles_[tileOf(x, y)];
  if (!tile) {
    // Slots start with index -1, which marks them as not created.
    tile.reset(new AstarNode[kTileCells]);
    ++tile_count_;
  }
  return tile.get();
}

AstarNode* AstarTable::find(int32_t x, int32_t y) const {
  if (!inMap(x, y) || tiles_.empty()) {
    return nullptr;
  }
  const std::unique_ptr<AstarNode[]>& tile = tiles_[tileOf(x, y)];
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
  // The filter runs on each neighbour as soon as its node exists, before the next is looked at.
  forEachNeighbor(node, danger_level, [&](AstarNode* neighbor, bool /*diagonal*/) {
    if (!skip || !skip(neighbor)) {
      neighbors.push_back(neighbor);
    }
  });
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
  tile_count_ = 0;
  node_count_ = 0;
}

std::size_t AstarTable::memoryBytes() const {
  return tile_count_ * sizeof(AstarNode) * kTileCells +
         tiles_.capacity() * sizeof(std::unique_ptr<AstarNode[]>);
}

}  // namespace orvik_nav2_planner::astar2
