// SPDX-License-Identifier: MIT
#include "container/utf8.h"

#include <gtest/gtest.h>

namespace container {
namespace {

TEST(IsUtf8Test, ShortestFormsOfScalarValuesOnly) {
  struct Case {
    std::string text;
    bool utf8;
  } cases[] = {
      {"", true},
      {"\x7F", true},
      {"\xC2\x80", true},          // U+0080, the smallest two-byte form
      {"\xED\x9F\xBF", true},      // U+D7FF, below the surrogates
      {"\xEE\x80\x80", true},      // U+E000, above them
      {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF, the largest
      {"\xC0\xAF", false},         // overlong forms of "/" and U+07FF
      {"\xE0\x9F\xBF", false},
      {"\xF0\x8F\xBF\xBF", false},
      {"\xED\xA0\x80", false},      // a surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\xE2\x82", false},  // cut short, at the end or by another byte
      {"\xE2\x82"
       "a",
       false},
      {"\x80", false},  // a continuation byte with no lead
  };
  for (const Case& c : cases) EXPECT_EQ(IsUtf8(c.text), c.utf8) << testing::PrintToString(c.text);
}

}  // namespace
}  // namespace container
