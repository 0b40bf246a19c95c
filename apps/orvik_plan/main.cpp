// SPDX-License-Identifier: Apache-2.0
#include <exception>
#include <iostream>
#include <new>

#include "orvik_plan/commands.hpp"
#include "orvik_plan/plan_arguments.hpp"
#include "orvik_plan/tool_error.hpp"

int main(int argc, char** argv) {
  using namespace orvik_plan;
  const ParsedCommandLine parsed = parseCommandLine(argc, argv, std::cout, std::cerr);
  if (!parsed.arguments) {
    return parsed.exit_status;
  }
  try {
    const PlanArguments& arguments = *parsed.arguments;
    return arguments.batch_files.empty() ? runPlanCommand(arguments, std::cout)
                                         : runBatchCommand(arguments, std::cout);
  } catch (const ToolError& e) {
    std::cout.flush();
    std::cerr << "orvik_plan: error: " << e.what() << "\n";
    return e.exitStatus();
  } catch (const std::bad_alloc&) {
    std::cout.flush();
    std::cerr << "orvik_plan: error: out of memory\n";
    return kExitBadInput;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "orvik_plan: error: " << e.what() << "\n";
    return kExitBadInput;
  }
}
