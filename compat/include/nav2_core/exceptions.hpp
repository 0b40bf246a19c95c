// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

namespace nav2_core {

class PlannerException : public std::runtime_error {
 public:
  explicit PlannerException(const std::string description) : std::runtime_error(description) {}
  using Ptr = std::shared_ptr<PlannerException>;
};

}  // namespace nav2_core
