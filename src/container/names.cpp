// SPDX-License-Identifier: MIT
#include "container/names.h"

#include <algorithm>

#include "container/layout.h"
#include "container/utf8.h"
#include "platform/file.h"

namespace container {
namespace {

bool IsControlByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

bool IsControlCharacter(char32_t code) {
  const bool c1 = code >= 0x80 && code <= 0x9F;
  const bool reordering =
      code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
  return code < 0x20 || code == 0x7F || c1 || reordering;
}

// Text that is not UTF-8 means characters of some single-byte code page, in
// which only the ASCII controls are known to be controls.
bool HoldsControl(std::string_view text) {
  if (!IsUtf8(text)) {
    return std::any_of(text.begin(), text.end(), [](char c) { return IsControlByte(static_cast<unsigned char>(c)); });
  }
  for (std::size_t position = 0; position < text.size();) {
    if (IsControlCharacter(*NextCodePoint(text, position))) return true;
  }
  return false;
}

}  // namespace

std::string ExtensionOf(std::string_view text) {
  if (text.size() < 2) return {};
  // The final character is never examined: "notes." has no extension.
  std::size_t dot = text.rfind('.', text.size() - 2);
  if (dot == std::string_view::npos || text.size() - dot > kMaxExtensionLength) return {};
  return std::string(text.substr(dot));
}

bool IsPictureExtension(std::string_view extension) {
  constexpr std::string_view kPicture = kPictureSuffix;
  if (extension.size() != kPicture.size()) return false;
  for (std::size_t i = 0; i < extension.size(); ++i) {
    char c = extension[i];
    // Only A-Z fold: the comparison must not depend on the locale's code page.
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kPicture[i]) return false;
  }
  return true;
}

// A dot that lay in a folder name gives an "extension" with a separator in
// it; that, or a control character, could never be restored beside the
// picture, so such files are stored as having none. The separators of every
// system are refused, so that a picture made anywhere restores everywhere and
// every build makes the same picture from the same file.
std::string StoredExtension(std::string_view extension) {
  const bool portable = extension.find_first_of("/\\:") == std::string_view::npos;
  if (extension.empty() || !portable || HoldsControl(extension)) return kNoExtensionMarker;
  return std::string(extension);
}

bool IsRestorableTag(std::string_view tag) {
  return std::none_of(tag.begin(), tag.end(), platform::IsPathSeparator) && !HoldsControl(tag);
}

bool BrowsersMayRename(std::string_view name) {
  return !name.empty() && (name.front() == '.' || name.back() == '~' || name.back() == '.');
}

}  // namespace container
