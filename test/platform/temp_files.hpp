// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orvik_test {

/// A fresh folder under the system's temporary directory, removed with everything in it when
/// the object goes away.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("orvik_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  /// Writes `content` to a file in the folder and returns its full path.
  std::string write(const std::string& name, const std::string& content) const {
    const std::string full = (path_ / name).string();
    std::ofstream(full, std::ios::binary) << content;
    return full;
  }

  /// Writes an 8-bit binary PGM whose rows are given top row first.
  std::string writePgm(const std::string& name,
                       const std::vector<std::vector<unsigned char>>& rows) const {
    std::string content = "P5\n# written by a test\n" + std::to_string(rows.at(0).size()) + " " +
                          std::to_string(rows.size()) + "\n255\n";
    for (const auto& row : rows) {
      content.append(row.begin(), row.end());
    }
    return write(name, content);
  }

  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace orvik_test
