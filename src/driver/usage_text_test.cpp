// SPDX-License-Identifier: MIT
#include "driver/usage_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace driver {
namespace {

std::string Bytes(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

// Splits on CR LF; the text must end in CR LF, so no trailing piece is left.
std::vector<std::string> SplitCrLf(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find("\r\n", start)) != std::string_view::npos; start = at + 2)
    lines.emplace_back(text.substr(start, at - start));
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

std::uint64_t Fnv1a64(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3u;
  }
  return hash;
}

TEST(ToCp866, MapsEveryRussianLetter) {
  const std::string upper_to_p = ToCp866("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмноп");
  ASSERT_EQ(upper_to_p.size(), 48u);
  for (std::size_t i = 0; i < upper_to_p.size(); ++i)
    EXPECT_EQ(static_cast<unsigned char>(upper_to_p[i]), 0x80 + i) << i;

  const std::string r_to_ya = ToCp866("рстуфхцчшщъыьэюя");
  ASSERT_EQ(r_to_ya.size(), 16u);
  for (std::size_t i = 0; i < r_to_ya.size(); ++i) EXPECT_EQ(static_cast<unsigned char>(r_to_ya[i]), 0xE0 + i) << i;

  EXPECT_EQ(ToCp866("АаПпРрЯяЁё"), Bytes({0x80, 0xA0, 0x8F, 0xAF, 0x90, 0xE0, 0x9F, 0xEF, 0xF0, 0xF1}));
}

TEST(ToCp866, MapsTheTopRow) {
  EXPECT_EQ(ToCp866("ЁёЄєЇїЎў°∙·√№¤■\u00A0"),
            Bytes({0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF}));
}

TEST(ToCp866, KeepsAsciiAndReplacesWhatItCannotMap) {
  const std::string ascii = "\r\n\t `\\\"%~ az AZ 09 \x7f";
  EXPECT_EQ(ToCp866(ascii), ascii);
  EXPECT_EQ(ToCp866(std::string_view("a\0b", 3)), std::string("a\0b", 3));
  // Letters outside CP866 (Ukrainian Ґ, Latin é, CJK, emoji): one '?' each.
  EXPECT_EQ(ToCp866("Ґé中😀x"), "????x");
  // Malformed UTF-8 (stray continuation, truncated, overlong, surrogate):
  // every bad byte becomes '?' and decoding resumes at the next byte.
  EXPECT_EQ(ToCp866("\x80"
                    "a"),
            "?a");
  EXPECT_EQ(ToCp866("\xD0"), "?");
  EXPECT_EQ(ToCp866("\xD0"
                    "a"),
            "?a");
  EXPECT_EQ(ToCp866("\xC0\xAF"), "??");
  EXPECT_EQ(ToCp866("\xED\xA0\x80"), "???");
  EXPECT_EQ(ToCp866("\xFF"
                    "Я"),
            Bytes({'?', 0x9F}));
}

TEST(UsageText, HasSixtyTwoLinesEachEndedByCrLf) {
  for (const std::string& text : {std::string(UsageTextUtf8()), UsageTextCp866()}) {
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_NE(text.substr(text.size() - 4), "\r\n\r\n") << "doubled final CR LF";
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') {
        EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "lone LF at " << i;
      }
      if (text[i] == '\r') {
        EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "lone CR at " << i;
      }
    }
    EXPECT_EQ(SplitCrLf(text).size(), 62u);
  }
}

TEST(FailurePrompt, OneReasonLineNamingTheCodeAboveTheKeyPrompt) {
  for (ExitCode code : {kInputFailed, kOutputFailed, kRecordFailed, kCopyFailed}) {
    SCOPED_TRACE(code);
    const std::string prompt = FailurePromptUtf8(code);
    const std::string head = "\r\nОшибка " + std::to_string(code) + ": ";
    const std::string tail = "\r\n" + std::string(UsagePromptUtf8());
    ASSERT_GT(prompt.size(), head.size() + tail.size());
    EXPECT_EQ(prompt.substr(0, head.size()), head);
    EXPECT_EQ(prompt.substr(prompt.size() - tail.size()), tail);
    // One line that an 80-column console shows unbroken, in letters the
    // usage text's code page holds.
    const std::string reason = ToCp866(prompt.substr(2, prompt.size() - 2 - tail.size()));
    EXPECT_EQ(reason.find_first_of("\r\n?"), std::string::npos) << reason;
    EXPECT_LT(reason.size(), 80u);
  }
  EXPECT_EQ(FailurePromptUtf8(kSuccess), "");
  EXPECT_EQ(FailurePromptUtf8(kUsage), "");
}

