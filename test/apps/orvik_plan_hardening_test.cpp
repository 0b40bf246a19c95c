// SPDX-License-Identifier: Apache-2.0
// What the tool does with hostile or unlucky circumstances: inputs that are not files, a run
// that fails after an earlier one succeeded, maps too large to draw, Ctrl-C in a long batch,
// a reference path shared by a batch's queries and a smoother cut short by its time limit.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "apps/tool_runner.hpp"

namespace {

using namespace orvik_plan_test;

std::vector<std::string> demoArgs(std::vector<std::string> extra) {
  std::vector<std::string> args = {"--map",         dataDir() + "/demo_warehouse.yaml",
                                   "--grid-config", dataDir() + "/demo_warehouse_gridmap.yaml",
                                   "--start",       "9.0,4.0,0",
                                   "--goal",        "1.0,2.35,3.14"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

void expectOneErrorLine(const ToolRun& run, int status, const std::string& text) {
  EXPECT_EQ(run.status, status) << run.out << run.err;
  const auto err = lines(run.err);
  ASSERT_EQ(err.size(), 1u) << run.err;
  EXPECT_EQ(err[0].rfind("orvik_plan: error: ", 0), 0u) << err[0];
  EXPECT_NE(err[0].find(text), std::string::npos) << err[0];
}

// A directory used to read as an empty file (defaults, exit 0), /dev/zero grew memory until
// the kernel stepped in, and a FIFO blocked the tool forever.
TEST(OrvikPlanHardening, InputsThatAreNotRegularFilesAreRefusedInOneLine) {
  TempDir dir;
  const std::string fifo = (dir.path() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = dir.path().string();
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--options", folder}, "is a directory"},
      {{"--options", "/dev/zero"}, "is a device"},
      {{"--options", fifo}, "is a FIFO"},
      {{"--post", "gradient", "--post-config", "/dev/zero"}, "is a device"},
      {{"--post", "gradient", "--post-config", fifo}, "is a FIFO"},
      {{"--reference-path", "/dev/zero"}, "is a device"},
      {{"--reference-path", fifo}, "is a FIFO"},
      {{"--reference-path", folder}, "is a directory"},
  };
  for (const auto& [extra, message] : cases) {
    std::vector<std::string> args = extra;
    args.push_back("--no-png");
    SCOPED_TRACE(extra[extra.size() - 1]);
    expectOneErrorLine(runTool(demoArgs(args), dir.path()), 2, message);
  }
  for (const std::string& batch : {folder, std::string("/dev/zero"), fifo}) {
    expectOneErrorLine(
        runTool({"--batch", batch, "--map", dataDir() + "/demo_warehouse.yaml"}, dir.path()), 2,
        "not a regular file");
  }
}

// A failing run used to leave plan.json and plan.png of the run before, which then looked
// like its result. Successful runs leave no temporary files behind.
TEST(OrvikPlanHardening, AFailedRunLeavesNoEarlierResultAndWritesAreAtomic) {
  TempDir dir;
  const ToolRun good = runTool(demoArgs({"--csv", "out/plan.csv"}), dir.path());
  ASSERT_EQ(good.status, 0) << good.err;
  for (const char* name : {"plan.json", "plan.png", "plan.csv"}) {
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / name)) << name;
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "out")) {
    EXPECT_NE(entry.path().filename().string().front(), '.')
        << "temporary file left: " << entry.path();
  }
  const std::string bad = dir.write("bad.yaml", "cost_weight: '1.0'\n");
  const ToolRun failed = runTool(demoArgs({"--csv", "out/plan.csv", "--options", bad}), dir.path());
  EXPECT_EQ(failed.status, 2);
  for (const char* name : {"plan.json", "plan.png", "plan.csv"}) {
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / name)) << name << " is stale";
  }
}

