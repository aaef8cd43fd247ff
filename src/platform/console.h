// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_PLATFORM_CONSOLE_H_
#define VARNHOLD_PLATFORM_CONSOLE_H_

#include <string_view>

namespace platform {

/// The two standard output streams. Writes never end the process: a closed or
/// broken stream loses the text and the run goes on to its exit code.
class Console {
 public:
  virtual ~Console() = default;

  /// Writes bytes to standard output unchanged.
  virtual void WriteOut(std::string_view bytes) = 0;
  /// Writes bytes to standard error unchanged.
  virtual void WriteError(std::string_view bytes) = 0;
  /// Writes a text meant for a person: readable characters on a terminal that
  /// can show them (`utf8`), the stored code page 866 bytes anywhere else
  /// (`cp866`), so scripts and files always receive the same bytes.
  virtual void WriteText(std::string_view cp866, std::string_view utf8) = 0;
  /// Writes a UTF-8 name part (a suffix) to standard output as the bytes a
  /// script reads back as that name: ASCII unchanged everywhere, other
  /// characters in the code page the system's console tools read it in.
  virtual void WriteName(std::string_view utf8) = 0;
  /// When the text just written went to a console window that is visible and
  /// serves this process alone, and standard input is that console too (a
  /// window that would close as the run ends), shows the UTF-8 `prompt` (one
  /// or more lines) in that window only and waits for a key. Returns at once,
  /// showing nothing, in every other case.
  virtual void HoldWindowOpen(std::string_view prompt) = 0;
};

/// The process's own standard streams.
Console& RealConsole();

/// Prepares the process so that neither writing to a closed pipe nor writing
/// past the file size limit ends it (the write fails instead), and the
/// standard streams carry bytes unchanged. Called once by `main`.
void PrepareProcess();

}  // namespace platform

#endif  // VARNHOLD_PLATFORM_CONSOLE_H_
