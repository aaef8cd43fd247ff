// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_NAMES_H_
#define VARNHOLD_CONTAINER_NAMES_H_

// How the files a run creates are named: the picture is the input's name and
// kPictureSuffix, a restored file the picture's name and the stored
// extension, and either may take kRetrySuffix once.

#include <algorithm>
#include <string_view>

#include "platform/file.h"

namespace container {

/// Appended to a file's name to name its picture; also the extension, in any
/// ASCII letter case, that makes a run decode rather than encode.
inline constexpr char kPictureSuffix[] = ".bmp";
/// Stored for a file without a usable extension.
inline constexpr char kNoExtensionMarker[] = ".~";
/// Appended to the suffix for the one retry: ".bmp" becomes ".bmp~".
inline constexpr char kRetrySuffix[] = "~";

/// True when a stored tag (already cut at its first zero byte) can name a
/// file beside the picture: it holds no folder separator and no control byte
/// (0x01 to 0x1F, 0x7F), which would end up in the name and, raw, on a
/// terminal. Pictures are restored only from such tags, and the encoder
/// stores only such extensions.
inline bool IsRestorableTag(std::string_view tag) {
  return std::none_of(tag.begin(), tag.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return platform::IsPathSeparator(c) || byte < 0x20 || byte == 0x7F;
  });
}

}  // namespace container

#endif  // VARNHOLD_CONTAINER_NAMES_H_