// Pictures beyond 32,767 pixels a side used to fail the run after planning, with advice
// (lower --png-scale) that cannot help at one pixel per cell.
TEST(OrvikPlanHardening, AMapTooLargeToDrawPlansAndSkipsThePictureWithAWarning) {
  TempDir dir;
  const int width = 40000;
  std::string pgm = "P5\n" + std::to_string(width) + " 3\n255\n" + std::string(width * 3, '\xfe');
  dir.write("long.pgm", pgm);
  const std::string map =
      dir.write("long.yaml",
                "image: long.pgm\nresolution: 0.05\norigin: [0, 0, 0]\nnegate: 0\n"
                "occupied_thresh: 0.65\nfree_thresh: 0.196\n");
  dir.write("out/plan.png", "a picture of an earlier run");
  const ToolRun run =
      runTool({"--map", map, "--start", "0.5,0.07,0", "--goal", "3.0,0.07,0"}, dir.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.err.find("orvik_plan: warning: picture skipped"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "plan.png"));
  const auto json = readJson(dir.path() / "out" / "plan.json");
  EXPECT_TRUE(json["found"].get<bool>());
  EXPECT_EQ(json["outputs"]["png"], "");
  EXPECT_NE(json["outputs"]["png_note"].get<std::string>().find("too large"), std::string::npos);

  // A scale too large for the map is lowered, not refused.
  dir.write("wide.pgm", "P5\n600 3\n255\n" + std::string(600 * 3, '\xfe'));
  const std::string wide =
      dir.write("wide.yaml",
                "image: wide.pgm\nresolution: 0.05\norigin: [0, 0, 0]\nnegate: 0\n"
                "occupied_thresh: 0.65\nfree_thresh: 0.196\n");
  const ToolRun scaled =
      runTool({"--map", wide, "--start", "0.5,0.07,0", "--goal", "3.0,0.07,0", "--png-scale", "64"},
              dir.path());
  ASSERT_EQ(scaled.status, 0) << scaled.err;
  EXPECT_NE(scaled.err.find("warning: picture drawn at 54 pixels per cell, not 64"),
            std::string::npos)
      << scaled.err;
  EXPECT_EQ(readJson(dir.path() / "out" / "plan.json")["outputs"]["png_scale"], 54);
}

/// Starts the tool with its output streams in files; returns its process id.
pid_t startTool(const std::vector<std::string>& args, const fs::path& cwd) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) {
      _exit(127);
    }
    const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(ORVIK_PLAN_BIN));
    for (const auto& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    execv(ORVIK_PLAN_BIN, argv.data());
    _exit(127);
  }
  return pid;
}

