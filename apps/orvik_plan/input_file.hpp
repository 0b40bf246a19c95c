// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <string>

namespace orvik_plan {

/// Reads a whole input file of at most `max_bytes`. Refuses, with one line naming the file, what
/// is not a regular file: a directory (which would read as empty), /dev/zero (which never ends)
/// or a FIFO (which blocks until a writer comes).
/// @throw ToolError (bad input)
std::string readInputFile(const std::string& path, std::size_t max_bytes);

}  // namespace orvik_plan
