// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_TESTING_MEMORY_CONSOLE_H_
#define VARNHOLD_TESTING_MEMORY_CONSOLE_H_

#include <string>

#include "platform/console.h"

namespace test_support {

/// A console that keeps what was written, for tests. It is never a terminal,
/// so texts for a person arrive as their code page 866 bytes.
class MemoryConsole final : public platform::Console {
 public:
  std::string out, error;
  std::string prompts;  ///< every prompt a window was held open with

  void WriteOut(std::string_view bytes) override { out += bytes; }
  void WriteError(std::string_view bytes) override { error += bytes; }
  void WriteText(std::string_view cp866, std::string_view) override { out += cp866; }
  void WriteName(std::string_view utf8) override { out += utf8; }
  void HoldWindowOpen(std::string_view prompt) override { prompts += prompt; }
};

}  // namespace test_support

#endif  // VARNHOLD_TESTING_MEMORY_CONSOLE_H_
