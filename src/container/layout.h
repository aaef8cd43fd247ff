// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_LAYOUT_H_
#define VARNHOLD_CONTAINER_LAYOUT_H_

// The picture container: a 24-bit bottom-up Windows bitmap whose pixel bytes
// are a payload record followed by zero fill.
//
//   offset  size  field
//   0       54    bitmap file header (14 bytes) and information header (40 bytes)
//   54      1     tag length n
//   55      n     extension tag: the carried file's extension without its dot
//   55+n    4     file length L, unsigned 32-bit
//   59+n    L     the carried file's bytes
//   ...           zero fill up to 54 + W*H*3
//
// Every multi-byte field is little-endian. Rows are not padded: the record
// runs on through the pixel area, so only widths that are multiples of 4 make
// a bitmap that other programs read as intended.

#include <array>
#include <cstddef>
#include <cstdint>

#include "geometry/bitmap_limits.h"

namespace container {

inline constexpr std::size_t kHeaderSize = geometry::kBitmapHeaderSize;
inline constexpr std::size_t kTagLengthSize = 1;
inline constexpr std::size_t kFileLengthSize = 4;
/// The longest extension kept for a file, its dot included: the stored tag
/// (the extension without its dot) then has at most 254 bytes.
inline constexpr std::size_t kMaxExtensionLength = 255;
/// The largest file the encoder accepts: 256 MiB.
inline constexpr std::uint64_t kMaxCarriedLength = 268'435'456;
/// The largest block the copy moves at a time.
inline constexpr std::size_t kCopyBlockSize = 61'440;

/// Stores `value` at `out` as four little-endian bytes.
constexpr void StoreLittleEndian32(std::uint8_t* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

/// Reads four little-endian bytes at `in`.
constexpr std::uint32_t LoadLittleEndian32(const std::uint8_t* in) {
  return static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
         static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

/// Bytes of a payload record with an `tag_length`-byte tag around a file of
/// `file_length` bytes.
constexpr std::uint64_t RecordLength(std::size_t tag_length, std::uint64_t file_length) {
  return kTagLengthSize + tag_length + kFileLengthSize + file_length;
}

/// The most bytes of a record in front of the carried file: the tag length,
/// the longest tag and the file length.
inline constexpr std::size_t kLongestRecordStart = kTagLengthSize + 255 + kFileLengthSize;

/// Bytes of a bitmap's file header, in front of its information header.
inline constexpr std::size_t kFileHeaderSize = 14;
/// The file header and the longest information header (version 5) together.
inline constexpr std::size_t kLongestHeaders = kFileHeaderSize + 124;

/// The 54-byte header of a W x H container. Sizes use 32-bit arithmetic,
/// which is exact whenever `geometry::HeaderCanDescribe(width, height)`.
constexpr std::array<std::uint8_t, kHeaderSize> BuildHeader(std::uint32_t width, std::uint32_t height) {
  std::array<std::uint8_t, kHeaderSize> header{};
  const std::uint32_t image_size = width * height * 3u;
  header[0] = 'B';
  header[1] = 'M';
  StoreLittleEndian32(&header[2], static_cast<std::uint32_t>(kHeaderSize) + image_size);
  StoreLittleEndian32(&header[10], static_cast<std::uint32_t>(kHeaderSize));
  StoreLittleEndian32(&header[14], 40);  // information header size
  StoreLittleEndian32(&header[18], width);
  StoreLittleEndian32(&header[22], height);
  header[26] = 1;   // planes
  header[28] = 24;  // bits per pixel; compression, resolutions and colours stay 0
  StoreLittleEndian32(&header[34], image_size);
  return header;
}

}  // namespace container

#endif  // VARNHOLD_CONTAINER_LAYOUT_H_
