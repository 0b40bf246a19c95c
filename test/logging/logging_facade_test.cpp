// SPDX-License-Identifier: Apache-2.0
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

struct ProbeResult {
  int exit_code{-1};
  std::string out;
};

// Environment for a probe run: each variable either set to a value or left unset.
using Env = std::map<std::string, std::optional<std::string>>;

// Runs the probe with exactly the given logging variables (others inherited) and captures its
// standard output.
ProbeResult runProbe(const std::string& scenario, const Env& env) {
  std::vector<std::string> entries;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('='));
    if (env.count(name) == 0) {
      entries.push_back(entry);
    }
  }
  for (const auto& [name, value] : env) {
    if (value) {
      entries.push_back(name + "=" + *value);
    }
  }
  std::vector<char*> envp;
  for (auto& entry : entries) {
    envp.push_back(entry.data());
  }
  envp.push_back(nullptr);

  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) {
    return {};
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  std::string program = ORVIK_LOG_PROBE;
  std::string arg = scenario;
  char* argv[] = {program.data(), arg.data(), nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  ProbeResult result;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = read(pipe_fds[0], buffer, sizeof(buffer))) > 0) {
    result.out.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipe_fds[0]);
  if (spawned != 0) {
    return result;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

const Env kQuiet = {
    {"SPDLOG_STDOUT", "true"}, {"SPDLOG_SYSTEMD", "false"}, {"SPDLOG_LEVEL", "info"}};

Env with(Env env, const std::string& name, std::optional<std::string> value) {
  env[name] = std::move(value);
  return env;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    result.push_back(text.substr(start, end - start));
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return result;
}

}  // namespace

TEST(LoggingFacadeEnvironment, UnsetVariablesAnnounceDefaultsInOrder) {
  const auto r = runProbe("levels", {{"SPDLOG_STDOUT", std::nullopt},
                                     {"SPDLOG_SYSTEMD", std::nullopt},
                                     {"SPDLOG_LEVEL", std::nullopt}});
  ASSERT_EQ(r.exit_code, 0);
  const auto out = lines(r.out);
  ASSERT_GE(out.size(), 6u);
  EXPECT_EQ(out[0], "environment variable SPDLOG_STDOUT is not set, and set true");
  EXPECT_EQ(out[1], "environment variable SPDLOG_SYSTEMD is not set, and set false");
  EXPECT_EQ(out[2], "environment variable SPDLOG_LEVEL is not set, and set default level");
  EXPECT_EQ(out[3], "  1 [INFO] info 2");
  EXPECT_EQ(out[4], "  2 [WARN] warn 3");
  EXPECT_EQ(out[5], "  3 [ERROR] error 4");
  EXPECT_THAT(r.out, HasSubstr("state counter=3 level=2 sinks=1 name=spdlog"));
}

TEST(LoggingFacadeEnvironment, ValidSettingsWriteNoEnvironmentMessage) {
  const auto r = runProbe("levels", with(kQuiet, "SPDLOG_LEVEL", "debug"));
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_THAT(r.out, Not(HasSubstr("environment variable")));
  EXPECT_THAT(r.out, HasSubstr("  1 [DEBUG] debug 1\n  2 [INFO] info 2\n"));
}

TEST(LoggingFacadeEnvironment, WarnIsNotALevelNameAndFallsBackToInfo) {
  const auto r = runProbe("levels", with(kQuiet, "SPDLOG_LEVEL", "warn"));
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_THAT(r.out, HasSubstr("environment variable SPDLOG_LEVEL is invalid, and set default "
                               "level\n"));
  EXPECT_THAT(r.out, HasSubstr("  1 [INFO] info 2\n"));
  EXPECT_THAT(r.out, HasSubstr("level=2 "));
}

TEST(LoggingFacadeEnvironment, WarningIsTheLevelThree) {
  const auto r = runProbe("levels", with(kQuiet, "SPDLOG_LEVEL", "warning"));
  EXPECT_THAT(r.out, Not(HasSubstr("[INFO]")));
  EXPECT_THAT(r.out, HasSubstr("  1 [WARN] warn 3\n"));
}

