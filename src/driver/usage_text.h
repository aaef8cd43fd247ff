// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_DRIVER_USAGE_TEXT_H_
#define VARNHOLD_DRIVER_USAGE_TEXT_H_

#include <string>
#include <string_view>

#include "driver/exit_code.h"

namespace driver {

/// The usage text as UTF-8: 62 lines, each followed by CR LF, so the text ends
/// in CR LF and nothing more needs to be appended when it is written.
std::string_view UsageTextUtf8();

/// The line that asks a person who started the program by a double click to
/// press a key after the usage text, in the usage text's language.
std::string_view UsagePromptUtf8();

/// What a window held open after a failure shows below the printed code
/// (1 to 4): a line in the usage text's language saying what failed, then the
/// prompt to press a key. Empty for any other code.
std::string FailurePromptUtf8(ExitCode code);

/// Converts UTF-8 to code page 866 bytes. ASCII passes through unchanged;
/// every code point without a CP866 byte, and every malformed byte, becomes '?'.
std::string ToCp866(std::string_view utf8);

/// The usage text as the exact CP866 bytes written when standard output is
/// not a UTF-8 terminal; equal to ToCp866(UsageTextUtf8()).
std::string UsageTextCp866();

}  // namespace driver

#endif  // VARNHOLD_DRIVER_USAGE_TEXT_H_
