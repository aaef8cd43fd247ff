// SPDX-License-Identifier: MIT
// Adapts the process to driver::Run.
#include <string>
#include <vector>

#include "driver/run.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/file.h"
#ifdef _WIN32
#include "platform/wide_win32.h"
#endif

namespace {

int RunWith(const std::vector<std::string>& arguments) {
  platform::PrepareProcess();
  return driver::Run(arguments, {platform::RealFileSystem(), platform::RealConsole(), platform::RealEnvironment()});
}

}  // namespace

#ifdef _WIN32
// The command line is taken as UTF-16, split by the C runtime's usual rules:
// its ANSI form would turn every name outside the code page into '?' or into
// a look-alike that may name another file.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(platform::Utf8FromWide(argv[i]));
  return RunWith(arguments);
}
#else
int main(int argc, char** argv) { return RunWith(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc)); }
#endif