// Ctrl-C used to end a batch with nothing written. Now the current query finishes, the table
// and the JSON cover what ran and say so; without a terminal, progress lines go to stderr.
TEST(OrvikPlanHardening, CtrlCInABatchWritesTheTableAndJsonMarkedInterrupted) {
  TempDir dir;
  std::string csv = "sx,sy,gx,gy\n";
  const int total = 200000;
  for (int i = 0; i < total; ++i) {
    csv += i % 2 ? "1.0,2.35,7.2,6.0\n" : "7.2,6.0,1.0,2.35\n";
  }
  const std::string queries = dir.write("many.csv", csv);
  const pid_t pid =
      startTool({"--batch", queries, "--map", dataDir() + "/demo_warehouse.yaml", "--grid-config",
                 dataDir() + "/demo_warehouse_gridmap.yaml", "--json", "batch.json"},
                dir.path());
  ASSERT_GT(pid, 0);
  // The start line comes once the queries run (and Ctrl-C is handled); then long enough for a
  // periodic progress line (one every 5 s).
  const std::string started = "many.csv: " + std::to_string(total) + " queries";
  for (int wait = 0; wait < 1200; ++wait) {
    if (readFile(dir.path() / "stderr.txt").find(started) != std::string::npos) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(6500));
  ASSERT_EQ(kill(pid, SIGINT), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string out = readFile(dir.path() / "stdout.txt");
  const std::string err = readFile(dir.path() / "stderr.txt");
  EXPECT_NE(out.find("INTERRUPTED"), std::string::npos) << out;
  EXPECT_NE(out.find("many.csv"), std::string::npos) << out;
  const auto json = readJson(dir.path() / "batch.json");
  EXPECT_TRUE(json["interrupted"].get<bool>());
  const auto& scenario = json["scenarios"][0];
  const std::size_t ran = scenario["queries"].size();
  EXPECT_GT(ran, 0u);
  EXPECT_LT(ran, static_cast<std::size_t>(total));
  EXPECT_EQ(scenario["summary"]["queries"].get<std::size_t>(), ran);
  EXPECT_EQ(scenario["queries_selected"].get<int>(), total);
  // The start line, at least one periodic line, and the final count.
  EXPECT_NE(err.find(started), std::string::npos) << err;
  EXPECT_GE(lines(err).size(), 3u) << err;
  EXPECT_NE(
      err.find("many.csv: " + std::to_string(ran) + "/" + std::to_string(total) + " queries done"),
      std::string::npos)
      << err;
}

// One reference path used to be trimmed by every query of a batch in turn, so a query's
// result depended on the queries before it.
TEST(OrvikPlanHardening, BatchQueriesDoNotShareTheTrimmedReferencePath) {
  TempDir dir;
  // A detour from the first aisle up to the second and back down in the lane.
  dir.write("detour.txt",
            "1.0 2.35\n1.0 3.2\n1.0 4.05\n2.5 4.05\n4.0 4.05\n5.5 4.05\n7.2 4.05\n7.2 3.2\n"
            "7.2 2.35\n");
  const std::string options = dir.write(
      "options.yaml",
      "use_path_consistency: true\n"
      "reference_path: {file: detour.txt, cost: 20.0, distance: 30.0, half_width: 0.4}\n");
  const std::string direct = "1.0,2.35,0,7.2,2.35,0\n";
  const std::string alone = dir.write("alone.csv", direct);
  // The first query starts near the reference's end, which trimmed it for the second.
  const std::string after = dir.write("after.csv", "7.2,3.2,1.57,7.2,6.0,1.57\n" + direct);
  auto lengthOfLast = [&](const std::string& csv, const std::string& json) {
    const ToolRun run =
        runTool({"--batch", csv, "--map", dataDir() + "/demo_warehouse.yaml", "--grid-config",
                 dataDir() + "/demo_warehouse_gridmap.yaml", "--options", options, "--json", json},
                dir.path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    return readJson(dir.path() / json)["scenarios"][0]["queries"]
        .back()["length_cells"]
        .get<double>();
  };
  const double first = lengthOfLast(alone, "alone.json");
  EXPECT_GT(first, 6.2 / 0.05 * 1.2) << "the reference path draws the query into the detour";
  EXPECT_DOUBLE_EQ(lengthOfLast(after, "after.json"), first);
}

// A path beyond the steps' size limit is left as it was, with the limit named, rather than
// keeping a step busy for hours; the plan itself still succeeds.
TEST(OrvikPlanHardening, PathsBeyondTheStepLimitAreKeptWithTheLimitNamed) {
  TempDir dir;
  const int width = 21000;
  dir.write("corridor.pgm",
            "P5\n" + std::to_string(width) + " 3\n255\n" + std::string(width * 3, '\xfe'));
  const std::string map = dir.write("corridor.yaml",
                                    "image: corridor.pgm\nresolution: 0.05\norigin: [0, 0, 0]\n"
                                    "negate: 0\noccupied_thresh: 0.65\nfree_thresh: 0.196\n");
  const ToolRun run = runTool({"--map", map, "--start", "0.07,0.07,0", "--goal", "1049.0,0.07,0",
                               "--post", "sunny", "--no-png"},
                              dir.path());
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const auto json = readJson(dir.path() / "out" / "plan.json");
  const auto& step = json["steps"][0];
  EXPECT_FALSE(step["ok"].get<bool>());
  ASSERT_EQ(step["notes"].size(), 1u);
  EXPECT_NE(step["notes"][0].get<std::string>().find("more than the sunny step's limit of 20000"),
            std::string::npos)
      << step["notes"][0];
  EXPECT_EQ(json["final_paths"][0]["pose_count"], json["planner_paths"][0]["pose_count"]);
}

// Under a wall-clock limit the constrained smoother gives different paths from run to run;
// the result says whether the limit cut a solve short, and the defaults leave it unbound.
TEST(OrvikPlanHardening, TheResultSaysWhetherTheSmootherTimeLimitStoppedIt) {
  TempDir dir;
  const ToolRun bounded = runTool(demoArgs({"--no-png", "--post", "constrained"}), dir.path());
  ASSERT_EQ(bounded.status, 0) << bounded.err;
  auto json = readJson(dir.path() / "out" / "plan.json");
  const auto& limit = json["steps"][0]["time_limit"];
  EXPECT_EQ(limit["max_time_s"].get<double>(), 60.0);
  EXPECT_FALSE(limit["stopped_by_time_limit"].get<bool>()) << "iterations bound the default run";
  EXPECT_NE(bounded.out.find("time limit 60 s per path: not reached"), std::string::npos)
      << bounded.out;

  const std::string tight =
      dir.write("tight.yaml", "constrained_smoother:\n  max_time: 0.000001\n");
  const ToolRun cut =
      runTool(demoArgs({"--no-png", "--post", "constrained", "--post-config", tight}), dir.path());
  EXPECT_NE(cut.out.find("REACHED"), std::string::npos) << cut.out;
  json = readJson(dir.path() / "out" / "plan.json");
  EXPECT_TRUE(json["steps"][0]["time_limit"]["stopped_by_time_limit"].get<bool>());
  EXPECT_EQ(json["steps"][0]["time_limit"]["paths_cut_short"].size(), json["final_paths"].size());
}

}  // namespace
