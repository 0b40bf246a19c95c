// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stdexcept>
#include <string>

namespace orvik_plan {

/// Exit statuses of orvik_plan.
enum ExitStatus : int {
  kExitOk = 0,
  /// The input was fine but no path was found (or a batch query the scenario marks solvable
  /// failed).
  kExitNoPath = 1,
  /// Bad input: arguments, unreadable or malformed files, unknown keys, wrong value types.
  kExitBadInput = 2,
  /// An output file could not be written.
  kExitOutputFailed = 3,
  /// A batch stopped by Ctrl-C: the table and JSON cover the queries that ran (128 + SIGINT,
  /// the shell's convention for a process ended by that signal).
  kExitInterrupted = 130,
};

/// A failure that ends the tool with one error line and the given exit status.
class ToolError : public std::runtime_error {
 public:
  explicit ToolError(const std::string& message, int exit_status = kExitBadInput)
      : std::runtime_error(message), exit_status_(exit_status) {}
  int exitStatus() const { return exit_status_; }

 private:
  int exit_status_;
};

}  // namespace orvik_plan
