// SPDX-License-Identifier: MIT
// The browser page's platform: the page does its own I/O, so only the
// separator rule is needed. A restored file may be saved on any system, so a
// name refuses the separators of all of them.
#include "platform/file.h"

namespace platform {

bool IsPathSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

}  // namespace platform
