// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stdexcept>
#include <string>

namespace rclcpp::exceptions {

class InvalidParameterTypeException : public std::runtime_error {
 public:
  InvalidParameterTypeException(const std::string& name, const std::string message)
      : std::runtime_error("parameter '" + name + "' has invalid type: " + message) {}
};

class InvalidParameterValueException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ParameterAlreadyDeclaredException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ParameterNotDeclaredException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ParameterImmutableException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ParameterModifiedInCallbackException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class InvalidParametersException : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

class ParameterUninitializedException : public std::runtime_error {
 public:
  explicit ParameterUninitializedException(const std::string& name)
      : std::runtime_error("parameter '" + name + "' is not initialized") {}
};

class UninitializedStaticallyTypedParameterException : public std::runtime_error {
 public:
  explicit UninitializedStaticallyTypedParameterException(const std::string& name)
      : std::runtime_error("Statically typed parameter '" + name + "' must be initialized.") {}
};

}  // namespace rclcpp::exceptions
