// SPDX-License-Identifier: Apache-2.0
#include "strict_input.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <regex>
#include <sstream>

namespace orvik_input {

namespace {

std::string kindOf(mode_t mode) {
  if (S_ISDIR(mode)) {
    return "a directory";
  }
  if (S_ISFIFO(mode)) {
    return "a FIFO";
  }
  if (S_ISCHR(mode) || S_ISBLK(mode)) {
    return "a device";
  }
  if (S_ISSOCK(mode)) {
    return "a socket";
  }
  return "not a regular file";
}

std::string megabytes(std::size_t bytes) {
  std::ostringstream text;
  text << static_cast<double>(bytes) / (1 << 20) << " MiB";
  return text.str();
}

/// Closes a descriptor however the read ends.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::string readRegularFile(const std::string& path, std::size_t max_bytes) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    throw InputError(path + ": cannot read: " + std::strerror(errno));
  }
  if (!S_ISREG(info.st_mode)) {
    throw InputError(path + ": is " + kindOf(info.st_mode) + ", not a regular file");
  }
  // O_NONBLOCK: should the name have become a FIFO since the check, opening it does not hang.
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) {
    throw InputError(path + ": cannot read: " + std::strerror(errno));
  }
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw InputError(path + ": is not a regular file");
  }
  if (static_cast<unsigned long long>(info.st_size) > max_bytes) {
    throw InputError(path + ": is larger than " + megabytes(max_bytes) + ", refusing to read it");
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof(buffer));
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw InputError(path + ": cannot read: " + std::strerror(errno));
    }
    if (got == 0) {
      break;
    }
    // A file that grows while it is read is held to the same cap.
    if (text.size() + static_cast<std::size_t>(got) > max_bytes) {
      throw InputError(path + ": is larger than " + megabytes(max_bytes) + ", refusing to read it");
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

YAML::Node loadYamlFile(const std::string& path, std::size_t max_bytes) {
  const std::string text = readRegularFile(path, max_bytes);
  try {
    return YAML::Load(text);
  } catch (const YAML::Exception& e) {
    std::string where = path;
    if (!e.mark.is_null()) {
      where += ":" + std::to_string(e.mark.line + 1) + ":" + std::to_string(e.mark.column + 1);
    }
    throw InputError(where + ": not valid YAML: " + e.msg);
  }
}

std::string positionOf(const std::string& file, const YAML::Node& node) {
  if (!node.IsDefined()) {
    return file;
  }
  const YAML::Mark mark = node.Mark();
  if (mark.is_null()) {
    return file;
  }
  return file + ":" + std::to_string(mark.line + 1) + ":" + std::to_string(mark.column + 1);
}

// Plain (unquoted) scalars carry the non-specific tag "?"; quoted ones carry "!".
bool isPlainScalar(const YAML::Node& node) {
  return node.IsDefined() && node.IsScalar() && node.Tag() != "!";
}

bool isIntegerScalar(const YAML::Node& node) {
  static const std::regex kInteger("[-+]?[0-9]+");
  return isPlainScalar(node) && std::regex_match(node.Scalar(), kInteger);
}

bool isNumberScalar(const YAML::Node& node) {
  static const std::regex kNumber(
      "[-+]?(\\.[0-9]+|[0-9]+(\\.[0-9]*)?)([eE][-+]?[0-9]+)?|[-+]?\\.(inf|Inf|INF)|\\.(nan|NaN|"
      "NAN)");
  return isPlainScalar(node) && std::regex_match(node.Scalar(), kNumber);
}

bool isBoolScalar(const YAML::Node& node) {
  static const std::regex kBool(
      "true|True|TRUE|false|False|FALSE|yes|Yes|YES|no|No|NO|on|On|ON|off|Off|OFF");
  return isPlainScalar(node) && std::regex_match(node.Scalar(), kBool);
}

const char* describeNode(const YAML::Node& node) {
  if (!node.IsDefined() || node.IsNull()) {
    return "nothing";
  }
  if (node.IsSequence()) {
    return "a list";
  }
  if (node.IsMap()) {
    return "a mapping";
  }
  if (!isPlainScalar(node)) {
    return "a quoted string";
  }
  if (isBoolScalar(node)) {
    return "a boolean";
  }
  if (isIntegerScalar(node)) {
    return "an integer";
  }
  if (isNumberScalar(node)) {
    return "a number";
  }
  return "a string";
}

void failAt(const std::string& file, const YAML::Node& node, const std::string& key,
            const std::string& message) {
  throw InputError(positionOf(file, node) + ": key '" + key + "': " + message);
}

double readNumber(const YAML::Node& node, const std::string& file, const std::string& key) {
  if (!node.IsDefined()) {
    throw InputError(file + ": key '" + key + "' is missing");
  }
  if (!isNumberScalar(node)) {
    failAt(file, node, key, std::string("expected a number, got ") + describeNode(node));
  }
  // yaml-cpp reads ".inf"/".nan"; an overflowing literal (1e999) fails to convert.
  double value = 0.0;
  if (!YAML::convert<double>::decode(node, value) || !std::isfinite(value)) {
    failAt(file, node, key, "expected a finite number, got " + node.Scalar());
  }
  return value;
}

double readNumberIn(const YAML::Node& node, const std::string& file, const std::string& key,
                    double min, double max) {
  const double value = readNumber(node, file, key);
  if (value < min || value > max) {
    std::ostringstream range;
    range << "must be between " << min << " and " << max << ", not " << node.Scalar();
    failAt(file, node, key, range.str());
  }
  return value;
}

int readInt(const YAML::Node& node, const std::string& file, const std::string& key) {
  if (!node.IsDefined()) {
    throw InputError(file + ": key '" + key + "' is missing");
  }
  if (!isIntegerScalar(node)) {
    failAt(file, node, key, std::string("expected an integer, got ") + describeNode(node));
  }
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(node.Scalar().c_str(), &end, 10);
  if (errno == ERANGE || parsed < std::numeric_limits<int>::min() ||
      parsed > std::numeric_limits<int>::max()) {
    failAt(file, node, key, "integer out of range: " + node.Scalar());
  }
  return static_cast<int>(parsed);
}

bool readBool(const YAML::Node& node, const std::string& file, const std::string& key) {
  if (!node.IsDefined()) {
    throw InputError(file + ": key '" + key + "' is missing");
  }
  if (!isBoolScalar(node)) {
    failAt(file, node, key, std::string("expected true or false, got ") + describeNode(node));
  }
  return node.as<bool>();
}

std::string readString(const YAML::Node& node, const std::string& file, const std::string& key) {
  if (!node.IsDefined()) {
    throw InputError(file + ": key '" + key + "' is missing");
  }
  if (!node.IsScalar()) {
    failAt(file, node, key, std::string("expected a string, got ") + describeNode(node));
  }
  return node.Scalar();
}

}  // namespace orvik_input
