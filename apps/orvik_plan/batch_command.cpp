#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iomanip>

#include "orvik/logger.hpp"
#include "orvik_plan/batch_quality.hpp"
#include "orvik_plan/batch_queries.hpp"
#include "orvik_plan/batch_statistics.hpp"
#include "orvik_plan/commands.hpp"
#include "orvik_plan/map_input.hpp"
#include "orvik_plan/path_geometry.hpp"
#include "orvik_plan/path_quality_report.hpp"
#include "orvik_plan/plan_report.hpp"
#include "orvik_plan/planner_session.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace {

namespace fs = std::filesystem;

/// A progress bar redrawn in place; silent unless standard output is a terminal.
class ProgressBar {
 public:
  ProgressBar(std::ostream& out, std::string label, std::size_t total)
      : out_(out), label_(std::move(label)), total_(total), enabled_(isatty(STDOUT_FILENO) == 1) {}
  void update(std::size_t done, std::size_t failed) {
    if (!enabled_ || total_ == 0) {
      return;
    }
    const int width = 30;
    const int filled = static_cast<int>(width * done / total_);
    out_ << "\r" << label_ << " [" << std::string(filled, '#') << std::string(width - filled, ' ')
         << "] " << done << "/" << total_;
    if (failed > 0) {
      out_ << " (" << failed << " failed)";
    }
    out_ << std::flush;
  }
  void finish() {
    if (enabled_) {
      out_ << "\n";
    }
  }

 private:
  std::ostream& out_;
  std::string label_;
  std::size_t total_;
  bool enabled_;
};

struct BatchFile {
  std::string name;
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map;
  std::string map_path;
  std::vector<BatchQuery> queries;
  bool movingai{false};
};

BatchFile loadBatchFile(const std::string& path, const PlanArguments& a,
                        const orvik_nav2_gridmap::GridMapConfig& config) {
  BatchFile file;
  file.name = fs::path(path).filename().string();
  if (fs::path(path).extension() == ".scen") {
    MovingAiScenario scenario = readMovingAiScenario(path);
    file.movingai = true;
    file.map_path = a.map_yaml.empty() ? findScenarioMap(path, scenario.map_name) : a.map_yaml;
    file.map = loadMovingAiGridMap(file.map_path, config, a.movingai_resolution);
    const auto costmap = file.map->getMultiGridMap()->getCostmap();
    if (costmap->getSizeInCellsX() != scenario.width ||
        costmap->getSizeInCellsY() != scenario.height) {
      throw ToolError(path + ": its queries are for a " + std::to_string(scenario.width) + " x " +
                      std::to_string(scenario.height) + " map, but " + file.map_path + " is " +
                      std::to_string(costmap->getSizeInCellsX()) + " x " +
                      std::to_string(costmap->getSizeInCellsY()));
    }
    file.queries = std::move(scenario.queries);
  } else {
    if (a.map_yaml.empty()) {
      throw ToolError("a CSV batch needs --map (the ROS map its poses are on)");
    }
    file.queries = readQueryCsv(path);
    file.map_path = a.map_yaml;
    file.map = loadRosGridMap(a.map_yaml, config, a.labels_image, a.extra_cost_image);
  }
  return file;
}

/// World pose of a query end: Moving AI cells count rows from the top of the map.
geometry_msgs::msg::PoseStamped queryPose(const BatchFile& file, double x, double y, double yaw) {
  const auto costmap = file.map->getMultiGridMap()->getCostmap();
  const std::string& frame = file.map->getGlobalFrame();
  if (!file.movingai) {
    return makePose(x, y, yaw, frame);
  }
  const double resolution = costmap->getResolution();
  const double row_from_bottom = costmap->getSizeInCellsY() - 1 - y;
  return makePose(costmap->getOriginX() + (x + 0.5) * resolution,
                  costmap->getOriginY() + (row_from_bottom + 0.5) * resolution, yaw, frame);
}

