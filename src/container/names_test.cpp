// SPDX-License-Identifier: MIT
#include "container/names.h"

#include <gtest/gtest.h>

namespace container {
namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

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

// One table for both rules: what the encoder stores for an extension, and
// whether a decoder here restores a tag. On POSIX only "/" separates folders,
// so "\" and ":" are restored but never stored: every build stores the same.
TEST(TagRulesTest, StoredAndRestoredExtensions) {
  struct Case {
    std::string extension, stored;
    bool restorable;
  } cases[] = {
      {".mp3", ".mp3", true},
      {"", ".~", true},
      {".dir/readme", ".~", false},  // the dot belongs to a folder
      {".a\\b", ".~", !kWindows},
      {".a:b", ".~", !kWindows},
      {".tx\nt", ".~", false},
      {".\xC2\x9B", ".~", false},         // U+009B, a C1 control
      {".txt\xE2\x80\xAE", ".~", false},  // U+202E, which reverses what follows
      {".\xE2\x81\xA9"
       "a",
       ".~", false},                     // U+2069, the last of them
      {".\xC2\xA0", ".\xC2\xA0", true},  // U+00A0, just after the C1 controls
      {".\x9B\xE9", ".\x9B\xE9", true},  // not UTF-8: bytes of some code page
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StoredExtension(c.extension), c.stored) << testing::PrintToString(c.extension);
    EXPECT_EQ(IsRestorableTag(c.extension), c.restorable) << testing::PrintToString(c.extension);
  }
}

}  // namespace
}  // namespace container
