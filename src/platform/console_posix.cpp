// POSIX standard streams: raw writes, so nothing is buffered past the exit.
#include <errno.h>
#include <langinfo.h>
#include <locale.h>
#include <signal.h>
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

bool TerminalShowsUtf8(int fd) {
  if (!::isatty(fd)) return false;
  ::setlocale(LC_CTYPE, "");
  const char* codeset = ::nl_langinfo(CODESET);
  bool utf8 = codeset != nullptr && (::strcasecmp(codeset, "UTF-8") == 0 ||
                                     ::strcasecmp(codeset, "utf8") == 0);
  ::setlocale(LC_CTYPE, "C");
  return utf8;
}

class PosixConsole final : public Console {
 public:
  void WriteOut(std::string_view bytes) override { WriteToDescriptor(STDOUT_FILENO, bytes); }
  void WriteError(std::string_view bytes) override { WriteToDescriptor(STDERR_FILENO, bytes); }
  void WriteText(std::string_view cp866, std::string_view utf8) override {
    WriteOut(TerminalShowsUtf8(STDOUT_FILENO) ? utf8 : cp866);
  }
};

}  // namespace

Console& RealConsole() {
  static PosixConsole console;
  return console;
}

void PrepareProcess() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace platform
