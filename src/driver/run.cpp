#include "driver/run.h"

#include <exception>
#include <new>

#include "container/decoder.h"
#include "container/encoder.h"
#include "driver/exit_code.h"
#include "driver/fault_text.h"
#include "driver/naming.h"
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
  auto fail_with = [&console](ExitCode code) {
    console.WriteOut(std::to_string(static_cast<int>(code)));
    // A dropped file that fails would otherwise show its digit for a moment
    // and no file: the window stays to say why, exactly as for the usage text.
    console.HoldWindowOpen(FailurePromptUtf8(code));
    return code;
  };
  switch (outcome.result) {
    case container::Result::kSuccess:
      console.WriteName(outcome.suffix);
      return kSuccess;
    case container::Result::kInputUnavailable:
      return fail_with(kInputFailed);
    case container::Result::kOutputUnavailable:
      return fail_with(kOutputFailed);
    case container::Result::kRecordFailed:
      return fail_with(kRecordFailed);
    case container::Result::kCopyFailed:
      return fail_with(kCopyFailed);
    case container::Result::kArithmeticFault:
      return FailGenerically(console, DescribeFault(outcome.fault));
  }
  return FailGenerically(console, "unknown outcome");
}

}  // namespace

int Run(const std::vector<std::string>& arguments, const System& system) {
  if (arguments.size() != 1) return ShowUsage(system.console);
  const std::string& argument = arguments[0];
  // Devices and FIFOs count as existing files here and are refused when
  // opened, with the input's own code.
  platform::NameKind kind = system.files.KindOf(argument);
  if (kind == platform::NameKind::kMissing || kind == platform::NameKind::kDirectory) {
    return ShowUsage(system.console);
  }

  try {
    const std::string extension = ExtensionOf(argument);
    container::Outcome outcome = IsPictureExtension(extension)
                                     ? container::DecodePicture(system.files, argument)
                                     : container::EncodeFile(system.files, system.environment, argument, extension);
    return Report(outcome, system.console);
  } catch (const std::bad_alloc&) {
    return FailGenerically(system.console, "out of memory");
  } catch (const std::exception& error) {
    return FailGenerically(system.console, error.what());
  }
}

}  // namespace driver
