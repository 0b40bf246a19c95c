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

  /// Appends `node` and its ancestors up to the start (goal first); nothing for null.
  void backtracePath(AstarNode* node, std::vector<AstarNode*>& path) const;

  /// Discards every node; pointers handed out before become invalid.
  void clear();

  /// The node of cell (x, y), created fresh when absent; null for a cell off the map.
  AstarNode* findOrCreate(int32_t x, int32_t y);
  /// The node of cell (x, y), or null when the cell has no node (or lies off the map).
  AstarNode* find(int32_t x, int32_t y) const;
  /// Number of nodes created since the last clear.
  std::size_t size() const { return node_count_; }
  /// Bytes held by node tiles and the tile directory.
  std::size_t memoryBytes() const;

  int32_t sizeX() const { return size_x_; }
  int32_t sizeY() const { return size_y_; }

 private:
  static constexpr int32_t kTileShift = 5;
  static constexpr int32_t kTileSide = 1 << kTileShift;
  static constexpr int32_t kTileMask = kTileSide - 1;
  static constexpr int32_t kTileCells = kTileSide * kTileSide;

  bool inMap(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < size_x_ && y < size_y_; }
  AstarNode* slot(int32_t x, int32_t y);
  bool cellInDanger(int32_t x, int32_t y, int danger_level);

  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map_;
  // The grid map never swaps its layers, so the table keeps their pointer for its lifetime
  // instead of copying the shared pointer (an atomic increment and decrement) per expansion.
  std::shared_ptr<orvik_nav2_gridmap::MultiGridMap> grid_;
  int32_t size_x_{0};
  int32_t size_y_{0};
  int32_t tiles_x_{0};
  int32_t tiles_y_{0};
  std::vector<std::unique_ptr<AstarNode[]>> tiles_;
  std::size_t tile_count_{0};
  // Answers of MultiGridMap::inDanger per cell for `danger_level_` (0 unknown, 1 usable,
  // 2 in danger), in 1 KiB tiles beside the node tiles. A flood asks about every cell once
  // per neighbour, eight times; the map is immutable, so the first answer stands.
  std::vector<std::unique_ptr<uint8_t[]>> danger_tiles_;
  int danger_level_{0};
  std::size_t node_count_{0};
};

}  // namespace orvik_nav2_planner::astar2
