// SPDX-License-Identifier: Apache-2.0
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

namespace {

// Runs the probe with no logging variable set, standard output and error captured together.
std::string runProbe() {
  const std::string command =
      std::string("env -u SPDLOG_STDOUT -u SPDLOG_SYSTEMD -u SPDLOG_LEVEL ") +
      ORVIK_THREE_LIBRARIES_PROBE + " 2>&1";
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return out;
  }
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    out += buffer;
  }
  EXPECT_EQ(pclose(pipe), 0) << out;
  return out;
}

int occurrences(const std::string& text, const std::string& fragment) {
  int n = 0;
  for (auto pos = text.find(fragment); pos != std::string::npos;
       pos = text.find(fragment, pos + 1)) {
    ++n;
  }
  return n;
}

// The three shared libraries, loaded into one program, must share one logger (configured once,
// so the environment is announced once), one message counter (numbers run on from one library
// to the next) and one communicator (the end poses published by two libraries are both seen by
// the program's own handle).
TEST(ThreeSharedLibraries, ShareOneLoggerOneCounterAndOneCommunicator) {
  const std::string out = runProbe();
  EXPECT_EQ(occurrences(out, "environment variable SPDLOG_STDOUT is not set"), 1) << out;
  EXPECT_EQ(occurrences(out, "environment variable SPDLOG_SYSTEMD is not set"), 1) << out;
  EXPECT_EQ(occurrences(out, "environment variable SPDLOG_LEVEL is not set"), 1) << out;

  // Every emitted line in order, with its number: 1, 2, 3, ... across all three libraries.
  const std::regex numbered(R"(^\s*(\d+) \[(INFO|WARN|ERROR)\] (.*)$)");
  std::vector<std::string> texts;
  std::size_t start = 0;
  int expected_number = 1;
  while (start < out.size()) {
    const std::size_t end = out.find('\n', start);
    const std::string line = out.substr(start, end == std::string::npos ? end : end - start);
    start = end == std::string::npos ? out.size() : end + 1;
    std::smatch match;
    if (std::regex_match(line, match, numbered)) {
      EXPECT_EQ(std::stoi(match[1]), expected_number++) << line;
      texts.push_back(match[3]);
    }
  }
  using ::testing::HasSubstr;
  ASSERT_EQ(texts.size(), 4u) << out;
  EXPECT_THAT(texts[1], HasSubstr("setGoalNode convertPoseToAstarNode failed"));
  EXPECT_THAT(texts[2], HasSubstr("AstarPlanner::setGoal failed worldToMap"));
  EXPECT_THAT(texts[3], HasSubstr("DouglasPeuker dilute threshold"));
  EXPECT_THAT(out, HasSubstr("counter 4\n"));
  EXPECT_THAT(out, HasSubstr("end poses 2\n"));
}

}  // namespace
