// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/output_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace fs = std::filesystem;

namespace {

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace

void writeFileAtomically(const std::string& path, const std::string& bytes) {
  const fs::path target(path);
  std::error_code ec;
  if (!target.parent_path().empty()) {
    fs::create_directories(target.parent_path(), ec);
  }
  if (fs::is_directory(target, ec)) {
    throw ToolError("cannot write " + path + ": it is a directory", kExitOutputFailed);
  }
  // The temporary file sits beside the target so that the rename stays on one file system.
  std::string temp =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    throw ToolError("cannot write " + path + ": " + std::strerror(errno), kExitOutputFailed);
  }
  // mkstemp makes the file private; an output file gets the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
  const int saved_errno = errno;
  ::close(fd);
  if (!written || ::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = written ? errno : saved_errno;
    ::unlink(temp.c_str());
    throw ToolError("cannot write " + path + ": " + std::strerror(error), kExitOutputFailed);
  }
}

bool removeStaleOutput(const std::string& path) {
  if (path.empty()) {
    return true;
  }
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (!fs::exists(status)) {
    return true;
  }
  // Only files are ours to remove; a folder of that name is left alone.
  return fs::is_regular_file(status) && fs::remove(path, ec) && !ec;
}

RunOutputs::RunOutputs(std::vector<std::string> files) : files_(std::move(files)) {}

void RunOutputs::discardStale() const noexcept {
  for (const auto& file : files_) {
    try {
      removeStaleOutput(file);
    } catch (...) {
      // Nothing more can be done; the error that brought us here is still reported.
    }
  }
}

}  // namespace orvik_plan
