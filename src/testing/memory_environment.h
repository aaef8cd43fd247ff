// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_TESTING_MEMORY_ENVIRONMENT_H_
#define VARNHOLD_TESTING_MEMORY_ENVIRONMENT_H_

#include <map>
#include <string>

#include "platform/environment.h"

namespace test_support {

/// An environment held in a map, for tests.
class MemoryEnvironment final : public platform::Environment {
 public:
  std::map<std::string, std::string> variables;

  std::optional<std::string> Lookup(const std::string& name) const override {
    auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return found->second;
  }
};

}  // namespace test_support

#endif  // VARNHOLD_TESTING_MEMORY_ENVIRONMENT_H_
