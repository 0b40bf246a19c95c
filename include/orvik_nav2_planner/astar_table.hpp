#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_planner/astar_node.hpp"

namespace orvik_nav2_planner::astar2 {

/// Owns the nodes of one search. Nodes live in square tiles of cells that are allocated the
/// first time the search touches one of their cells, so node addresses never move while the
/// search grows, lookup is two array reads instead of a hash probe, and memory follows the
/// area a search touches (a tile is 32 x 32 nodes, 40 KiB).
class AstarTable {
 public:
  /// Neighbour filter: true leaves the neighbour out of the result.
  using SkipFunction = std::function<bool(const AstarNode*)>;

  /// @throw std::invalid_argument when the map or its layers are null.
  explicit AstarTable(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map);
  ~AstarTable();

  AstarTable(const AstarTable&) = delete;
  AstarTable& operator=(const AstarTable&) = delete;

  /// Appends the usable neighbours of `node` in the fixed offset order; cells in danger at
  /// `danger_level` get no node, cells left out by `skip` get one but are not appended.
  void getNeighbors(AstarNode* node, std::vector<AstarNode*>& neighbors, SkipFunction skip,
                    int danger_level);

  /// getNeighbors into a fixed array, for the search's inner loop: inline, and the filter is
  /// taken by reference instead of copied per expansion. @return the number written (<= 8).
  std::size_t collectNeighbors(const AstarNode* node, AstarNode* (&out)[8],
                               const SkipFunction& skip, int danger_level);

  /// Appends `node` and its ancestors up to the start (goal first); nothing for null.
  void backtracePath(AstarNode* node, std::vector<AstarNode*>& path) const;

  /// Discards every node; pointers handed out before become invalid.
  void clear();

  /// The node of cell (x, y), created fresh when absent; null for a cell off the map.
  AstarNode* findOrCreate(int32_t x, int32_t y) { return inMap(x, y) ? nodeAt(x, y) : nullptr; }
  /// The node of cell (x, y), or null when the cell has no node (or lies off the map).
  AstarNode* find(int32_t x, int32_t y) const;
  /// Number of nodes created since the last clear.
  std::size_t size() const { return node_count_; }
  /// Bytes held by node tiles and the tile directory.
  std::size_t memoryBytes() const;

  int32_t sizeX() const { return size_x_; }
  int32_t sizeY() const { return size_y_; }

 private:
  struct Offset {
    int32_t dx;
    int32_t dy;
  };
  // This order decides which of several equal-cost paths a search returns; callers and tests
  // rely on it, so it must not be "tidied".
  static constexpr Offset kNeighborOffsets[8] = {{-1, 0}, {-1, 1}, {-1, -1}, {0, 1},
                                                 {0, -1}, {1, 0},  {1, 1},   {1, -1}};

  static constexpr int32_t kTileShift = 5;
  static constexpr int32_t kTileSide = 1 << kTileShift;
  static constexpr int32_t kTileMask = kTileSide - 1;
  static constexpr int32_t kTileCells = kTileSide * kTileSide;

  bool inMap(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < size_x_ && y < size_y_; }
  // The node of an in-map cell, created when absent.
  AstarNode* nodeAt(int32_t x, int32_t y) {
    AstarNode* tile = tiles_.empty() ? nullptr : tiles_[tileOf(x, y)].get();
    if (tile == nullptr) {
      tile = allocateTile(x, y);
    }
    AstarNode* node = &tile[((y & kTileMask) << kTileShift) | (x & kTileMask)];
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
  std::size_t tileOf(int32_t x, int32_t y) const {
    return static_cast<std::size_t>(y >> kTileShift) * static_cast<std::size_t>(tiles_x_) +
           static_cast<std::size_t>(x >> kTileShift);
  }
  AstarNode* allocateTile(int32_t x, int32_t y);
  bool inDanger(int32_t x, int32_t y, int danger_level) {
    if (danger_ranks_ == nullptr) {
      return grid_->inDanger(static_cast<unsigned int>(x), static_cast<unsigned int>(y),
                             danger_level);
    }
    if (danger_level != threshold_level_) {
      threshold_level_ = danger_level;
      danger_threshold_ = grid_->dangerRankThreshold(danger_level);
    }
    return danger_ranks_[static_cast<std::size_t>(y) * static_cast<std::size_t>(size_x_) +
                         static_cast<std::size_t>(x)] < danger_threshold_;
  }

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  // The grid map never swaps its layers, so the table keeps their pointer for its lifetime
  // instead of copying the shared pointer (an atomic increment and decrement) per expansion.
  std::shared_ptr<orvik_nav2_gridmap::MultiGridMap> grid_;
  // A flood asks about every cell once per neighbour, eight times: the map's danger ranks
  // answer with one byte read instead of a call into the map library. Null when the map has
  // none; inDanger answers then.
  const uint8_t* danger_ranks_{nullptr};
  int threshold_level_{0};
  uint8_t danger_threshold_{0};
  int32_t size_x_{0};
  int32_t size_y_{0};
  int32_t tiles_x_{0};
  int32_t tiles_y_{0};
  std::vector<std::unique_ptr<AstarNode[]>> tiles_;
  std::size_t tile_count_{0};
  std::size_t node_count_{0};
};

inline std::size_t AstarTable::collectNeighbors(const AstarNode* node, AstarNode* (&out)[8],
                                                const SkipFunction& skip, int danger_level) {
  std::size_t count = 0;
  for (const Offset& offset : kNeighborOffsets) {
    const int32_t nx = node->x + offset.dx;
    const int32_t ny = node->y + offset.dy;
    if (!inMap(nx, ny) || inDanger(nx, ny, danger_level)) {
      continue;
    }
    AstarNode* neighbor = nodeAt(nx, ny);
    if (skip && skip(neighbor)) {
      continue;
    }
    out[count++] = neighbor;
  }
  return count;
}

}  // namespace orvik_nav2_planner::astar2