/// Per-query log lines would bury the progress bar and the table; unless the user chose a
/// level, only warnings and errors are shown during a batch.
void quietLibraryLogs() {
  if (std::getenv("SPDLOG_LEVEL") != nullptr) {
    return;
  }
  auto& logger = orvik::Logger::Instance("spdlog");
  logger.level = static_cast<int32_t>(spdlog::level::warn);
  if (logger.logger) {
    logger.logger->set_level(spdlog::level::warn);
  }
}

}  // namespace

int runBatchCommand(const PlanArguments& a, std::ostream& out) {
  const auto config = loadGridConfig(a.grid_config_yaml);
  // Every file is read before the first query runs, so a typo in the last one fails at once.
  std::vector<BatchFile> files;
  for (const auto& path : a.batch_files) {
    files.push_back(loadBatchFile(path, a, config));
  }
  quietLibraryLogs();

  std::vector<BatchSummary> rows;
  std::vector<BatchQualitySummary> quality_rows;
  nlohmann::json json = {{"tool", "orvik_plan"},
                         {"planner", a.planner},
                         {"request", a.request},
                         {"scenarios", nlohmann::json::array()}};
  bool all_solved = true;
  for (const auto& file : files) {
    PlannerSession session(file.map, a.planner, a.options_yaml, a.reference_path_file);
    const double resolution = file.map->getMultiGridMap()->getCostmap()->getResolution();
    std::vector<std::size_t> selected;
    for (std::size_t i = 0; i < file.queries.size(); i += static_cast<std::size_t>(a.batch_every)) {
      if (a.batch_limit > 0 && selected.size() >= static_cast<std::size_t>(a.batch_limit)) {
        break;
      }
      selected.push_back(i);
    }
    ProgressBar progress(out, file.name, selected.size());
    std::vector<QueryResult> results;
    std::size_t failed = 0;
    for (const std::size_t i : selected) {
      const BatchQuery& q = file.queries[i];
      const auto start = queryPose(file, q.start_x, q.start_y, q.start_yaw);
      const auto goal = queryPose(file, q.goal_x, q.goal_y, q.goal_yaw);
      const PlanOutcome outcome = session.run(a.request, start, goal, false);
      QueryResult r;
      r.index = i;
      r.line = q.line;
      r.bucket = q.bucket;
      r.solved = outcome.found;
      r.time_ms = outcome.search_time_ms;
      r.nodes_expanded = outcome.nodes_expanded.value_or(0);
      for (const auto& path : outcome.paths) {
        r.length_cells += pathLength(path.poses) / resolution;
      }
      r.optimal_length = q.optimal_length;
      if (outcome.found) {
        r.quality = measuredRoute(*file.map, outcome.paths, session.optionsJson());
      }
      r.reason = outcome.reason;
      failed += r.solved ? 0 : 1;
      results.push_back(std::move(r));
      progress.update(results.size(), failed);
    }
    progress.finish();
    all_solved = all_solved && failed == 0;
    rows.push_back(summarise(file.name, results));
    quality_rows.push_back(summariseQuality(file.name, results));
    nlohmann::json entry = {{"name", file.name},
                            {"map", file.map_path},
                            {"summary", summaryToJson(rows.back())},
                            {"quality", qualitySummaryToJson(quality_rows.back())},
                            {"queries", nlohmann::json::array()}};
    for (const auto& r : results) {
      entry["queries"].push_back(queryResultToJson(r));
    }
    json["scenarios"].push_back(std::move(entry));
    for (const auto& r : results) {
      if (!r.solved) {
        out << file.name << " line " << r.line << ": not solved: " << r.reason << "\n";
      }
    }
  }
  out << "\n" << formatBatchTable(rows);
  out << formatQualityTable(quality_rows);
  if (!a.json_file.empty()) {
    writeTextFile(a.json_file, json.dump(1) + "\n");
    out << "per-query results: " << a.json_file << "\n";
  }
  out.flush();
  return all_solved ? kExitOk : kExitNoPath;
}

}  // namespace orvik_plan
