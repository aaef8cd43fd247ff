// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_DRIVER_RUN_H_
#define VARNHOLD_DRIVER_RUN_H_

#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/environment.h"
#include "platform/file.h"

namespace driver {

/// Everything a run touches outside itself; tests pass doubles.
struct System {
  platform::FileSystem& files;
  platform::Console& console;
  const platform::Environment& environment;
};

/// Runs the program on `arguments` (the program's own name excluded): decodes
/// a ".bmp" file, encodes any other, reports on the console and returns the
/// exit code. Every way a run ends passes through here.
int Run(const std::vector<std::string>& arguments, const System& system);

}  // namespace driver

#endif  // VARNHOLD_DRIVER_RUN_H_
