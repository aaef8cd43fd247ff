// SPDX-License-Identifier: MIT
// Win32 environment: variables read as bytes in the system code page.
#include <windows.h>

#include "platform/environment.h"

namespace platform {
namespace {

class Win32Environment final : public Environment {
 public:
  std::optional<std::string> Lookup(const std::string& name) const override {
    std::string value(256, '\0');
    // The size can change between calls only if another thread edits the
    // environment; a few rounds settle it.
    for (int attempt = 0; attempt < 4; ++attempt) {
      ::SetLastError(ERROR_SUCCESS);
      DWORD result = ::GetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
      if (result == 0) {
        if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
      }
      if (result < value.size()) {  // fitted: `result` characters, no terminator
        value.resize(result);
        return value;
      }
      value.assign(result, '\0');  // too small: `result` counts the terminator
    }
    return std::nullopt;
  }
};

}  // namespace

const Environment& RealEnvironment() {
  static const Win32Environment environment;
  return environment;
}

}  // namespace platform
