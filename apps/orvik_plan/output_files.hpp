// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

namespace orvik_plan {

/// Writes bytes to a file atomically: into a temporary file beside it, then renamed over it.
/// A reader (or a run killed half-way) sees the previous file or the complete new one, never a
/// truncated one. Creates the folder.
/// @throw ToolError with kExitOutputFailed when it cannot be written.
void writeFileAtomically(const std::string& path, const std::string& bytes);

/// Removes a file left by an earlier run; a file that is not there is fine.
/// @return false when it exists and could not be removed.
bool removeStaleOutput(const std::string& path);

/// The outputs a run is about to write. A run that ends in an error (bad input, an output that
/// cannot be written) must not leave the files of an earlier run at those names, where they
/// would pass for its own result: they are removed. (A run that finds no path is no error; it
/// writes its JSON with found false and the reason.)
class RunOutputs {
 public:
  explicit RunOutputs(std::vector<std::string> files);

  /// Best effort, never throws: called while an error is already on its way out.
  void discardStale() const noexcept;

 private:
  std::vector<std::string> files_;
};

}  // namespace orvik_plan
