// SPDX-License-Identifier: MIT
// POSIX standard streams: raw writes, so nothing is buffered past the exit.
#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "platform/console.h"

namespace platform {
namespace {

void WriteToDescriptor(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;  // a closed stream loses the text; the exit code still tells
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
}

// The locale is read from the environment the way setlocale would choose it,
// without changing the process's locale and without locale files, which a
// statically linked program may not be able to load.
bool TerminalShowsUtf8(int fd) {
  if (!::isatty(fd)) return false;
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = ::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    return ::strcasestr(value, "UTF-8") != nullptr || ::strcasestr(value, "utf8") != nullptr;
  }
  return false;
}

class PosixConsole final : public Console {
 public:
  void WriteOut(std::string_view bytes) override { WriteToDescriptor(STDOUT_FILENO, bytes); }
  void WriteError(std::string_view bytes) override { WriteToDescriptor(STDERR_FILENO, bytes); }
  void WriteText(std::string_view cp866, std::string_view utf8) override {
    WriteOut(TerminalShowsUtf8(STDOUT_FILENO) ? utf8 : cp866);
  }
  // Names are bytes here, and UTF-8 bytes stay what they are.
  void WriteName(std::string_view utf8) override { WriteOut(utf8); }
  // A terminal outlives the program; nothing closes with it.
  void HoldWindowOpen(std::string_view) override {}
};

}  // namespace

Console& RealConsole() {
  static PosixConsole console;
  return console;
}

void PrepareProcess() {
  // Both signals would end the run without its exit code: a closed pipe then
  // only loses the report, and a write past the file size limit fails with
  // EFBIG in the stage that made it, like any other write failure.
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace platform
