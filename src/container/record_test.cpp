// SPDX-License-Identifier: MIT
#include "container/record.h"

#include <gtest/gtest.h>

#include "container/layout.h"
#include "container/names.h"
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
      {{{"VARNHOLD_FRACTION", "0"}}, kLimit + 1, Result::kArithmeticFault, geometry::Fault::kDivisionByZero},
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

TEST(PlanPictureTest, PictureSizesForKnownLengths) {
  // With the tag "mp3" and the default shape settings.
  struct Case {
    std::uint64_t length;
    std::uint32_t width, height;
  } cases[] = {{0, 8, 1},       {17, 8, 2},         {1'000, 16, 21},      {4'096, 32, 43},
               {5'000, 40, 42}, {65'536, 152, 144}, {1'000'000, 584, 571}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    const PicturePlan plan = PlanPicture(geometry::ParametersResult(), "song.mp3", c.length);
    ASSERT_EQ(plan.record_start.size(), kHeaderSize + 8);
    const auto header = BuildHeader(c.width, c.height);
    EXPECT_TRUE(std::equal(header.begin(), header.end(), plan.record_start.begin()));
    EXPECT_EQ(Bytes(plan.record_start.begin() + kHeaderSize, plan.record_start.begin() + kHeaderSize + 4),
              (Bytes{3, 'm', 'p', '3'}));
    EXPECT_EQ(LoadLittleEndian32(&plan.record_start[kHeaderSize + 4]), c.length);
    EXPECT_EQ(plan.record_start.size() + c.length + plan.fill_length, kHeaderSize + 3ull * c.width * c.height);
  }
}

// The shared table of refused headers runs end to end, in the program and in
// the page; these are the headers that lead to a record.
TEST(LocateRecordTest, WhereTheRecordStarts) {
  const Bytes program = Picture("bin", 1, {7}, 102);
  // The program's picture with another information header: its first 40
  // bytes kept, the pixels moved to `offset`.
  const auto reheaded = [&](std::uint32_t information_size, std::uint32_t offset) {
    Bytes picture(offset, 0);
    std::copy(program.begin(), program.begin() + kHeaderSize, picture.begin());
    StoreLittleEndian32(&picture[10], offset);
    StoreLittleEndian32(&picture[14], information_size);
    picture.insert(picture.end(), program.begin() + kHeaderSize, program.end());
    return picture;
  };
  Bytes junk = program;
  std::fill_n(junk.begin(), kHeaderSize, 0xA5);
  Bytes no_signature = program;
  no_signature[0] = 'b';
  struct Case {
    const char* what;
    Bytes picture;
    std::uint64_t offset;
  } cases[] = {
      {"the program's own", program, 54},
      {"version 3 with a palette before the pixels", reheaded(40, 54 + 1024), 54 + 1024},
      {"with colour masks", reheaded(52, 66), 66},
      {"with colour and alpha masks", reheaded(56, 70), 70},
      {"version 4", reheaded(108, 122), 122},
      {"version 5", reheaded(124, 138), 138},
      {"an unknown information header", reheaded(12, 200), 54},
      {"another signature", no_signature, 54},
      {"no bitmap header at all", junk, 54},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t head = std::min(c.picture.size(), kLongestHeaders);
    const RecordPlace place = LocateRecord({c.picture.data(), head}, c.picture.size());
    EXPECT_EQ(place.result, Result::kSuccess);
    EXPECT_EQ(place.offset, c.offset);
    EXPECT_EQ(place.record_end, c.picture.size());  // these pictures end within the longest record start
  }
  const Bytes large = reheaded(124, 2000);
  EXPECT_EQ(LocateRecord({large.data(), kLongestHeaders}, large.size() + 5000).record_end, 2000 + kLongestRecordStart);
  EXPECT_EQ(LocateRecord({program.data(), kLongestHeaders}, std::nullopt).result, Result::kInputUnavailable);
  // A picture that ends within its headers, or before its pixels start.
  EXPECT_EQ(LocateRecord({large.data(), 100}, 100).result, Result::kRecordFailed);
  EXPECT_EQ(LocateRecord({junk.data(), 54}, 54).result, Result::kRecordFailed);
  EXPECT_EQ(LocateRecord({}, 0).result, Result::kRecordFailed);
}

TEST(ReadRecordTest, TagNamesTheFile) {
  struct Case {
    std::string tag, suffix;
  } cases[] = {
      {"~", ".~"},                        // a file that had no extension
      {std::string("ab\0cd", 5), ".ab"},  // cut at the first zero byte
      {std::string("\0/", 2), "."},       // which may leave nothing
      {"..", "..."},                      // dots only extend the picture's own name
      {std::string(255, 'e'), "." + std::string(255, 'e')},
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
  EXPECT_EQ(ReadRecord(RecordOf(Picture("a/b", 1, {1})), 54, KeepBytes).result, Result::kRecordFailed);
  EXPECT_EQ(ReadRecord(RecordOf(Picture("", 1, {1})), 54, KeepBytes).result, Result::kRecordFailed);
  const Bytes whole = RecordOf(Picture("mp3", 0, {}));
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    EXPECT_EQ(ReadRecord({whole.data(), cut}, 54, KeepBytes).result, Result::kRecordFailed) << cut;
  }
}

// The browser page meets in the decisions what the program meets when it
// creates and fills its output.
TEST(SavedOutputTest, LongNamesAndShortPictures) {
  const test_support::MemoryEnvironment defaults;
  const std::string longest(kLongestName - 4, 'n');
  EXPECT_EQ(PlanSavedPicture(defaults, longest, 1).saved_name, longest + ".bmp");
  EXPECT_EQ(PlanSavedPicture(defaults, longest + "n", 1).result, Result::kOutputUnavailable);
  EXPECT_EQ(PlanSavedPicture(defaults, longest + "n", std::nullopt).result, Result::kInputUnavailable);

  const Bytes picture = Picture("\xC4\xE0", 3, {1, 2, 3});
  const Bytes record = RecordOf(picture);
  const RestorePlan plan = ReadSavedRecord(record, kHeaderSize, "p.bmp", picture.size());
  EXPECT_EQ(plan.result, Result::kSuccess);
  EXPECT_EQ(plan.saved_name, "p.bmp.\xD0\x94\xD0\xB0");  // Windows-1251 "Да"
  EXPECT_EQ(ReadSavedRecord(record, kHeaderSize, "p.bmp", picture.size() - 1).result, Result::kCopyFailed);
  EXPECT_EQ(ReadSavedRecord(record, kHeaderSize, "p.bmp", std::nullopt).result, Result::kInputUnavailable);
  // ".Да" takes five bytes.
  EXPECT_EQ(ReadSavedRecord(record, kHeaderSize, std::string(kLongestName - 5, 'p'), picture.size()).saved_name.size(),
            kLongestName);
  EXPECT_EQ(ReadSavedRecord(record, kHeaderSize, std::string(kLongestName - 4, 'p'), picture.size()).result,
            Result::kOutputUnavailable);
}

}  // namespace
}  // namespace container
