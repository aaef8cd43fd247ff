// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_PLATFORM_WIDE_WIN32_H_
#define VARNHOLD_PLATFORM_WIDE_WIN32_H_

// Names travel through the program as UTF-8 bytes; Windows takes and gives
// them as UTF-16. These conversions are the only place the two meet.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// The UTF-16 form of UTF-8 `text`; nothing when `text` is not valid UTF-8,
/// so a malformed name never reaches the file system as a different one.
std::optional<std::wstring> WideFromUtf8(std::string_view text);

/// The UTF-8 form of UTF-16 `text`. A lone surrogate, which no UTF-8 text can
/// carry, becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

/// Converts bytes in code page `code_page` to UTF-8; nothing on failure.
std::optional<std::string> Utf8FromCodePage(std::string_view bytes, unsigned code_page);

/// Converts UTF-8 to code page `code_page`; characters it lacks become '?'.
std::string CodePageFromUtf8(std::string_view text, unsigned code_page);

}  // namespace platform

#endif  // VARNHOLD_PLATFORM_WIDE_WIN32_H_
