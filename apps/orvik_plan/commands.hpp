// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <ostream>

#include "orvik_plan/plan_arguments.hpp"

namespace orvik_plan {

/// Plans one request, post-processes it, writes JSON, picture and CSV, prints the summary.
/// @return kExitOk when a path was found, kExitNoPath when not.
/// @throw ToolError for bad input or an output that cannot be written.
int runPlanCommand(const PlanArguments& arguments, std::ostream& out);

/// Runs every query of the batch files and prints the table (and writes --json).
/// @return kExitOk when every query was solved, kExitNoPath otherwise.
/// @throw ToolError for bad input or an output that cannot be written.
int runBatchCommand(const PlanArguments& arguments, std::ostream& out);

}  // namespace orvik_plan
