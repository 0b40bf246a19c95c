// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include "orvik_nav2_gridmap/multi_grid_map.hpp"
#include "orvik_nav2_planner/astar_node.hpp"
#include "orvik_nav2_planner/astar_options.hpp"

namespace orvik_nav2_planner::astar2 {

/// Label of the labelled cell nearest to (x, y) by Euclidean distance in cells, ties to the
/// smaller label, found ring by ring. @return 0 when no cell carries a label.
int findNearestPassageLabel(const orvik_nav2_gridmap::MultiGridMap& grid, int x, int y);

/// Step addition for entering `node` when passages are preferred: the outside penalty outside
/// the target passage (any passage when target_label is 0), boundary and centre terms inside.
/// @return 0 when the map has no passages.
double passageStepTerm(const orvik_nav2_gridmap::MultiGridMap& grid, const AstarNode* node,
                       const AstarOptions& options, int target_label);

/// Logs at the start of a search whether passages are loaded and preferred.
void reportPassageSearchStart(const std::string& planner_name, const AstarOptions& options,
                              bool has_passage);

/// Logs how many cells of a found path lie in a passage; nothing when the map has none.
void reportPassagePathUsage(const std::string& planner_name,
                            const orvik_nav2_gridmap::MultiGridMap& grid,
                            const std::vector<AstarNode*>& nodes, const AstarOptions& options,
                            bool has_passage);

}  // namespace orvik_nav2_planner::astar2
