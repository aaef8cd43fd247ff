// SPDX-License-Identifier: MIT
#include "driver/naming.h"

#include "container/layout.h"
#include "container/names.h"

namespace driver {

std::string ExtensionOf(std::string_view text) {
  if (text.size() < 2) return {};
  // The final character is never examined: "notes." has no extension.
  std::size_t dot = text.rfind('.', text.size() - 2);
  if (dot == std::string_view::npos || text.size() - dot > container::kMaxExtensionLength) return {};
  return std::string(text.substr(dot));
}

bool IsPictureExtension(std::string_view extension) {
  constexpr std::string_view kPicture = container::kPictureSuffix;
  if (extension.size() != kPicture.size()) return false;
  for (std::size_t i = 0; i < extension.size(); ++i) {
    char c = extension[i];
    // Only A-Z fold: the comparison must not depend on the locale's code page.
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kPicture[i]) return false;
  }
  return true;
}

}  // namespace driver
