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
      {"plain ascii", true},
      {"\x7F", true},
      {"\xC2\x80", true},          // U+0080, the smallest two-byte form
      {"\xDF\xBF", true},          // U+07FF
      {"\xE0\xA0\x80", true},      // U+0800
      {"\xED\x9F\xBF", true},      // U+D7FF, just below the surrogates
      {"\xEE\x80\x80", true},      // U+E000, just above them
      {"\xF0\x90\x80\x80", true},  // U+10000
      {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF, the largest
      {"\xC0\x80", false},         // overlong forms of U+0000, "/" and U+07FF
      {"\xC0\xAF", false},
      {"\xC1\xBF", false},
      {"\xE0\x9F\xBF", false},
      {"\xF0\x8F\xBF\xBF", false},
      {"\xED\xA0\x80", false},  // surrogates, alone or paired
      {"\xED\xBF\xBF", false},
      {"\xED\xA0\xBD\xED\xB8\x80", false},
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\xFF", false},
      {"\xC3", false},  // sequences cut short, at the end or by another byte
      {"\xE2\x82", false},
      {"\xF0\x9F\x98", false},
      {"\xE2\x82"
       "a",
       false},
      {"\x80", false},  // a continuation byte with no lead
      {"a\xC3\xA9\xBF", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsUtf8(c.text), c.utf8) << testing::PrintToString(c.text);
}

}  // namespace
}  // namespace container
