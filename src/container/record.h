// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_RECORD_H_
#define VARNHOLD_CONTAINER_RECORD_H_

// The bytes in front of the carried file, made and read without any I/O, so
// the program and the browser page decide them with the same code.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/fault.h"
#include "geometry/parameters.h"

namespace container {

/// The extension a picture stores for a file whose extension is `extension`
/// ("." and up to 254 bytes, or empty): ".~" when there is none or it could
/// not name a file beside the picture.
std::string StoredExtension(std::string_view extension);

/// How a picture of one file is laid out: what precedes the carried bytes,
/// and how many zero bytes follow them.
struct PicturePlan {
  std::vector<std::uint8_t> record_start;          ///< header, tag length, tag and file length
  std::uint64_t fill_length = 0;                   ///< zero bytes after the carried file
  geometry::Fault fault = geometry::Fault::kNone;  ///< when not kNone, the rest is meaningless
};

/// The picture for a file of `file_length` bytes (at most 256 MiB) whose
/// stored extension is `stored_extension`, shaped by `parameters`.
PicturePlan PlanPicture(const geometry::Parameters& parameters, std::string_view stored_extension,
                        std::uint32_t file_length);

/// What the start of a picture says about the file it carries.
struct RecordStart {
  std::string tag;                ///< up to its first zero byte, as stored
  std::uint32_t file_length = 0;  ///< as stated, whatever the picture holds
  std::size_t length = 0;         ///< bytes in front of the carried file
};

/// Reads the record start from a picture's first bytes; nothing when they end
/// before it does. The header is never checked.
std::optional<RecordStart> ParseRecordStart(std::span<const std::uint8_t> bytes);

/// True when `bytes` is well-formed UTF-8: shortest forms only, no
/// surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view bytes);

}  // namespace container

#endif  // VARNHOLD_CONTAINER_RECORD_H_
