// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace orvik_plan {

/// Everything the command line says, before any file is read.
struct PlanArguments {
  std::string map_yaml;
  std::string grid_config_yaml;
  std::string labels_image;
  std::string extra_cost_image;
  std::string start_text;
  std::string goal_text;
  std::string planner{"astar2"};
  std::string request{"path"};
  std::string options_yaml;
  std::string reference_path_file;
  /// Post-processing steps in the order given: "gradient", "sunny", "constrained".
  std::vector<std::string> post_steps;
  std::string post_config_yaml;

  std::string out_dir{"out"};
  std::string json_file;
  std::string csv_file;
  std::string png_file;
  bool no_png{false};
  /// Pixels per map cell; 0 picks one so that the picture is about 1000 pixels across.
  int png_scale{0};

  /// Moving AI .scen files or CSV query files; several give one table row each.
  std::vector<std::string> batch_files;
  /// Runs every n-th query only (1 = all).
  int batch_every{1};
  /// Stops after this many queries (0 = no limit).
  int batch_limit{0};
  double movingai_resolution{1.0};

  /// Started without arguments: the bundled demo.
  bool demo{false};
};

/// Result of reading the command line: either arguments to run, or an exit status (help shown,
/// or an error already printed as one line).
struct ParsedCommandLine {
  std::optional<PlanArguments> arguments;
  int exit_status{0};
};

/// Post-processing steps this build offers.
std::vector<std::string> availablePostSteps();
/// Planners this build offers.
std::vector<std::string> availablePlanners();

/// Parses the command line with CLI11. Help goes to `out`; errors as one line to `err`.
ParsedCommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out,
                                   std::ostream& err);

/// Folder of the bundled demo files: $ORVIK_PLAN_DATA_DIR, the source tree's data/, or the
/// installed share folder, whichever exists first. Empty when none does.
std::string findDataDir();

/// The arguments of the demo run on the bundled warehouse map.
/// @throw ToolError when the demo files cannot be found.
PlanArguments demoArguments();

/// The command line equivalent to the arguments, for the summary.
std::string commandLineFor(const PlanArguments& arguments);

}  // namespace orvik_plan