TEST(LoggingFacadeEnvironment, UpperCaseTrueIsInvalidAndConsoleStaysOn) {
  const auto r = runProbe("levels", with(kQuiet, "SPDLOG_STDOUT", "TRUE"));
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_THAT(r.out, HasSubstr("environment variable SPDLOG_STDOUT is invalid, and set true\n"));
  EXPECT_THAT(r.out, HasSubstr("  1 [INFO] info 2\n"));
  EXPECT_THAT(r.out, HasSubstr("sinks=1"));
}

TEST(LoggingFacadeEnvironment, ConsoleOffAndJournalUnsetLeavesNoSinks) {
  const auto r = runProbe(
      "levels", with(with(kQuiet, "SPDLOG_STDOUT", "false"), "SPDLOG_SYSTEMD", std::nullopt));
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_THAT(r.out, HasSubstr("environment variable SPDLOG_SYSTEMD is not set, and set false\n"));
  EXPECT_THAT(r.out, Not(HasSubstr("[INFO]")));
  // Statements still count although nothing is written.
  EXPECT_THAT(r.out, HasSubstr("state counter=3 level=2 sinks=0"));
}

TEST(LoggingFacadeEnvironment, InvalidJournalSwitchFallsBackToOff) {
  const auto r = runProbe("levels", with(kQuiet, "SPDLOG_SYSTEMD", "yes"));
  EXPECT_THAT(r.out, HasSubstr("environment variable SPDLOG_SYSTEMD is invalid, and set false\n"));
  EXPECT_THAT(r.out, HasSubstr("sinks=1"));
}

TEST(LoggingFacadeEnvironment, JournalOnAddsSecondSinkAndStatementsReturn) {
  // Without a journal socket spdlog reports on stderr; the statement must still return.
  const auto r = runProbe("levels", with(kQuiet, "SPDLOG_SYSTEMD", "true"));
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_THAT(r.out, HasSubstr("  1 [INFO] info 2\n"));
  EXPECT_THAT(r.out, HasSubstr("sinks=2"));
}

TEST(LoggingFacadeCounter, FilteredStatementsLeaveCounterUnchanged) {
  const auto r = runProbe("levels", with(kQuiet, "SPDLOG_LEVEL", "error"));
  ASSERT_EQ(r.exit_code, 0);
  const auto out = lines(r.out);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out[0], "  1 [ERROR] error 4");
  EXPECT_THAT(r.out, HasSubstr("state counter=1 level=4"));
}

TEST(LoggingFacadeCounter, PrintedNumberWrapsAt128AndCounterAt256) {
  const auto r = runProbe("wrap", kQuiet);
  ASSERT_EQ(r.exit_code, 0);
  const auto out = lines(r.out);
  ASSERT_GE(out.size(), 257u);
  EXPECT_EQ(out[0], "  1 [INFO] message 1");
  EXPECT_EQ(out[126], "127 [INFO] message 127");
  EXPECT_EQ(out[127], "  0 [INFO] message 128");
  EXPECT_EQ(out[128], "  1 [INFO] message 129");
  EXPECT_EQ(out[255], "  0 [INFO] message 256");
  EXPECT_EQ(out[256], "  1 [INFO] message 257");
  EXPECT_THAT(r.out, HasSubstr("state counter=1 "));
}

TEST(LoggingFacadeCounter, DebugBelowInfoIsFormattedButNotEmitted) {
  const auto r = runProbe("lazy", kQuiet);
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_THAT(r.out, HasSubstr("formatted=1\n"));
  EXPECT_THAT(r.out, Not(HasSubstr("[DEBUG]")));
  EXPECT_THAT(r.out, HasSubstr("state counter=0 "));
}

TEST(LoggingFacadeInstance, LaterNameIsIgnored) {
  const auto r = runProbe("name", kQuiet);
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_THAT(r.out, HasSubstr("same=1\n"));
  EXPECT_THAT(r.out, HasSubstr("name=spdlog"));
}

TEST(LoggingFacadeStatement, CarriesRelativeFileLineAndBareFunction) {
  const auto r = runProbe("location", kQuiet);
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_THAT(r.out, HasSubstr("location ./test/logging/log_probe.cpp|"));
  EXPECT_THAT(r.out, HasSubstr("|emitFromNamedFunction\n"));
}

TEST(LoggingFacadeStatement, MalformedFormatNeverEscapes) {
  const auto r = runProbe("bad_format", kQuiet);
  ASSERT_EQ(r.exit_code, 0);
  EXPECT_THAT(r.out, HasSubstr("[ERROR] after 2\n"));
}
