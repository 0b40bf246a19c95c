// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/plan_arguments.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <CLI/CLI.hpp>

#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace fs = std::filesystem;

std::vector<std::string> availablePostSteps() {
  std::vector<std::string> steps;
  steps.push_back("gradient");
  steps.push_back("sunny");
  steps.push_back("constrained");
  return steps;
}

std::vector<std::string> availablePlanners() {
  std::vector<std::string> planners;
  planners.push_back("astar2");
  planners.push_back("legacy");
  return planners;
}

namespace {

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const auto& item : items) {
    text += (text.empty() ? "" : ", ") + item;
  }
  return text.empty() ? "none in this build" : text;
}

/// Accepts the short and the long step names and normalises to the short one.
std::string normaliseStep(const std::string& step) {
  if (step == "gradient_smoother") {
    return "gradient";
  }
  if (step == "sunny_corner" || step == "sunny_corners") {
    return "sunny";
  }
  if (step == "constrained_smoother") {
    return "constrained";
  }
  return step;
}

void validate(PlanArguments& a) {
  const auto planners = availablePlanners();
  if (std::find(planners.begin(), planners.end(), a.planner) == planners.end()) {
    throw ToolError("planner '" + a.planner + "' is not available (available: " + joined(planners) +
                    ")");
  }
  if (a.request != "path" && a.request != "forward" && a.request != "paths") {
    throw ToolError("request '" + a.request + "' is not one of path, forward, paths");
  }
  if (a.planner == "legacy" && a.request != "path") {
    throw ToolError("the legacy planner only answers the request 'path'");
  }
  const auto steps = availablePostSteps();
  for (auto& step : a.post_steps) {
    step = normaliseStep(step);
    if (std::find(steps.begin(), steps.end(), step) == steps.end()) {
      throw ToolError("post-processing step '" + step +
                      "' is not available (available: " + joined(steps) + ")");
    }
  }
  if (a.batch_files.empty()) {
    if (a.map_yaml.empty()) {
      throw ToolError("--map is required (or run without arguments for the demo)");
    }
    if (a.start_text.empty()) {
      throw ToolError("--start x,y,yaw is required");
    }
    if (a.goal_text.empty() && a.request != "forward") {
      throw ToolError("--goal x,y,yaw is required for the request '" + a.request + "'");
    }
  } else if (!a.post_steps.empty()) {
    throw ToolError("batch mode plans only; --post is not used there");
  }
  if (a.png_scale < 0 || a.png_scale > 64) {
    throw ToolError("--png-scale must be between 1 and 64 (0 = automatic)");
  }
}

}  // namespace

ParsedCommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out,
                                   std::ostream& err) {
  ParsedCommandLine parsed;
  if (argc <= 1) {
    try {
      parsed.arguments = demoArguments();
    } catch (const ToolError& e) {
      err << "orvik_plan: error: " << e.what() << "\n";
      parsed.exit_status = e.exitStatus();
    }
    return parsed;
  }

  PlanArguments a;
  CLI::App app{
      "orvik_plan: plan a path on an occupancy grid map with the orvik planners, post-process "
      "it, and write a summary, JSON and a picture. Without arguments it runs the bundled demo."};
  app.name("orvik_plan");
  app.get_formatter()->column_width(34);

  app.add_option("--map", a.map_yaml, "ROS map_server map YAML (with its image)")->group("Map");
  app.add_option("--grid-config", a.grid_config_yaml,
                 "grid map configuration YAML: footprint, danger clearances, inflation")
      ->group("Map");
  app.add_option("--labels", a.labels_image, "priority passage label image (grey value = label)")
      ->group("Map");
  app.add_option("--extra-cost", a.extra_cost_image,
                 "extra cost image, added when cost_flag is set")
      ->group("Map");

  app.add_option("--start", a.start_text, "start pose x,y,yaw (metres, radians)")->group("Request");
  app.add_option("--goal", a.goal_text, "goal pose x,y,yaw (metres, radians)")->group("Request");
  app.add_option("--planner", a.planner, "astar2 or legacy")
      ->capture_default_str()
      ->group("Request");
  app.add_option("--request", a.request,
                 "astar2 request: path (start to goal), forward (to the nearest turn-around "
                 "cell), paths (direct, or forward then back when a rotation is blocked)")
      ->capture_default_str()
      ->group("Request");
  app.add_option("--options", a.options_yaml,
                 "options YAML: AstarOptions field names (legacy: cost_flag, start_radius, "
                 "goal_radius, danger_level)")
      ->group("Request");
  app.add_option("--reference-path", a.reference_path_file,
                 "reference path for path consistency: lines 'x y [yaw]' or an orvik_plan JSON")
      ->group("Request");

  app.add_option("--post", a.post_steps,
                 "post-processing steps in order: gradient, sunny, constrained (comma-separated "
                 "or repeated)")
      ->delimiter(',')
      ->group("Post-processing");
  app.add_option("--post-config", a.post_config_yaml,
                 "YAML with sections gradient_smoother, sunny_corner, constrained_smoother")
      ->group("Post-processing");

  app.add_option("--out-dir", a.out_dir, "folder for plan.json and plan.png")
      ->capture_default_str()
      ->group("Output");
  app.add_option("--json", a.json_file,
                 "JSON file (default <out-dir>/plan.json; in batch mode: per-query results)")
      ->group("Output");
  app.add_option("--csv", a.csv_file, "also write the final path(s) as CSV to this file")
      ->group("Output");
  app.add_option("--png", a.png_file, "picture file (default <out-dir>/plan.png)")->group("Output");
  app.add_flag("--no-png", a.no_png, "do not draw the picture")->group("Output");
  app.add_option("--png-scale", a.png_scale, "pixels per map cell (0 = automatic)")
      ->capture_default_str()
      ->group("Output");

  app.add_option("--batch", a.batch_files,
                 "batch mode: Moving AI .scen files (each with its .map beside it), or CSV files "
                 "of sx,sy,syaw,gx,gy,gyaw lines on the --map")
      ->group("Batch");
  app.add_option("--every", a.batch_every, "run every n-th query only")
      ->capture_default_str()
      ->check(CLI::PositiveNumber)
      ->group("Batch");
  app.add_option("--limit", a.batch_limit, "stop after this many queries (0 = all)")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber)
      ->group("Batch");
  app.add_option("--movingai-resolution", a.movingai_resolution, "metres per Moving AI cell")
      ->capture_default_str()
      ->check(CLI::PositiveNumber)
      ->group("Batch");

  bool demo = false;
  app.add_flag("--demo", demo,
               "run the bundled demo (what no arguments do); output options still apply")
      ->group("Request");

  try {
    app.parse(argc, argv);
    if (demo) {
      // Keep only the output choices; the request is the demo's.
      PlanArguments d = demoArguments();
      d.out_dir = a.out_dir;
      d.json_file = a.json_file;
      d.csv_file = a.csv_file;
      d.png_file = a.png_file;
      d.no_png = a.no_png;
      d.png_scale = a.png_scale;
      a = d;
    }
    validate(a);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    parsed.exit_status = kExitOk;
    return parsed;
  } catch (const CLI::ParseError& e) {
    err << "orvik_plan: error: " << e.what() << " (see --help)\n";
    parsed.exit_status = kExitBadInput;
    return parsed;
  } catch (const ToolError& e) {
    err << "orvik_plan: error: " << e.what() << "\n";
    parsed.exit_status = e.exitStatus();
    return parsed;
  }
  parsed.arguments = a;
  return parsed;
}

