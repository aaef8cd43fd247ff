// SPDX-License-Identifier: MIT
#include "container/encoder.h"

#include <gtest/gtest.h>

#include "container/decoder.h"
#include "container/layout.h"
#include "testing/bytes.h"
#include "testing/memory_environment.h"
#include "testing/memory_file_system.h"

namespace container {
namespace {

using test_support::Bytes;
using test_support::Pattern;

class EncoderTest : public ::testing::Test {
 protected:
  Outcome Encode(const std::string& name) { return EncodeFile(files_, environment_, name); }
  test_support::MemoryFileSystem files_;
  test_support::MemoryEnvironment environment_;
};

TEST_F(EncoderTest, SmallFileLayout) {
  // 17 bytes with the tag "mp3": a 25-byte record, 9 pixels, an 8 x 2 picture.
  const Bytes song = Pattern(17);
  files_.AddFile("song.mp3", song);
  Outcome outcome = Encode("song.mp3");
  ASSERT_EQ(outcome.result, Result::kSuccess);
  EXPECT_EQ(outcome.suffix, ".bmp");

  const auto header = BuildHeader(8, 2);
  Bytes expected(header.begin(), header.end());
  const Bytes record_start = {3, 'm', 'p', '3', 17, 0, 0, 0};
  expected.insert(expected.end(), record_start.begin(), record_start.end());
  expected.insert(expected.end(), song.begin(), song.end());
  expected.insert(expected.end(), 23, 0);
  EXPECT_EQ(files_.Contents("song.mp3.bmp"), expected);
  EXPECT_EQ(files_.Contents("song.mp3"), song);
}

TEST_F(EncoderTest, RoundTripForEverySmallLength) {
  environment_.variables = {{"VARNHOLD_DIVISOR", "3"}, {"VARNHOLD_FRACTION", "2,5"}};
  for (std::size_t length = 0; length <= 300; ++length) {
    const Bytes original = Pattern(length, static_cast<unsigned>(length));
    files_.AddFile("d.bin", original);
    ASSERT_EQ(Encode("d.bin").result, Result::kSuccess);
    Outcome decoded = DecodePicture(files_, "d.bin.bmp");
    ASSERT_EQ(decoded.suffix, ".bin");
    ASSERT_EQ(files_.Contents("d.bin.bmp.bin"), original) << length;
  }
}

TEST_F(EncoderTest, FailuresMapToTheirStage) {
  files_.AddFile("held.txt").held_elsewhere = true;
  EXPECT_EQ(Encode("held.txt").result, Result::kInputUnavailable);
  EXPECT_EQ(files_.FileNames(), std::vector<std::string>{"held.txt"});

  files_.AddFile("a.txt", Pattern(100));
  files_.AddDirectory("a.txt.bmp");
  files_.AddDirectory("a.txt.bmp~");
  EXPECT_EQ(Encode("a.txt").result, Result::kOutputUnavailable);

  // A write that fails once the output exists fails the stage it interrupts.
  struct Case {
    std::uint64_t limit;
    Result result;
  } cases[] = {
      {20, Result::kRecordFailed},              // inside the header
      {100, Result::kCopyFailed},               // inside the carried bytes
      {54 + 8 + 100 + 1, Result::kCopyFailed},  // inside the zero fill
  };
  for (const Case& c : cases) {
    files_.AddFile("b.txt", Pattern(100));
    files_.AddFile("b.txt.bmp").write_limit = c.limit;
    EXPECT_EQ(Encode("b.txt").result, c.result) << c.limit;
  }

  // Another process rewrites the input during the copy, in place or longer:
  // the picture may hold parts of two versions.
  for (const Bytes& rewritten : {Pattern(100, 9), Pattern(150)}) {
    files_.AddFile("c.txt", Pattern(100)).rewritten_after_first_read = rewritten;
    EXPECT_EQ(Encode("c.txt").result, Result::kCopyFailed) << rewritten.size();
  }
}

TEST_F(EncoderTest, ArithmeticFaultComesBeforeAnyOutput) {
  environment_.variables = {{"VARNHOLD_FRACTION", "0"}};
  files_.AddFile("z.txt", {1});
  Outcome outcome = Encode("z.txt");
  EXPECT_EQ(outcome.result, Result::kArithmeticFault);
  EXPECT_EQ(outcome.fault, geometry::Fault::kDivisionByZero);
  EXPECT_EQ(files_.FileNames(), std::vector<std::string>{"z.txt"});

  environment_.variables = {{"VARNHOLD_FRACTION", "-2"}};
  EXPECT_EQ(Encode("z.txt").result, Result::kArithmeticFault);
  EXPECT_EQ(files_.FileNames(), std::vector<std::string>{"z.txt"});
}

}  // namespace
}  // namespace container
