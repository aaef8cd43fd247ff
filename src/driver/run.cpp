// SPDX-License-Identifier: MIT
#include "driver/run.h"

#include <exception>
#include <new>

#include "container/decoder.h"
#include "container/encoder.h"
#include "container/names.h"
#include "driver/exit_code.h"
#include "driver/fault_text.h"
#include "driver/usage_text.h"

namespace driver {
namespace {

int ShowUsage(platform::Console& console) {
  console.WriteText(UsageTextCp866(), UsageTextUtf8());
  // Started by a double click, the window would close before anyone read it.
  console.HoldWindowOpen(UsagePromptUtf8());
  return kUsage;
}

// Nothing goes to standard output: a script capturing it must not mistake the
// message for a suffix or a code.
int FailGenerically(platform::Console& console, std::string_view what) {
  console.WriteError("varnhold: ");
  console.WriteError(what);
  console.WriteError("\n\n");
  return kInputFailed;
}

// The one place where outcomes become exit codes and standard output.
int Report(const container::Outcome& outcome, platform::Console& console) {
  if (outcome.result == container::Result::kArithmeticFault) {
    return FailGenerically(console, DescribeFault(outcome.fault));
  }
  const ExitCode code = ExitCodeFor(outcome.result);
  if (code == kSuccess) {
    console.WriteName(outcome.suffix);
  } else {
    console.WriteOut(std::to_string(static_cast<int>(code)));
    // A dropped file that fails would otherwise show its digit for a moment
    // and no file: the window stays to say why, exactly as for the usage text.
    console.HoldWindowOpen(FailurePromptUtf8(code));
  }
  return code;
}

}  // namespace

int Run(const std::vector<std::string>& arguments, const System& system) {
  if (arguments.size() != 1) return ShowUsage(system.console);
  const std::string& argument = arguments[0];
  // Devices, FIFOs and names that exist but cannot be looked at count as
  // existing files here and are refused when opened, with the input's own code.
  platform::NameKind kind = system.files.KindOf(argument);
  if (kind == platform::NameKind::kMissing || kind == platform::NameKind::kDirectory) {
    return ShowUsage(system.console);
  }

  try {
    container::Outcome outcome = container::IsPictureExtension(container::ExtensionOf(argument))
                                     ? container::DecodePicture(system.files, argument)
                                     : container::EncodeFile(system.files, system.environment, argument);
    return Report(outcome, system.console);
  } catch (const std::bad_alloc&) {
    return FailGenerically(system.console, "out of memory");
  } catch (const std::exception& error) {
    return FailGenerically(system.console, error.what());
  }
}

}  // namespace driver