std::string findDataDir() {
  std::vector<std::string> candidates;
  if (const char* env = std::getenv("ORVIK_PLAN_DATA_DIR")) {
    candidates.emplace_back(env);
  }
  candidates.emplace_back(ORVIK_PLAN_DATA_DIR);
  candidates.emplace_back(ORVIK_PLAN_INSTALLED_DATA_DIR);
  for (const auto& dir : candidates) {
    std::error_code ec;
    if (!dir.empty() && fs::is_regular_file(fs::path(dir) / "demo_warehouse.yaml", ec)) {
      return dir;
    }
  }
  return "";
}

PlanArguments demoArguments() {
  const std::string dir = findDataDir();
  if (dir.empty()) {
    throw ToolError(
        "the demo map data/demo_warehouse.yaml was not found; set ORVIK_PLAN_DATA_DIR or give "
        "--map (see --help)");
  }
  const fs::path data(dir);
  PlanArguments a;
  a.demo = true;
  a.map_yaml = (data / "demo_warehouse.yaml").string();
  a.grid_config_yaml = (data / "demo_warehouse_gridmap.yaml").string();
  a.labels_image = (data / "demo_warehouse_labels.pgm").string();
  // Parked in the narrow corridor facing the turning bay, with the goal back in the racks: the
  // direct path needs a rotation the corridor does not allow.
  a.start_text = "9.0,4.0,0.0";
  a.goal_text = "1.0,2.35,3.14159";
  a.planner = availablePlanners().empty() ? "astar2" : availablePlanners().front();
  a.request = a.planner == "astar2" ? "paths" : "path";
  a.options_yaml =
      (data / (a.planner == "astar2" ? "demo_options.yaml" : "demo_legacy_options.yaml")).string();
  a.post_steps = availablePostSteps();
  a.post_config_yaml = (data / "demo_postprocess.yaml").string();
  return a;
}

std::string commandLineFor(const PlanArguments& a) {
  std::ostringstream cmd;
  cmd << "orvik_plan --map " << a.map_yaml;
  if (!a.grid_config_yaml.empty()) {
    cmd << " --grid-config " << a.grid_config_yaml;
  }
  if (!a.labels_image.empty()) {
    cmd << " --labels " << a.labels_image;
  }
  if (!a.extra_cost_image.empty()) {
    cmd << " --extra-cost " << a.extra_cost_image;
  }
  cmd << " --start " << a.start_text;
  if (!a.goal_text.empty()) {
    cmd << " --goal " << a.goal_text;
  }
  cmd << " --planner " << a.planner << " --request " << a.request;
  if (!a.options_yaml.empty()) {
    cmd << " --options " << a.options_yaml;
  }
  if (!a.reference_path_file.empty()) {
    cmd << " --reference-path " << a.reference_path_file;
  }
  if (!a.post_steps.empty()) {
    cmd << " --post ";
    for (std::size_t i = 0; i < a.post_steps.size(); ++i) {
      cmd << (i ? "," : "") << a.post_steps[i];
    }
  }
  if (!a.post_config_yaml.empty()) {
    cmd << " --post-config " << a.post_config_yaml;
  }
  return cmd.str();
}

}  // namespace orvik_plan
