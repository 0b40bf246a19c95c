// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_planner/astar_node.hpp"

namespace orvik_nav2_planner::astar2 {

/// Owns the nodes of one search. Nodes live in square tiles of cells that are allocated the
/// first time the search touches one of their cells, so node addresses never move while the
/// search grows, lookup is two array reads instead of a hash probe, and memory follows the
/// area a search touches (a tile is 32 x 32 nodes with their danger and cost answers, 45 KiB).
///
/// The map does not change while a table holds nodes, so the table asks MultiGridMap::inDanger
/// (and getCost, for the heuristics) once per cell and danger level (cost flag) between two
/// clears and keeps the answer in the cell's tile: a search asks about each cell once per
/// neighbour, up to eight times. A tile's cells are
/// asked all at once, row by row, the first time a search needs one of them: the map's layers
/// are then read in address order instead of one cache miss per cell.
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

  /// Calls visit(neighbor, diagonal) for each usable neighbour of `node`, in the fixed offset
  /// order, creating its node first when absent; cells in danger at `danger_level` are passed
  /// over and get no node. getNeighbors without a filter, for the search's inner loop: inline,
  /// the offsets unrolled, and whether a step is diagonal known without reading the node.
  template <typename Visit>
  void forEachNeighbor(const AstarNode* node, int danger_level, Visit&& visit);

  /// Appends `node` and its ancestors up to and including the one whose parent is null (goal
  /// first); nothing for null. The nodes need not come from this table. A chain that loops is
  /// cut before its first repeated node, with an error line.
  void backtracePath(AstarNode* node, std::vector<AstarNode*>& path) const;

  /// Discards every node; pointers handed out before become invalid.
  void clear();

  /// The node of cell (x, y), created fresh when absent; null for a cell off the map.
  AstarNode* findOrCreate(int32_t x, int32_t y) { return inMap(x, y) ? nodeAt(x, y) : nullptr; }
  /// The node of cell (x, y), or null when the cell has no node (or lies off the map).
  AstarNode* find(int32_t x, int32_t y) const;
  /// MultiGridMap::getCost of the node's cell, asked a tile at a time like the danger answers
  /// and kept until the flag changes or the table is cleared. The node must be on the map.
  uint32_t cellCost(const AstarNode* node, bool flag) {
    if (flag != cost_flag_) {
      forgetCosts(flag);
    }
    Tile* tile = tileAt(node->x, node->y);
    if (!tile->costs_known) {
      askTileCosts(tile, node->x, node->y);
    }
    return tile->cost[slotOf(node->x, node->y)];
  }

  /// Number of nodes created since the last clear.
  std::size_t size() const { return node_count_; }
  /// Bytes held by node tiles and the tile directory.
  std::size_t memoryBytes() const;

  /// Hints the caches to fetch what forEachNeighbor will read for `node`: the 3 x 3 block of
  /// nodes and of danger answers around it (when it lies inside one tile). Answers nothing.
  void prefetchNeighborhood(const AstarNode* node) const {
    const int32_t x = node->x;
    const int32_t y = node->y;
    if (!blockInOneTile(x, y)) {
      return;
    }
    const Tile* tile = tiles_[tileOf(x, y)].get();
    if (tile == nullptr) {
      return;
    }
    const int32_t slot = slotOf(x, y);
    prefetchNodeBlock(tile->nodes + slot);
    __builtin_prefetch(tile->danger + slot - kTileSide - 1);
    __builtin_prefetch(tile->danger + slot + kTileSide - 1);
  }

  /// Hints the caches to fetch the 3 x 3 block of node slots around `node`, from its address
  /// alone: no load, so it can run well ahead of the expansion. Useful only for a node that
  /// sits in its own slot with its block inside one tile; for any other the hints land on
  /// unrelated memory, which a prefetch never faults on.
  static void prefetchNodeBlock(const AstarNode* node) {
    // Integer arithmetic: the addresses may lie outside any object.
    const auto centre = reinterpret_cast<std::uintptr_t>(node);
    constexpr std::intptr_t kNodeBytes = sizeof(AstarNode);
    for (std::intptr_t dy = -1; dy <= 1; ++dy) {
      const std::uintptr_t first =
          centre + static_cast<std::uintptr_t>((dy * kTileSide - 1) * kNodeBytes);
      const std::uintptr_t last = first + 3 * kNodeBytes - 1;
      __builtin_prefetch(reinterpret_cast<const void*>(first));
      __builtin_prefetch(reinterpret_cast<const void*>(first + 64));
      __builtin_prefetch(reinterpret_cast<const void*>(last));
    }
  }

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

  struct Tile {
    // Slots start with index -1, which marks them as not created.
    AstarNode nodes[kTileCells];
    // inDanger of each cell at danger_level_ (cells off the map stay 0), once danger_known.
    uint8_t danger[kTileCells]{};
    // getCost of each cell with cost_flag_ (cells off the map stay 0), once costs_known.
    uint32_t cost[kTileCells]{};
    bool danger_known{false};
    bool costs_known{false};
  };

