// SPDX-License-Identifier: MIT
#include "container/block_copy.h"

#include <gtest/gtest.h>

#include "container/layout.h"
#include "testing/bytes.h"
#include "testing/memory_file_system.h"

namespace container {
namespace {

using test_support::Pattern;

class BlockCopyTest : public ::testing::Test {
 protected:
  test_support::MemoryFileSystem files_;
};

// Counts of more than one buffer-full (the buffer holds 16 blocks) cover the
// refill as well as the first fill.
constexpr std::size_t kMany = 40 * kCopyBlockSize;

// Sources that deliver a buffer-full in one read, and ones that deliver it in
// pieces that end inside blocks, as a pipe or a network file system may.
constexpr std::size_t kReadPieces[] = {SIZE_MAX, 1000};

TEST_F(BlockCopyTest, CopiesExactlyTheCountFromThePosition) {
  const auto source_bytes = Pattern(kMany + 17);
  for (std::size_t count : {std::size_t{2} * kCopyBlockSize + 3, kMany + 3}) {
    for (std::size_t piece : kReadPieces) {
      SCOPED_TRACE(testing::Message() << count << " in pieces of " << piece);
      files_.AddFile("in", source_bytes).read_piece = piece;
      files_.AddFile("out");
      auto in = files_.OpenForReading("in");
      auto out = files_.OpenForWriting("out", *in).file;
      std::uint8_t skipped[5];
      ASSERT_TRUE(in->ReadExact(skipped, 5));
      ASSERT_TRUE(CopyBlocks(*in, *out, count));
      std::vector<std::uint8_t> expected(source_bytes.begin() + 5, source_bytes.begin() + 5 + count);
      EXPECT_EQ(*files_.Contents("out"), expected);
    }
  }
}

TEST_F(BlockCopyTest, ShortSourceLeavesOnlyWholeBlocks) {
  struct Case {
    std::size_t present;
    std::uint64_t requested;
    std::size_t written;
  } cases[] = {
      {130'000, 200'000, 122'880},  // two whole blocks, the third cannot be read whole
      {100, 1'000, 0},              // less than the one block asked for
      {61'439, 61'440, 0},
      {61'440, 61'441, 61'440},
      {10, 0xFFFF'FFFFu, 0},                       // the largest length a record can state
      {kMany - 5, kMany, kMany - kCopyBlockSize},  // the last block of a later buffer-full is short
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.present);
    files_.AddFile("in", Pattern(c.present));
    files_.AddFile("out");
    auto in = files_.OpenForReading("in");
    auto out = files_.OpenForWriting("out", *in).file;
    EXPECT_FALSE(CopyBlocks(*in, *out, c.requested));
    EXPECT_EQ(files_.Contents("out"), Pattern(c.written));
  }
}

TEST_F(BlockCopyTest, WriteFailureIsReportedAndKeepsWholeBlocks) {
  files_.AddFile("in", Pattern(1000));
  files_.AddFile("out").write_limit = 10;
  auto in = files_.OpenForReading("in");
  auto out = files_.OpenForWriting("out", *in).file;
  EXPECT_FALSE(CopyBlocks(*in, *out, 1000));
  EXPECT_EQ(files_.Contents("out")->size(), 0u);
  EXPECT_FALSE(WriteZeros(*out, 11));

  // A limit part-way through a block: the blocks before it stay, whole, also
  // when the limit falls in a later buffer-full.
  for (std::size_t kept : {std::size_t{1}, std::size_t{33}}) {
    SCOPED_TRACE(kept);
    files_.AddFile("big", Pattern(kMany));
    files_.AddFile("cut").write_limit = kept * kCopyBlockSize + 100;
    auto big = files_.OpenForReading("big");
    auto cut = files_.OpenForWriting("cut", *big).file;
    EXPECT_FALSE(CopyBlocks(*big, *cut, kMany));
    EXPECT_EQ(files_.Contents("cut"), Pattern(kept * kCopyBlockSize));
  }
}

TEST_F(BlockCopyTest, ZerosAreAppended) {
  files_.AddFile("in");
  files_.AddFile("out", {7, 7});
  auto in = files_.OpenForReading("in");
  auto out = files_.OpenForWriting("out", *in).file;
  ASSERT_TRUE(out->Resize(2));
  ASSERT_TRUE(WriteZeros(*out, kCopyBlockSize + 1));
  auto bytes = *files_.Contents("out");
  ASSERT_EQ(bytes.size(), kCopyBlockSize + 3);
  EXPECT_EQ(bytes[1], 7);
  EXPECT_EQ(std::count(bytes.begin() + 2, bytes.end(), 0), static_cast<long>(kCopyBlockSize + 1));
}

}  // namespace
}  // namespace container
