// SPDX-License-Identifier: MIT
#include "container/record.h"

#include <gtest/gtest.h>

#include "container/layout.h"
#include "testing/bytes.h"
#include "testing/memory_environment.h"

namespace container {
namespace {

using test_support::Bytes;
using test_support::Picture;

// The record's bytes of a hand-made picture: everything after its header.
Bytes RecordOf(const Bytes& picture) { return Bytes(picture.begin() + kHeaderSize, picture.end()); }

std::string KeepBytes(std::string_view tag) { return std::string(tag); }

TEST(PlanPictureTest, RefusalsComeInTheProgramsOrder) {
  constexpr std::uint64_t kLimit = kMaxCarriedLength;
  struct Case {
    std::map<std::string, std::string> settings;
    std::optional<std::uint64_t> length;
    Result result;
    geometry::Fault fault;
  } cases[] = {
      {{{"VARNHOLD_FRACTION", "0"}}, std::nullopt, Result::kArithmeticFault, geometry::Fault::kDivisionByZero},
      {{}, std::nullopt, Result::kInputUnavailable, geometry::Fault::kNone},
      {{}, kLimit + 1, Result::kInputUnavailable, geometry::Fault::kNone},
      {{{"VARNHOLD_DIVISOR", "-8"}}, kLimit + 1, Result::kInputUnavailable, geometry::Fault::kNone},
      {{{"VARNHOLD_DIVISOR", "-8"}}, 1, Result::kArithmeticFault, geometry::Fault::kPictureTooLarge},
      {{}, kLimit, Result::kSuccess, geometry::Fault::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.length.value_or(0) << " bytes, " << c.settings.size() << " settings");
    test_support::MemoryEnvironment settings;
    settings.variables = c.settings;
    const PicturePlan plan = PlanPicture(geometry::ReadGeometryParameters(settings), "f.bin", c.length);
    EXPECT_EQ(plan.result, c.result);
    EXPECT_EQ(plan.fault, c.fault);
    EXPECT_EQ(plan.record_start.empty(), c.result != Result::kSuccess);
  }
}

// The refused headers are one table for the program and the page, end to
// end; version 4 and 5 headers, a palette before the pixels and a damaged
// header are decoded end to end and from the fuzz corpus.
TEST(LocateRecordTest, WhereTheRecordStarts) {
  const Bytes program = Picture("bin", 1, {7}, 102);
  // The program's picture with another information header, whose pixels
  // start at `offset`.
  const auto reheaded = [&](std::uint32_t information_size, std::uint32_t offset) {
    Bytes picture = program;
    StoreLittleEndian32(&picture[10], offset);
    StoreLittleEndian32(&picture[14], information_size);
    picture.insert(picture.begin() + kHeaderSize, offset - kHeaderSize, 0);
    return picture;
  };
  const struct {
    Bytes picture;
    std::uint64_t offset;
  } cases[] = {{reheaded(52, 66), 66}, {reheaded(56, 70), 70}, {reheaded(12, 200), 54}, {reheaded(41, 200), 54}};
  for (const auto& c : cases) {
    const RecordPlace place = LocateRecord({c.picture.data(), kLongestHeaders}, c.picture.size());
    EXPECT_EQ(place.offset, c.offset);
    EXPECT_EQ(place.record_end, c.picture.size());  // within the longest record start
  }
  const Bytes late = reheaded(124, 2000);
  EXPECT_EQ(LocateRecord({late.data(), kLongestHeaders}, 10'000).record_end, 2000 + kLongestRecordStart);
  EXPECT_EQ(LocateRecord({late.data(), 100}, 100).result, Result::kRecordFailed);  // ends within its headers
  EXPECT_EQ(LocateRecord({program.data(), kLongestHeaders}, std::nullopt).result, Result::kInputUnavailable);
}

TEST(ReadRecordTest, TagNamesTheFile) {
  struct Case {
    std::string tag, suffix;
  } cases[] = {
      {"~", ".~"},                                  // a file that had no extension
      {std::string("ab\0cd", 5), ".ab"},            // cut at the first zero byte
      {"\xC3\xA9t\xC3\xA9", ".\xC3\xA9t\xC3\xA9"},  // UTF-8 is kept as it is
      {"\xE9t\xE9", ".<\xE9t\xE9>"},                // anything else is the code page's
      {"\xC0\xAF", ".<\xC0\xAF>"},                  // an overlong form is not UTF-8
  };
  const NameFromAnsi marked = [](std::string_view tag) { return "<" + std::string(tag) + ">"; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.suffix);
    const Bytes record = RecordOf(Picture(c.tag, 3, {1, 2, 3}));
    const RestorePlan plan = ReadRecord(record, 1000, marked);
    EXPECT_EQ(plan.result, Result::kSuccess);
    EXPECT_EQ(plan.suffix, c.suffix);
    EXPECT_EQ(plan.carried_offset, 1000 + 1 + c.tag.size() + 4);
    EXPECT_EQ(plan.carried_length, 3u);
  }
}

TEST(ReadRecordTest, RefusedRecords) {
  // The tag is checked as the name it becomes: a code page that turns a byte
  // into a control character refuses it too.
  EXPECT_EQ(ReadRecord(RecordOf(Picture("\x9B", 1, {1})), 54, KeepBytes).result, Result::kSuccess);
  EXPECT_EQ(ReadRecord(RecordOf(Picture("\x9B", 1, {1})), 54, [](std::string_view) { return "\xC2\x9B"; }).result,
            Result::kRecordFailed);
}

}  // namespace
}  // namespace container