  bool inMap(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < size_x_ && y < size_y_; }
  // The 3 x 3 block around (x, y) lies inside the map and inside one tile (which need not
  // exist yet).
  bool blockInOneTile(int32_t x, int32_t y) const {
    const int32_t in_tile_x = x & kTileMask;
    const int32_t in_tile_y = y & kTileMask;
    return in_tile_x != 0 && in_tile_x != kTileMask && in_tile_y != 0 && in_tile_y != kTileMask &&
           x > 0 && y > 0 && x + 1 < size_x_ && y + 1 < size_y_ && !tiles_.empty();
  }
  static int32_t slotOf(int32_t x, int32_t y) {
    return ((y & kTileMask) << kTileShift) | (x & kTileMask);
  }
  // The tile of an in-map cell, allocated when absent.
  Tile* tileAt(int32_t x, int32_t y) {
    Tile* tile = tiles_.empty() ? nullptr : tiles_[tileOf(x, y)].get();
    return tile != nullptr ? tile : allocateTile(x, y);
  }
  // The node of an in-map cell, created when absent.
  AstarNode* nodeAt(int32_t x, int32_t y) {
    AstarNode* node = &tileAt(x, y)->nodes[slotOf(x, y)];
    if (node->index < 0) {
      initNode(node, x, y);
    }
    return node;
  }
  void initNode(AstarNode* node, int32_t x, int32_t y) {
    node->index = x + y * size_x_;
    node->x = x;
    node->y = y;
    node->g = 0.0;
    node->parent = nullptr;
    node->closed = false;
    node->opened = false;
    ++node_count_;
  }
  // forEachNeighbor for any node: bounds checked and looked up per neighbour.
  template <typename Visit>
  void forEachNeighborAnywhere(const AstarNode* node, Visit& visit);
  // One neighbour of forEachNeighbor's fast path; `centre` and `danger` point at the node's
  // slot and danger answer, and the whole 3 x 3 block lies in one tile and inside the map.
  template <int kOffset, typename Visit>
  void visitInTile(AstarNode* centre, uint8_t* danger, int32_t x, int32_t y, Visit& visit) {
    constexpr int32_t dx = kNeighborOffsets[kOffset].dx;
    constexpr int32_t dy = kNeighborOffsets[kOffset].dy;
    constexpr int32_t shift = dy * kTileSide + dx;
    if (danger[shift] != 0) {
      return;
    }
    AstarNode* const neighbor = centre + shift;
    if (neighbor->index < 0) {
      initNode(neighbor, x + dx, y + dy);
    }
    visit(neighbor, dx != 0 && dy != 0);
  }
  template <typename Visit, int... kOffsets>
  void visitAllInTile(AstarNode* centre, uint8_t* danger, int32_t x, int32_t y, Visit& visit,
                      std::integer_sequence<int, kOffsets...> /*order*/) {
    (visitInTile<kOffsets>(centre, danger, x, y, visit), ...);
  }
  std::size_t tileOf(int32_t x, int32_t y) const {
    return static_cast<std::size_t>(y >> kTileShift) * static_cast<std::size_t>(tiles_x_) +
           static_cast<std::size_t>(x >> kTileShift);
  }
  Tile* allocateTile(int32_t x, int32_t y);
  // Asks inDanger for every in-map cell of the tile that holds cell (x, y).
  // Writes ask(x, y) for every map cell of the tile holding (x, y) into that tile's array.
  template <typename Cell, typename Ask>
  void fillTile(Cell* cells, int32_t x, int32_t y, Ask ask) const;
  void askTileDanger(Tile* tile, int32_t x, int32_t y);
  // Asks getCost for every in-map cell of the tile that holds cell (x, y).
  void askTileCosts(Tile* tile, int32_t x, int32_t y);
  void forgetCosts(bool flag);
  // Makes the kept danger answers those of `danger_level`, forgetting them on a change.
  void useDangerLevel(int danger_level) {
    if (danger_level != danger_level_) {
      forgetDanger(danger_level);
    }
  }
  void forgetDanger(int danger_level);
  // The danger of an in-map cell at danger_level_, asked once.
  bool inDanger(int32_t x, int32_t y) {
    Tile* tile = tileAt(x, y);
    if (!tile->danger_known) {
      askTileDanger(tile, x, y);
    }
    return tile->danger[slotOf(x, y)] != 0;
  }

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  // The grid map never swaps its layers, so the table keeps their pointer for its lifetime
  // instead of copying the shared pointer (an atomic increment and decrement) per expansion.
  std::shared_ptr<orvik_nav2_gridmap::MultiGridMap> grid_;
  // The level and the flag whose answers the tiles keep.
  int danger_level_{0};
  bool cost_flag_{false};
  int32_t size_x_{0};
  int32_t size_y_{0};
  int32_t tiles_x_{0};
  int32_t tiles_y_{0};
  std::vector<std::unique_ptr<Tile>> tiles_;
  std::size_t tile_count_{0};
  std::size_t node_count_{0};
};

template <typename Visit>
inline void AstarTable::forEachNeighbor(const AstarNode* node, int danger_level, Visit&& visit) {
  // Most nodes (30 x 30 of every 32 x 32) have their whole 3 x 3 block inside one tile and
  // inside the map: no bounds checks, no tile lookups per neighbour, the danger ranks and nodes
  // at fixed offsets from the centre. Everything else goes the general way.
  useDangerLevel(danger_level);
  const int32_t x = node->x;
  const int32_t y = node->y;
  Tile* const tile = blockInOneTile(x, y) ? tiles_[tileOf(x, y)].get() : nullptr;
  if (tile == nullptr) {
    forEachNeighborAnywhere(node, visit);
    return;
  }
  if (!tile->danger_known) {
    askTileDanger(tile, x, y);
  }
  const int32_t slot = slotOf(x, y);
  visitAllInTile(tile->nodes + slot, tile->danger + slot, x, y, visit,
                 std::make_integer_sequence<int, 8>());
}

template <typename Visit>
void AstarTable::forEachNeighborAnywhere(const AstarNode* node, Visit& visit) {
  for (const Offset& offset : kNeighborOffsets) {
    const int32_t nx = node->x + offset.dx;
    const int32_t ny = node->y + offset.dy;
    if (!inMap(nx, ny) || inDanger(nx, ny)) {
      continue;
    }
    visit(nodeAt(nx, ny), offset.dx != 0 && offset.dy != 0);
  }
}

}  // namespace orvik_nav2_planner::astar2
