// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_GEOMETRY_BITMAP_LIMITS_H_
#define VARNHOLD_GEOMETRY_BITMAP_LIMITS_H_

// What a 24-bit bitmap header can state. The shape search must stay inside
// these limits and the container writes the header, so both read them here.

#include <cstdint>

namespace geometry {

/// Bytes in front of the pixels: the file header (14) and the information header (40).
inline constexpr std::uint32_t kBitmapHeaderSize = 54;
/// The largest file length the header's 32-bit size field can state.
inline constexpr std::uint64_t kMaxBitmapLength = 0xFFFF'FFFFu;
/// The most pixels a bitmap can hold: 54 + 3 * pixels must fit the size field.
inline constexpr std::uint64_t kMaxBitmapPixels = (kMaxBitmapLength - kBitmapHeaderSize) / 3;
/// The longest side the header's signed 32-bit width and height can state.
inline constexpr std::uint32_t kMaxBitmapSide = 0x7FFF'FFFFu;

/// True when a bitmap header can state a W x H picture: neither side is zero
/// or beyond `kMaxBitmapSide`, and the whole file fits the 32-bit size field.
constexpr bool HeaderCanDescribe(std::uint32_t width, std::uint32_t height) {
  if (width == 0 || height == 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) return false;
  return std::uint64_t{width} * height <= kMaxBitmapPixels;
}

}  // namespace geometry

#endif  // VARNHOLD_GEOMETRY_BITMAP_LIMITS_H_
