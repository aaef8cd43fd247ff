// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_DRIVER_NAMING_H_
#define VARNHOLD_DRIVER_NAMING_H_

#include <string>
#include <string_view>

namespace driver {

/// The extension of `text`: from the last dot before its final character to
/// the end, or empty when there is none or it would exceed 255 bytes. Folder
/// names are not skipped, so "my.dir/readme" gives ".dir/readme".
std::string ExtensionOf(std::string_view text);

/// True when `extension` is ".bmp" in any ASCII letter case: such files are
/// decoded, every other file is encoded.
bool IsPictureExtension(std::string_view extension);

}  // namespace driver

#endif  // VARNHOLD_DRIVER_NAMING_H_
