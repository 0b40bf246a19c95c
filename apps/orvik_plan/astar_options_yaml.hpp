// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "orvik_nav2_planner/astar_options.hpp"
#include "orvik_nav2_planner/reference_path.hpp"

namespace orvik_plan {

/// AstarOptions as read from YAML, with the reference path they may point to.
struct Astar2Options {
  orvik_nav2_planner::astar2::AstarOptions options;
  /// Owned here; options.reference_path points to it when one is given.
  std::shared_ptr<orvik_nav2_planner::astar2::ReferencePath> reference;
  std::string reference_file;
};

/// Reads the options YAML: keys are the AstarOptions field names; reference_path is a mapping
/// with file, cost, distance and half_width. `reference_file` (from the command line) replaces
/// the file named in the YAML. An empty yaml_path gives the defaults.
/// @throw ToolError for an unreadable file, an unknown key or a value of the wrong type.
Astar2Options loadAstar2Options(const std::string& yaml_path, const std::string& reference_file,
                                const std::string& frame);

/// Every field by name, as the planner receives it.
nlohmann::json astar2OptionsToJson(const Astar2Options& options);

}  // namespace orvik_plan
