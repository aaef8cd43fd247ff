// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_RECORD_H_
#define VARNHOLD_CONTAINER_RECORD_H_

// Every decision of both directions that needs no file access: what a picture
// of a file holds, where a picture's record starts, what the record says
// about the file it carries, and which refusal each case meets. The program's
// encoder and decoder and the browser page's core call these, so both decide
// every byte, name and result alike; the callers only read and write.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "container/result.h"
#include "geometry/fault.h"
#include "geometry/parameters.h"
#include "platform/environment.h"

namespace container {

/// What encoding a file decides before any output exists.
struct PicturePlan {
  Result result = Result::kSuccess;                ///< anything else: there is no picture
  geometry::Fault fault = geometry::Fault::kNone;  ///< on kArithmeticFault: which failure
  std::vector<std::uint8_t> record_start;          ///< header, tag length, tag and file length
  std::uint64_t fill_length = 0;                   ///< zero bytes after the carried file
  std::string saved_name;                          ///< PlanSavedPicture only: the name the picture is offered under
};

/// The picture of the file named `input_name`, shaped by `shape` (read from
/// the two variables before the input is opened), in this order of refusals:
/// a shape the settings leave undefined (kArithmeticFault), a file that could
/// not be read (`input_length` is nothing) or is longer than 256 MiB
/// (kInputUnavailable), a shape the header cannot describe (kArithmeticFault).
PicturePlan PlanPicture(const geometry::ParametersResult& shape, std::string_view input_name,
                        std::optional<std::uint64_t> input_length);

/// Where a picture's record starts.
struct RecordPlace {
  Result result = Result::kSuccess;
  std::uint64_t offset = 0;      ///< on success: the record's first byte, inside the picture
  std::uint64_t record_end = 0;  ///< the end of the bytes from `offset` that ReadRecord needs
};

/// Where the record starts in a picture of `picture_length` bytes (nothing:
/// the picture could not be read, kInputUnavailable) whose first bytes are
/// `head` (kLongestHeaders of them, or the whole picture when it is shorter).
/// A well-formed bitmap header ("BM" and an information header of 40, 52, 56,
/// 108 or 124 bytes) that states 24-bit uncompressed bottom-up rows on one
/// plane puts it where the header says the pixels start; one that states
/// anything else, or a pixel offset inside the headers, is refused
/// (kRecordFailed). Any other header is skipped as the first 54 bytes. A
/// record that would start at or past the picture's end is refused too.
RecordPlace LocateRecord(std::span<const std::uint8_t> head, std::optional<std::uint64_t> picture_length);

/// Gives a stored tag that is not UTF-8 in the form the system takes names.
using NameFromAnsi = std::function<std::string(std::string_view)>;

/// What a picture's record says about the file it carries.
struct RestorePlan {
  Result result = Result::kSuccess;
  std::string suffix;                ///< on success: "." and the stored tag, appended to the picture's name
  std::uint64_t carried_offset = 0;  ///< where the carried bytes start in the picture
  std::uint32_t carried_length = 0;  ///< as the record states, whatever the picture holds
  std::string saved_name;            ///< ReadSavedRecord only: the name the restored file is offered under
};

/// Reads the record that starts at `record_offset` from its first bytes,
/// `record` (up to RecordPlace::record_end). The tag
/// ends at its first zero byte; one that is not UTF-8 is read through
/// `from_ansi`. Refused (kRecordFailed) when the record ends before its file
/// length does, its tag length is 0, or its tag fails IsRestorableTag.
RestorePlan ReadRecord(std::span<const std::uint8_t> record, std::uint64_t record_offset,
                       const NameFromAnsi& from_ansi);

// The browser page saves what it makes through the browser, so the refusals
// the program meets while it creates and fills its output are decided here
// for it, in the program's order.

/// PlanPicture with the shape the two variables in `settings` give, then
/// kOutputUnavailable when the picture's name would exceed kLongestName bytes.
PicturePlan PlanSavedPicture(const platform::Environment& settings, std::string_view input_name,
                             std::optional<std::uint64_t> input_length);

/// ReadRecord for the picture `picture_name` of `picture_length` bytes
/// (nothing: its record could not be read, kInputUnavailable), with tags that
/// are not UTF-8 read as Windows-1251 (the ANSI code page such pictures come
/// with); then kOutputUnavailable when the restored name would exceed
/// kLongestName bytes, and kCopyFailed when the picture ends before the
/// carried bytes do.
RestorePlan ReadSavedRecord(std::span<const std::uint8_t> record, std::uint64_t record_offset,
                            std::string_view picture_name, std::optional<std::uint64_t> picture_length);

}  // namespace container

#endif  // VARNHOLD_CONTAINER_RECORD_H_
