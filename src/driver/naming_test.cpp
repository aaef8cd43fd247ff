// SPDX-License-Identifier: MIT
#include "driver/naming.h"

#include <gtest/gtest.h>

namespace driver {
namespace {

TEST(ExtensionOfTest, TakesFromTheLastDotBeforeTheFinalCharacter) {
  struct Case {
    std::string text, extension;
  } cases[] = {
      {"C:\\song.mp3", ".mp3"},
      {"archive.tar.gz", ".gz"},
      {"IMAGE.BMP", ".BMP"},
      {"C:\\my.dir\\readme", ".dir\\readme"},
      {"my.dir/readme", ".dir/readme"},
      {"notes.", ""},  // the final character is never examined
      {"a.b.", ".b."},
      {"readme", ""},
      {".", ""},
      {"", ""},
      {"..", ".."},
      {".x", ".x"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtensionOf(c.text), c.extension) << c.text;
}

TEST(ExtensionOfTest, LongerThan255BytesIsNoExtension) {
  EXPECT_EQ(ExtensionOf("a." + std::string(254, 'x')).size(), 255u);
  EXPECT_EQ(ExtensionOf("a." + std::string(255, 'x')), "");
  // The scan does not stop at a long extension: an earlier dot is not used.
  EXPECT_EQ(ExtensionOf("a.b." + std::string(255, 'x')), "");
}

TEST(IsPictureExtensionTest, OnlyBmpInAnyLetterCase) {
  for (const char* yes : {".bmp", ".BMP", ".bMp"}) EXPECT_TRUE(IsPictureExtension(yes)) << yes;
  for (const char* no : {".png", ".bmpx", "bmp", ".bm", "", ".bmp ", ".\xC2mp"}) {
    EXPECT_FALSE(IsPictureExtension(no)) << no;
  }
}

}  // namespace
}  // namespace driver
