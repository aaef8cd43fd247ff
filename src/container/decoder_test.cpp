// SPDX-License-Identifier: MIT
#include "container/decoder.h"

#include <gtest/gtest.h>

#include "container/layout.h"
#include "testing/bytes.h"
#include "testing/memory_file_system.h"

namespace container {
namespace {

using test_support::Bytes;
using test_support::Picture;

class DecoderTest : public ::testing::Test {
 protected:
  test_support::MemoryFileSystem files_;
  const Bytes song_{'s', 'o', 'n', 'g', 0, 1, 2};
};

TEST_F(DecoderTest, RestoresCarriedFileBesideThePicture) {
  Bytes picture = Picture("mp3", 7, song_);
  std::fill_n(picture.begin(), kHeaderSize, 0xA5);  // the header is never read
  picture.insert(picture.end(), 40, 0);             // zero fill and trailing bytes are ignored
  picture.push_back(9);
  files_.AddFile("x.bmp", picture);
  Outcome outcome = DecodePicture(files_, "x.bmp");
  EXPECT_EQ(outcome.result, Result::kSuccess);
  EXPECT_EQ(outcome.suffix, ".mp3");
  EXPECT_EQ(files_.Contents("x.bmp.mp3"), song_);
  EXPECT_EQ(files_.Contents("x.bmp"), picture);
}

TEST_F(DecoderTest, TagNamesTheOutput) {
  struct Case {
    std::string tag, suffix;
  } cases[] = {
      {"~", ".~"},                        // a file that had no extension
      {"", "."},                          // never written, still accepted
      {std::string("ab\0cd", 5), ".ab"},  // cut at the first zero byte
      {"..", "..."},                      // dots only extend the picture's own name
      {std::string(255, 'e'), "." + std::string(255, 'e')},
      {"\xC3\xA9t\xC3\xA9", ".\xC3\xA9t\xC3\xA9"},    // UTF-8 is kept as it is
      {"\xE9t\xE9", ".\xC3\xA9t\xC3\xA9"},            // anything else is the ANSI code page's
      {"\xC0\xAF", ".\xC3\x80\xC2\xAF"},              // an overlong form is not UTF-8
      {"\xED\xA0\x80", ".\xC3\xAD\xC2\xA0\xC2\x80"},  // nor is a surrogate
      {"\xF0\x9F\x98", ".\xC3\xB0\xC2\x9F\xC2\x98"},  // nor a cut sequence
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.suffix);
    test_support::MemoryFileSystem files;
    files.ReadAnsiAsLatin1();
    files.AddFile("p.bmp", Picture(c.tag, 3, {1, 2, 3}));
    Outcome outcome = DecodePicture(files, "p.bmp");
    EXPECT_EQ(outcome.result, Result::kSuccess);
    EXPECT_EQ(outcome.suffix, c.suffix);
    EXPECT_EQ(files.Contents("p.bmp" + c.suffix), (Bytes{1, 2, 3}));
  }
}

TEST_F(DecoderTest, EmptyCarriedFile) {
  files_.AddFile("e.bmp", Picture("txt", 0, {}));
  EXPECT_EQ(DecodePicture(files_, "e.bmp").result, Result::kSuccess);
  EXPECT_EQ(files_.Contents("e.bmp.txt"), Bytes{});
}

TEST_F(DecoderTest, TruncatedRecordCreatesNothing) {
  const Bytes whole = Picture("mp3", 7, song_);
  for (std::size_t cut = 0; cut < kHeaderSize + 1 + 3 + 4; ++cut) {
    test_support::MemoryFileSystem files;
    files.AddFile("t.bmp", Bytes(whole.data(), whole.data() + cut));
    EXPECT_EQ(DecodePicture(files, "t.bmp").result, Result::kRecordFailed) << cut;
    EXPECT_EQ(files.FileNames(), std::vector<std::string>{"t.bmp"});
  }
}

TEST_F(DecoderTest, TagThatCannotNameAFileIsRefused) {
  for (const std::string tag : {"x/../../etc", "txt\n", "a\x1B[2Jb\a", "\x7F", "\x01"}) {
    SCOPED_TRACE(tag);
    test_support::MemoryFileSystem files;
    files.AddFile("a.bmp", Picture(tag, 1, {1}));
    EXPECT_EQ(DecodePicture(files, "a.bmp").result, Result::kRecordFailed);
    EXPECT_EQ(files.FileNames(), std::vector<std::string>{"a.bmp"});
  }
}

// The stated length is never capped: a picture holding fewer bytes fails the
// copy with its output in place. What the output keeps is the block copy's
// rule, asserted with it.
TEST_F(DecoderTest, StatedLengthIsHonouredEvenBeyondThePicture) {
  const struct {
    std::uint32_t stated;
    std::size_t present;
  } cases[] = {{200'000, 130'000}, {0xFFFF'FFFFu, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stated);
    test_support::MemoryFileSystem files;
    files.AddFile("s.bmp", Picture("bin", c.stated, Bytes(c.present, 0x5A)));
    EXPECT_EQ(DecodePicture(files, "s.bmp").result, Result::kCopyFailed);
    EXPECT_TRUE(files.Contents("s.bmp.bin").has_value());
  }
}

TEST_F(DecoderTest, OutputNamingAndRetry) {
  files_.AddFile("p.bmp", Picture("mp3", 7, song_));
  files_.AddFile("p.bmp.mp3", Bytes(100, 3));  // an ordinary file is replaced
  EXPECT_EQ(DecodePicture(files_, "p.bmp").suffix, ".mp3");
  EXPECT_EQ(files_.Contents("p.bmp.mp3"), song_);

  files_.AddDirectory("q.bmp.mp3");
  files_.AddFile("q.bmp", Picture("mp3", 7, song_));
  EXPECT_EQ(DecodePicture(files_, "q.bmp").suffix, ".mp3~");
  EXPECT_EQ(files_.Contents("q.bmp.mp3~"), song_);

  files_.AddDirectory("r.bmp.mp3");
  files_.AddDirectory("r.bmp.mp3~");
  files_.AddFile("r.bmp", Picture("mp3", 7, song_));
  EXPECT_EQ(DecodePicture(files_, "r.bmp").result, Result::kOutputUnavailable);
}

TEST_F(DecoderTest, NeverWritesOntoThePictureItself) {
  // A tag of length 0 names "p.bmp." which some platforms fold onto "p.bmp".
  const Bytes picture = Picture("", 3, {1, 2, 3});
  files_.AddFile("p.bmp", picture);
  files_.AddLink("p.bmp.", "p.bmp");
  Outcome outcome = DecodePicture(files_, "p.bmp");
  EXPECT_EQ(outcome.suffix, ".~");
  EXPECT_EQ(files_.Contents("p.bmp"), picture);
  EXPECT_EQ(files_.Contents("p.bmp.~"), (Bytes{1, 2, 3}));
}

TEST_F(DecoderTest, FailuresMapToTheirStage) {
  files_.AddFile("held.bmp", Picture("a", 1, {1})).held_elsewhere = true;
  EXPECT_EQ(DecodePicture(files_, "held.bmp").result, Result::kInputUnavailable);
  EXPECT_EQ(DecodePicture(files_, "missing.bmp").result, Result::kInputUnavailable);

  for (bool out_of_memory : {false, true}) {
    files_.AddFile("w.bmp", Picture("a", 5, {1, 2, 3, 4, 5}));
    test_support::MemoryFileSystem::Node& output = files_.AddFile("w.bmp.a");
    output.write_limit = 2;
    output.out_of_memory_at_limit = out_of_memory;
    EXPECT_EQ(DecodePicture(files_, "w.bmp").result, Result::kCopyFailed) << out_of_memory;
  }

  // A picture another process rewrites meanwhile may give parts of two.
  files_.AddFile("r.bmp", Picture("a", 1, {1})).rewritten_after_first_read = Picture("a", 1, {2});
  EXPECT_EQ(DecodePicture(files_, "r.bmp").result, Result::kCopyFailed);

  // Data that may not have reached the disk is never reported as success.
  files_.AddFile("c.bmp", Picture("a", 1, {1}));
  files_.AddFile("c.bmp.a").fail_close = true;
  EXPECT_EQ(DecodePicture(files_, "c.bmp").result, Result::kCopyFailed);
}

}  // namespace
}  // namespace container
