// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_NAMES_H_
#define VARNHOLD_CONTAINER_NAMES_H_

// How the files a run creates are named: the picture is the input's name and
// kPictureSuffix, a restored file the picture's name and the stored
// extension, and either may take kRetrySuffix once.

#include <cstddef>
#include <string>
#include <string_view>

namespace container {

/// Appended to a file's name to name its picture; also the extension, in any
/// ASCII letter case, that makes a run decode rather than encode.
inline constexpr char kPictureSuffix[] = ".bmp";
/// Stored for a file without a usable extension.
inline constexpr char kNoExtensionMarker[] = ".~";
/// Appended to the suffix for the one retry: ".bmp" becomes ".bmp~".
inline constexpr char kRetrySuffix[] = "~";
/// The longest name, in bytes, that a folder entry may have on the file
/// systems Linux writes to: a name that the browser page would offer beyond
/// it is one the program could not create there.
inline constexpr std::size_t kLongestName = 255;

/// The extension of `text`: from the last dot before its final character to
/// the end, or empty when there is none or it would exceed 255 bytes. Folder
/// names are not skipped, so "my.dir/readme" gives ".dir/readme".
std::string ExtensionOf(std::string_view text);

/// True when `extension` is ".bmp" in any ASCII letter case: such files are
/// decoded, every other file is encoded.
bool IsPictureExtension(std::string_view extension);

/// The extension a picture stores for a file whose extension is `extension`
/// ("." and up to 254 bytes, or empty): kNoExtensionMarker when there is none
/// or it could not name a file on every system, because it holds "/", "\" or
/// ":" or a character IsRestorableTag refuses. Every build stores the same.
std::string StoredExtension(std::string_view extension);

/// True when a stored tag (already cut at its first zero byte, and in the
/// form this system takes names) can name a file beside the picture here: it
/// holds no folder separator of this system and no control character. Those
/// are the bytes 0x01 to 0x1F and 0x7F, and in a tag that is UTF-8 also the
/// C1 controls (U+0080 to U+009F) and the characters that reorder text
/// (U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069): any of them would
/// reach the name and, raw, a terminal or a listing that shows it.
bool IsRestorableTag(std::string_view tag);

/// True when a browser that saves a file offered as `name` may save it under
/// another name: one that starts with a dot or ends in "~" or ".".
bool BrowsersMayRename(std::string_view name);

}  // namespace container

#endif  // VARNHOLD_CONTAINER_NAMES_H_