TEST(UsageText, Cp866HoldsOnlyAsciiAndRussianLetters) {
  const std::string text = UsageTextCp866();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    // 0xB0..0xDF (box drawing) would include 0xD0/0xD1, the lead bytes of
    // UTF-8 Cyrillic left unconverted; '?' would be a character that failed to map.
    const bool letter =
        (byte >= 0x80 && byte <= 0xAF) || (byte >= 0xE0 && byte <= 0xEF) || byte == 0xF0 || byte == 0xF1;
    const bool printable_ascii = byte >= 0x20 && byte < 0x7F && byte != '?';
    EXPECT_TRUE(letter || printable_ascii || byte == '\r' || byte == '\n')
        << "byte 0x" << std::hex << int(byte) << " at " << std::dec << i;
  }
}

// Lengths and hashes of the exact bytes of the published text, computed
// outside this code with an independent CP866 codec.
TEST(UsageText, MatchesPinnedLengthAndHash) {
  EXPECT_EQ(UsageTextUtf8().size(), 5031u);
  EXPECT_EQ(Fnv1a64(UsageTextUtf8()), 0x5b93df81731e178eu);
  const std::string cp866 = UsageTextCp866();
  EXPECT_EQ(cp866.size(), 3197u);
  EXPECT_EQ(Fnv1a64(cp866), 0x8adf035bef99054cu);
}

TEST(UsageText, SelectedLinesMatchHandCheckedBytes) {
  const std::vector<std::string> lines = SplitCrLf(UsageTextCp866());
  ASSERT_EQ(lines.size(), 62u);
  EXPECT_EQ(lines[0], "Varnhold v1.1! Ostrelind.");
  EXPECT_EQ(lines[1], "");
  // "Программа позволяет преобразовать ЛЮБОЙ файл в картинку Bitmap."
  EXPECT_EQ(lines[2],
            Bytes({0x8F, 0xE0, 0xAE, 0xA3, 0xE0, 0xA0, 0xAC, 0xAC, 0xA0, 0x20, 0xAF, 0xAE, 0xA7, 0xA2, 0xAE, 0xAB,
                   0xEF, 0xA5, 0xE2, 0x20, 0xAF, 0xE0, 0xA5, 0xAE, 0xA1, 0xE0, 0xA0, 0xA7, 0xAE, 0xA2, 0xA0, 0xE2,
                   0xEC, 0x20, 0x8B, 0x9E, 0x81, 0x8E, 0x89, 0x20, 0xE4, 0xA0, 0xA9, 0xAB, 0x20, 0xA2, 0x20, 0xAA,
                   0xA0, 0xE0, 0xE2, 0xA8, 0xAD, 0xAA, 0xE3, 0x20, 0x42, 0x69, 0x74, 0x6D, 0x61, 0x70, 0x2E}));
  // "VARNHOLD_DIVISOR - целое, кратность ширины (1 для любой);нечётные"
  EXPECT_EQ(lines[25],
            Bytes({0x56, 0x41, 0x52, 0x4E, 0x48, 0x4F, 0x4C, 0x44, 0x5F, 0x44, 0x49, 0x56, 0x49, 0x53, 0x4F, 0x52, 0x20,
                   0x2D, 0x20, 0xE6, 0xA5, 0xAB, 0xAE, 0xA5, 0x2C, 0x20, 0xAA, 0xE0, 0xA0, 0xE2, 0xAD, 0xAE, 0xE1, 0xE2,
                   0xEC, 0x20, 0xE8, 0xA8, 0xE0, 0xA8, 0xAD, 0xEB, 0x20, 0x28, 0x31, 0x20, 0xA4, 0xAB, 0xEF, 0x20, 0xAB,
                   0xEE, 0xA1, 0xAE, 0xA9, 0x29, 0x3B, 0xAD, 0xA5, 0xE7, 0xF1, 0xE2, 0xAD, 0xEB, 0xA5}));
  // " файла, потому как оно извлекается из самой картинки и неизвестно заранее."
  EXPECT_EQ(lines[54], Bytes({0x20, 0xE4, 0xA0, 0xA9, 0xAB, 0xA0, 0x2C, 0x20, 0xAF, 0xAE, 0xE2, 0xAE, 0xAC, 0xE3, 0x20,
                              0xAA, 0xA0, 0xAA, 0x20, 0xAE, 0xAD, 0xAE, 0x20, 0xA8, 0xA7, 0xA2, 0xAB, 0xA5, 0xAA, 0xA0,
                              0xA5, 0xE2, 0xE1, 0xEF, 0x20, 0xA8, 0xA7, 0x20, 0xE1, 0xA0, 0xAC, 0xAE, 0xA9, 0x20, 0xAA,
                              0xA0, 0xE0, 0xE2, 0xA8, 0xAD, 0xAA, 0xA8, 0x20, 0xA8, 0x20, 0xAD, 0xA5, 0xA8, 0xA7, 0xA2,
                              0xA5, 0xE1, 0xE2, 0xAD, 0xAE, 0x20, 0xA7, 0xA0, 0xE0, 0xA0, 0xAD, 0xA5, 0xA5, 0x2E}));
  EXPECT_EQ(lines[61], R"(if "%file:~0,1%" == "." start "" "%~1%file%")");
}

}  // namespace
}  // namespace driver
