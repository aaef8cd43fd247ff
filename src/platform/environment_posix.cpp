// SPDX-License-Identifier: MIT
#include <cstdlib>

#include "platform/environment.h"

namespace platform {
namespace {

class PosixEnvironment final : public Environment {
 public:
  std::optional<std::string> Lookup(const std::string& name) const override {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  }
};

}  // namespace

const Environment& RealEnvironment() {
  static const PosixEnvironment environment;
  return environment;
}

}  // namespace platform
