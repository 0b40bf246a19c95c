// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace orvik_plan_test {

namespace fs = std::filesystem;

/// A fresh folder under the system's temp folder, removed with the object.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("orvik_plan_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const fs::path& path() const { return path_; }
  /// Writes a file into the folder and returns its path.
  std::string write(const std::string& name, const std::string& text) const {
    const fs::path file = path_ / name;
    std::ofstream(file, std::ios::binary) << text;
    return file.string();
  }

 private:
  fs::path path_;
};

inline std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline nlohmann::json readJson(const fs::path& path) {
  return nlohmann::json::parse(readFile(path));
}

/// Exit status and output of one run of the tool.
struct ToolRun {
  int status{-1};
  std::string out;
  std::string err;
};

inline std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

/// Runs orvik_plan in `cwd` with the arguments, capturing both output streams.
inline ToolRun runTool(const std::vector<std::string>& args, const fs::path& cwd) {
  const fs::path out = cwd / "stdout.txt";
  const fs::path err = cwd / "stderr.txt";
  std::string command = "cd " + shellQuote(cwd.string()) + " && " + shellQuote(ORVIK_PLAN_BIN);
  for (const auto& arg : args) {
    command += " " + shellQuote(arg);
  }
  command += " > " + shellQuote(out.string()) + " 2> " + shellQuote(err.string());
  const int raw = std::system(command.c_str());
  ToolRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = readFile(out);
  run.err = readFile(err);
  return run;
}

/// Lines of a text, without empty ones.
inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) {
      result.push_back(line);
    }
  }
  return result;
}

inline std::string dataDir() {
  return std::string(ORVIK_SOURCE_DIR) + "/data";
}

}  // namespace orvik_plan_test
