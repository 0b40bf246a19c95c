// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/input_file.hpp"

#include "orvik_plan/tool_error.hpp"
#include "strict_input.hpp"

namespace orvik_plan {

std::string readInputFile(const std::string& path, std::size_t max_bytes) {
  try {
    return orvik_input::readRegularFile(path, max_bytes);
  } catch (const orvik_input::InputError& e) {
    throw ToolError(e.what());
  }
}

}  // namespace orvik_plan
