// SPDX-License-Identifier: Apache-2.0
#include <cmath>
#include <filesystem>
#include <iostream>

#include "orvik_plan/commands.hpp"
#include "orvik_plan/map_input.hpp"
#include "orvik_plan/output_files.hpp"
#include "orvik_plan/path_quality_report.hpp"
#include "orvik_plan/picture_renderer.hpp"
#include "orvik_plan/planner_session.hpp"
#include "orvik_plan/pose_text.hpp"
#include "orvik_plan/post_config.hpp"
#include "orvik_plan/post_steps.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace {

namespace fs = std::filesystem;

/// Poses off the map are bad input: the planner would only refuse them with a log line.
void requireOnMap(const geometry_msgs::msg::PoseStamped& pose, const std::string& what,
                  const MapInfo& map) {
  const double x = pose.pose.position.x;
  const double y = pose.pose.position.y;
  const double max_x = map.origin_x + map.size_x * map.resolution;
  const double max_y = map.origin_y + map.size_y * map.resolution;
  if (!(x >= map.origin_x && x < max_x && y >= map.origin_y && y < max_y)) {
    char text[256];
    std::snprintf(text, sizeof(text),
                  "%s (%.3f, %.3f) is off the map, which covers x %.3f..%.3f and y %.3f..%.3f",
                  what.c_str(), x, y, map.origin_x, max_x, map.origin_y, max_y);
    throw ToolError(text);
  }
}

StepOutcome runStep(const std::string& step, const PostConfig& config, const PostContext& context,
                    const std::vector<PathRecord>& paths) {
  if (step == "gradient") {
    return runGradientStep(config, context, paths);
  }
  if (step == "sunny") {
    return runSunnyStep(config, context, paths);
  }
  if (step == "constrained") {
    return runConstrainedStep(config, context, paths);
  }
  (void)config;
  (void)context;
  (void)paths;
  throw ToolError("post-processing step '" + step + "' is not available in this build");
}

std::string jsonFileOf(const PlanArguments& a) {
  return a.json_file.empty() ? (fs::path(a.out_dir) / "plan.json").string() : a.json_file;
}

/// Draws the picture at the scale asked for, or smaller when that would be too large, or skips
/// it: the plan is done by now and must not fail for its picture.
void writePicture(const PlanArguments& a,
                  const std::shared_ptr<orvik_nav2_gridmap::GridMapROS>& map, PlanReport& report) {
  const std::string file =
      a.png_file.empty() ? (fs::path(a.out_dir) / "plan.png").string() : a.png_file;
  const int wanted = a.png_scale > 0
                         ? a.png_scale
                         : PictureRenderer::automaticScale(report.map.size_x, report.map.size_y);
  const int largest = PictureRenderer::largestScale(report.map.size_x, report.map.size_y);
  const std::string size =
      std::to_string(report.map.size_x) + " x " + std::to_string(report.map.size_y) + " cells";
  if (largest < 1) {
    report.png_note = "skipped: a map of " + size + " is too large to draw";
    std::cerr << "orvik_plan: warning: picture " << report.png_note << "\n";
    // A picture of an earlier run at that name would pass for this run's.
    removeStaleOutput(file);
    return;
  }
  report.png_file = file;
  report.png_scale = std::min(wanted, largest);
  if (report.png_scale < wanted) {
    report.png_note = "drawn at " + std::to_string(report.png_scale) + " pixels per cell, not " +
                      std::to_string(wanted) + ": a map of " + size + " is too large for more";
    std::cerr << "orvik_plan: warning: picture " << report.png_note << "\n";
  }
  const PictureRenderer renderer(map, report.png_scale);
  PictureRenderer::writePng(renderer.render(report), report.png_file);
}

int planAndWrite(const PlanArguments& a, std::ostream& out) {
  const auto config = loadGridConfig(a.grid_config_yaml);
  const auto map = loadRosGridMap(a.map_yaml, config, a.labels_image, a.extra_cost_image);

  PlanReport report;
  report.arguments = a;
  report.map = describeMap(*map, a.map_yaml);
  report.start = parsePoseText(a.start_text, "--start", report.map.frame);
  requireOnMap(report.start, "the start", report.map);
  if (a.request != "forward") {
    report.goal = parsePoseText(a.goal_text, "--goal", report.map.frame);
    requireOnMap(*report.goal, "the goal", report.map);
  }
  // Read every input before planning, so that a mistake in the last file costs no search.
  PlannerSession session(map, a.planner, a.options_yaml, a.reference_path_file);
  const PostConfig post_config = loadPostConfig(a.post_config_yaml);
  report.options = session.optionsJson();
  report.options["post_config"] = post_config.echo;

  if (a.demo) {
    out << "Running the demo on the bundled warehouse map; the same run as:\n  "
        << commandLineFor(a) << "\n\n";
  }
  report.outcome = session.run(a.request, report.start, report.goal, true);

  std::vector<PathRecord> route = report.outcome.paths;
  if (report.outcome.found) {
    PostContext context{map, report.start, session.velocity()};
    for (const auto& step : a.post_steps) {
      report.steps.push_back(runStep(step, post_config, context, route));
      route = report.steps.back().paths;
    }
  }
  report.final_paths = route;
  measureReport(*map, report);

  report.json_file = jsonFileOf(a);
  if (!a.no_png) {
    writePicture(a, map, report);
  }
  report.csv_file = a.csv_file;
  if (!report.csv_file.empty()) {
    writeTextFile(report.csv_file, pathsToCsv(report.final_paths));
  }
  // The JSON goes last: once it is there, every file it names is complete.
  writeTextFile(report.json_file, reportToJson(report).dump(2) + "\n");
  out << summaryText(report);
  out.flush();
  return report.outcome.found ? kExitOk : kExitNoPath;
}

}  // namespace

int runPlanCommand(const PlanArguments& a, std::ostream& out) {
  std::vector<std::string> files{jsonFileOf(a), a.csv_file};
  if (!a.no_png) {
    files.push_back(a.png_file.empty() ? (fs::path(a.out_dir) / "plan.png").string() : a.png_file);
  }
  const RunOutputs outputs(files);
  try {
    return planAndWrite(a, out);
  } catch (...) {
    outputs.discardStale();
    throw;
  }
}

}  // namespace orvik_plan
