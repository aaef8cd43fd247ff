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
};

/// The process's own standard streams.
Console& RealConsole();

/// Prepares the process so that neither writing to a closed pipe nor writing
/// past the file size limit ends it (the write fails instead), and the
/// standard streams carry bytes unchanged. Called once by `main`.
void PrepareProcess();

}  // namespace platform

#endif  // VARNHOLD_PLATFORM_CONSOLE_H_
