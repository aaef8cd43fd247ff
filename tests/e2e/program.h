// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_TESTS_E2E_PROGRAM_H_
#define VARNHOLD_TESTS_E2E_PROGRAM_H_

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testing/bytes.h"

namespace e2e {

using test_support::Bytes;
using test_support::Pattern;

/// What one run of the program did.
struct Finished {
  int exit_code = -1;  ///< -1 when it did not exit normally
  std::string out, error;
  bool waited_for_key = false;  ///< in a console window, it read the key pressed there
};

/// Windows only: the console window a run shows in. A key is pressed in it.
enum class Window {
  kNone,  ///< none: the standard streams are pipes
  /// One of its own, as a file dropped onto the program gets: the streams are
  /// that window, and `out` is the text it shows once the run has ended.
  kOwn,
  kOwnOutputPiped,  ///< one of its own, with standard output and error pipes
  kSharedWithCmd,   ///< one the program shares with `cmd /c`, as a batch file runs it
};

/// How long one run may take, under a checker or an emulator too: far more
/// than any run needs, and far less than CTest's limit for a whole test.
inline constexpr int kRunLimitSeconds = 120;

/// How to start the program.
struct Launch {
  explicit Launch(std::vector<std::string> args = {}, std::map<std::string, std::string> env = {})
      : arguments(std::move(args)), environment(std::move(env)) {}

  std::vector<std::string> arguments;
  std::map<std::string, std::string> environment;  ///< added to a clean environment
  std::function<void()> in_child;                  ///< runs in the child just before exec
  bool broken_stdout = false;                      ///< standard output is a pipe nobody reads
  bool terminal_stdout = false;                    ///< standard output is a terminal (POSIX only)
  Window window = Window::kNone;                   ///< the console window (Windows only)
  int limit_seconds = kRunLimitSeconds;            ///< when a run still going is ended
};

/// Runs the program under test in `folder` and waits for it. A run still
/// going after its limit is ended and reported by an exception that names
/// its arguments.
Finished RunProgram(const std::string& folder, const Launch& launch);

/// The exception's text for a run that did not end in time.
std::string DidNotEnd(const Launch& launch);

/// A fresh empty folder, removed with everything in it when destroyed. Names
/// and paths are UTF-8.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const Bytes& bytes) const;
  std::optional<Bytes> Read(const std::string& name) const;
  /// The names in the folder, sorted.
  std::vector<std::string> Names() const;

 private:
  std::string path_;
};

}  // namespace e2e

#endif  // VARNHOLD_TESTS_E2E_PROGRAM_H_
