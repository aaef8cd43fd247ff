// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_PLATFORM_ENVIRONMENT_H_
#define VARNHOLD_PLATFORM_ENVIRONMENT_H_

#include <optional>
#include <string>

namespace platform {

/// Read access to environment variables. Tests substitute a double.
class Environment {
 public:
  virtual ~Environment() = default;
  /// The whole value of the variable, or nothing when it is unset.
  virtual std::optional<std::string> Lookup(const std::string& name) const = 0;
};

/// The process's own environment.
const Environment& RealEnvironment();

}  // namespace platform

#endif  // VARNHOLD_PLATFORM_ENVIRONMENT_H_
