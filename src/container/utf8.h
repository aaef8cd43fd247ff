// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_UTF8_H_
#define VARNHOLD_CONTAINER_UTF8_H_

// Reading UTF-8, for every part of the program and the page that looks at
// text: stored tags, names and the usage text.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace container {

/// Decodes the UTF-8 sequence that starts at `text[position]` and moves
/// `position` past it. A byte that starts no well-formed sequence (a stray
/// continuation byte, an overlong form, a surrogate, a value above U+10FFFF
/// or a sequence cut short) gives nothing and moves `position` by that one
/// byte, so reading resumes at the next one.
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t& position);

/// True when `text` is well-formed UTF-8 from end to end.
bool IsUtf8(std::string_view text);

/// `bytes` read in Windows-1251 (Cyrillic), as UTF-8: each byte below 0x80
/// stays, each other one becomes its character in that code page (0x98,
/// which the code page leaves unassigned, becomes U+0098).
std::string Utf8FromWindows1251(std::string_view bytes);

}  // namespace container

#endif  // VARNHOLD_CONTAINER_UTF8_H_
