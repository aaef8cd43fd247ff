// SPDX-License-Identifier: MIT
#include "container/record.h"

#include <algorithm>

#include "container/layout.h"
#include "container/names.h"
#include "container/utf8.h"
#include "geometry/dimensions.h"
#include "geometry/parameters.h"

namespace container {
namespace {

// The information header's versions: 40 bytes (Windows 3), 52 and 56 (with
// colour masks), 108 (version 4) and 124 (version 5). All begin alike.
constexpr std::uint32_t kInformationHeaderSizes[] = {40, 52, 56, 108, 124};

std::uint16_t LoadLittleEndian16(const std::uint8_t* in) { return static_cast<std::uint16_t>(in[0] | in[1] << 8); }

// A plan that makes nothing: `result` says why.
PicturePlan NoPicture(Result result, geometry::Fault fault = geometry::Fault::kNone) {
  PicturePlan plan;
  plan.result = result;
  plan.fault = fault;
  return plan;
}

RestorePlan NoRestore(Result result) {
  RestorePlan plan;
  plan.result = result;
  return plan;
}

}  // namespace

PicturePlan PlanPicture(const geometry::ParametersResult& shape, std::string_view input_name,
                        std::optional<std::uint64_t> input_length) {
  if (shape.fault != geometry::Fault::kNone) return NoPicture(Result::kArithmeticFault, shape.fault);
  if (!input_length || *input_length > kMaxCarriedLength) return NoPicture(Result::kInputUnavailable);

  const std::string tag = StoredExtension(ExtensionOf(input_name)).substr(1);
  const std::uint64_t record_length = RecordLength(tag.size(), *input_length);
  const auto pixels = static_cast<std::uint32_t>((record_length + 2) / 3);
  const geometry::GeometryResult geometry =
      geometry::ChooseGeometry(pixels, shape.parameters.divisor, shape.parameters.fraction);
  if (geometry.fault != geometry::Fault::kNone) return NoPicture(Result::kArithmeticFault, geometry.fault);

  PicturePlan plan;
  const auto [width, height] = geometry.dimensions;
  plan.fill_length = 3ull * width * height - record_length;
  const auto header = BuildHeader(width, height);
  plan.record_start.assign(header.begin(), header.end());
  plan.record_start.push_back(static_cast<std::uint8_t>(tag.size()));
  plan.record_start.insert(plan.record_start.end(), tag.begin(), tag.end());
  plan.record_start.resize(plan.record_start.size() + kFileLengthSize);
  StoreLittleEndian32(&plan.record_start[plan.record_start.size() - kFileLengthSize],
                      static_cast<std::uint32_t>(*input_length));
  return plan;
}

// Pictures from other tools carry headers of several versions, and a bitmap
// whose pixels start elsewhere than at 54 still holds the record where its
// pixels start. A header that is no bitmap header at all is not looked at:
// a picture whose header was damaged still gives its file back.
RecordPlace LocateRecord(std::span<const std::uint8_t> head, std::optional<std::uint64_t> picture_length) {
  if (!picture_length) return {Result::kInputUnavailable, 0, 0};
  std::uint64_t offset = kHeaderSize;
  const std::uint32_t information_size = head.size() >= 18 ? LoadLittleEndian32(&head[14]) : 0;
  const bool bitmap_header =
      head.size() >= 18 && head[0] == 'B' && head[1] == 'M' &&
      std::count(std::begin(kInformationHeaderSizes), std::end(kInformationHeaderSizes), information_size) > 0;
  if (bitmap_header) {
    const std::size_t headers_end = kFileHeaderSize + information_size;
    if (head.size() < headers_end) return {Result::kRecordFailed, 0, 0};
    // Bottom-up rows of three bytes a pixel, as the program writes them; any
    // other layout gives the record's bytes in another order, or not at all.
    const bool positive_sides = static_cast<std::int32_t>(LoadLittleEndian32(&head[18])) > 0 &&
                                static_cast<std::int32_t>(LoadLittleEndian32(&head[22])) > 0;
    const bool three_bytes_a_pixel =
        LoadLittleEndian16(&head[26]) == 1 && LoadLittleEndian16(&head[28]) == 24 && LoadLittleEndian32(&head[30]) == 0;
    offset = LoadLittleEndian32(&head[10]);
    if (!positive_sides || !three_bytes_a_pixel || offset < headers_end) return {Result::kRecordFailed, 0, 0};
  }
  if (offset >= *picture_length) return {Result::kRecordFailed, 0, 0};
  return {Result::kSuccess, offset, std::min<std::uint64_t>(*picture_length, offset + kLongestRecordStart)};
}

RestorePlan ReadRecord(std::span<const std::uint8_t> record, std::uint64_t record_offset,
                       const NameFromAnsi& from_ansi) {
  // The container never holds an empty tag; a bitmap whose first pixels are
  // black starts with one, and is no picture of a file.
  if (record.empty() || record[0] == 0) return NoRestore(Result::kRecordFailed);
  const std::size_t tag_length = record[0];
  const std::size_t length = kTagLengthSize + tag_length + kFileLengthSize;
  if (record.size() < length) return NoRestore(Result::kRecordFailed);
  const std::string_view stored(reinterpret_cast<const char*>(&record[kTagLengthSize]), tag_length);
  const std::string_view tag = stored.substr(0, stored.find('\0'));
  // Tags are stored as UTF-8; one that is not was written by a tool that kept
  // names in a Windows ANSI code page, and means the name read in it.
  const std::string name = IsUtf8(tag) ? std::string(tag) : from_ansi(tag);
  // The output name is the picture's name plus the tag, so a separator in the
  // tag would reach into another folder, and a control character would reach
  // the name and the terminal that is shown the suffix.
  if (!IsRestorableTag(name)) return NoRestore(Result::kRecordFailed);
  RestorePlan plan;
  plan.suffix = "." + name;
  plan.carried_offset = record_offset + length;
  plan.carried_length = LoadLittleEndian32(&record[length - kFileLengthSize]);
  return plan;
}

PicturePlan PlanSavedPicture(const platform::Environment& settings, std::string_view input_name,
                             std::optional<std::uint64_t> input_length) {
  PicturePlan plan = PlanPicture(geometry::ReadGeometryParameters(settings), input_name, input_length);
  if (plan.result != Result::kSuccess) return plan;
  plan.saved_name = std::string(input_name) + kPictureSuffix;
  if (plan.saved_name.size() > kLongestName) return NoPicture(Result::kOutputUnavailable);
  return plan;
}

RestorePlan ReadSavedRecord(std::span<const std::uint8_t> record, std::uint64_t record_offset,
                            std::string_view picture_name, std::optional<std::uint64_t> picture_length) {
  if (!picture_length) return NoRestore(Result::kInputUnavailable);
  RestorePlan plan = ReadRecord(record, record_offset, Utf8FromWindows1251);
  if (plan.result != Result::kSuccess) return plan;
  plan.saved_name = std::string(picture_name) + plan.suffix;
  if (plan.saved_name.size() > kLongestName) return NoRestore(Result::kOutputUnavailable);
  if (*picture_length < plan.carried_offset || *picture_length - plan.carried_offset < plan.carried_length) {
    return NoRestore(Result::kCopyFailed);
  }
  return plan;
}

}  // namespace container
