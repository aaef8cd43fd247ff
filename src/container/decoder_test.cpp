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
  std::fill_n(picture.begin(), kHeaderSize, 0xA5);  // no bitmap header: the record follows 54 bytes
  picture.insert(picture.end(), 40, 0);             // zero fill and trailing bytes are ignored
  picture.push_back(9);
  files_.AddFile("x.bmp", picture);
  Outcome outcome = DecodePicture(files_, "x.bmp");
  EXPECT_EQ(outcome.result, Result::kSuccess);
  EXPECT_EQ(outcome.suffix, ".mp3");
  EXPECT_EQ(files_.Contents("x.bmp.mp3"), song_);
  EXPECT_EQ(files_.Contents("x.bmp"), picture);
}

// Which tags name which file is ReadRecord's rule; here, that a tag that is
// not UTF-8 reaches the file system's own reading of the ANSI code page.
TEST_F(DecoderTest, TagThatIsNotUtf8IsReadInTheAnsiCodePage) {
  files_.ReadAnsiAsLatin1();
  files_.AddFile("p.bmp", Picture("\xE9t\xE9", 3, {1, 2, 3}));
  EXPECT_EQ(DecodePicture(files_, "p.bmp").suffix, ".\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(files_.Contents("p.bmp.\xC3\xA9t\xC3\xA9"), (Bytes{1, 2, 3}));
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

TEST_F(DecoderTest, RefusedPictureCreatesNothing) {
  Bytes top_down = Picture("mp3", 1, {1});
  StoreLittleEndian32(&top_down[22], static_cast<std::uint32_t>(-2));
  for (const Bytes& picture : {Picture("x/../../etc", 1, {1}), Picture("", 1, {1}), top_down}) {
    test_support::MemoryFileSystem files;
    files.AddFile("a.bmp", picture);
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
  // A tag that ends at once names "p.bmp." which some platforms fold onto "p.bmp".
  const Bytes picture = Picture(std::string(1, '\0'), 3, {1, 2, 3});
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

  files_.AddFile("w.bmp", Picture("a", 5, {1, 2, 3, 4, 5}));
  files_.AddFile("w.bmp.a").write_limit = 2;
  EXPECT_EQ(DecodePicture(files_, "w.bmp").result, Result::kCopyFailed);

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
