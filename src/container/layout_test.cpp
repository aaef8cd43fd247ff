// SPDX-License-Identifier: MIT
#include "container/layout.h"

#include <gtest/gtest.h>

namespace container {
namespace {

TEST(LayoutTest, HeaderOfSmallestPicture) {
  // An 8 x 1 picture: 24 pixel bytes, so 78 bytes in all.
  const std::array<std::uint8_t, kHeaderSize> expected = {
      'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
      40,  0,   0,  0, 8, 0, 0, 0, 1, 0, 0,  0, 1, 0, 24, 0, 0, 0, 0, 0,
      24,  0,   0,  0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0};
  EXPECT_EQ(BuildHeader(8, 1), expected);
}

TEST(LayoutTest, SizesAreLittleEndian32) {
  // 584 x 571 carries a million-byte file: 54 + 1,000,392 bytes.
  const auto header = BuildHeader(584, 571);
  EXPECT_EQ(LoadLittleEndian32(&header[2]), 54u + 584u * 571u * 3u);
  EXPECT_EQ(LoadLittleEndian32(&header[18]), 584u);
  EXPECT_EQ(LoadLittleEndian32(&header[22]), 571u);
  EXPECT_EQ(LoadLittleEndian32(&header[34]), 584u * 571u * 3u);

  std::uint8_t bytes[4];
  StoreLittleEndian32(bytes, 0x12345678u);
  EXPECT_EQ(bytes[0], 0x78);
  EXPECT_EQ(bytes[3], 0x12);
  EXPECT_EQ(LoadLittleEndian32(bytes), 0x12345678u);
}

}  // namespace
}  // namespace container
