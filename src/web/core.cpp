// SPDX-License-Identifier: MIT
// The browser page's core: the program's own naming, geometry and record code
// behind a few exported functions. The page passes texts and the picture's
// first bytes through one buffer and reads the answers back from it; it never
// decides a byte of a picture itself.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "container/layout.h"
#include "container/names.h"
#include "container/record.h"
#include "driver/exit_code.h"
#include "driver/fault_text.h"
#include "driver/naming.h"
#include "geometry/parameters.h"

#define VARNHOLD_EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

// Room for a file's name, both fields and any record start.
constexpr std::size_t kBufferSize = 65'536;
alignas(8) std::uint8_t buffer[kBufferSize];

// The answer to the last call, read back through the getters below.
struct Answer {
  std::size_t length = 0;  // bytes of the answer at the start of the buffer
  bool faulted = false;    // the buffer holds a fault's wording
  bool utf8 = true;        // the buffer holds a tag that is UTF-8
  std::uint64_t start = 0, carried = 0, fill = 0;
} answer;

// The two fields stand where the environment stands for the program.
class Fields : public platform::Environment {
 public:
  Fields(std::string_view divisor, std::string_view fraction) : divisor_(divisor), fraction_(fraction) {}
  std::optional<std::string> Lookup(const std::string& name) const override {
    if (name == geometry::kDivisorVariable) return divisor_;
    if (name == geometry::kFractionVariable) return fraction_;
    return std::nullopt;
  }

 private:
  std::string divisor_, fraction_;
};

std::string_view Text(std::size_t offset, std::size_t length) {
  return {reinterpret_cast<const char*>(buffer) + offset, length};
}

int Reply(std::string_view bytes, driver::ExitCode code) {
  std::copy(bytes.begin(), bytes.end(), buffer);
  answer.length = bytes.size();
  return code;
}

int Fault(geometry::Fault fault) {
  answer.faulted = true;
  return Reply(driver::DescribeFault(fault), driver::kInputFailed);
}

}  // namespace

/// The exchange buffer and its size.
VARNHOLD_EXPORT(varnhold_buffer) std::uint8_t* Buffer() { return buffer; }
VARNHOLD_EXPORT(varnhold_buffer_size) std::size_t BufferSize() { return kBufferSize; }
/// What is appended to a file's name to name its picture.
VARNHOLD_EXPORT(varnhold_picture_suffix) const char* PictureSuffix() { return container::kPictureSuffix; }
/// How many of a picture's first bytes `varnhold_decode` may need.
VARNHOLD_EXPORT(varnhold_longest_record_start) std::size_t LongestRecordStart() {
  return container::kLongestRecordStart;
}

/// The code for a file the page cannot read, as for an input the program cannot open.
VARNHOLD_EXPORT(varnhold_unreadable) int Unreadable() {
  return driver::ExitCodeFor(container::Result::kInputUnavailable);
}

/// 1 when the file named by the buffer's `name_length` bytes is a picture to
/// decode, 0 when it is a file to encode.
VARNHOLD_EXPORT(varnhold_is_picture) int IsPicture(std::size_t name_length) {
  return driver::IsPictureExtension(driver::ExtensionOf(Text(0, name_length))) ? 1 : 0;
}

/// Plans the picture of a file of `file_length` bytes whose name, divisor
/// text and fraction text follow each other in the buffer. Gives the exit
/// code; on 0 the buffer holds the bytes in front of the file and
/// `varnhold_fill_length` the zero bytes after it; on an arithmetic failure
/// the buffer holds its wording.
VARNHOLD_EXPORT(varnhold_encode)
int Encode(std::size_t name_length, std::size_t divisor_length, std::size_t fraction_length, double file_length) {
  answer = {};
  const Fields fields(Text(name_length, divisor_length), Text(name_length + divisor_length, fraction_length));
  const geometry::ParametersResult parameters = geometry::ReadGeometryParameters(fields);
  if (parameters.fault != geometry::Fault::kNone) return Fault(parameters.fault);
  if (!(file_length <= static_cast<double>(container::kMaxCarriedLength))) return Reply({}, driver::kInputFailed);

  const std::string extension = container::StoredExtension(driver::ExtensionOf(Text(0, name_length)));
  const container::PicturePlan plan =
      container::PlanPicture(parameters.parameters, extension, static_cast<std::uint32_t>(file_length));
  if (plan.fault != geometry::Fault::kNone) return Fault(plan.fault);
  answer.fill = plan.fill_length;
  return Reply({reinterpret_cast<const char*>(plan.record_start.data()), plan.record_start.size()}, driver::kSuccess);
}

/// Reads the record from a picture of `picture_length` bytes whose first
/// `head_length` bytes are in the buffer. Gives the exit code; on 0 the
/// buffer holds the suffix of the restored file's name, and
/// `varnhold_record_start` and `varnhold_carried_length` say which bytes of
/// the picture are the file.
VARNHOLD_EXPORT(varnhold_decode) int Decode(std::size_t head_length, double picture_length) {
  answer = {};
  const std::optional<container::RecordStart> record = container::ParseRecordStart({buffer, head_length});
  if (!record) return Reply({}, driver::kRecordFailed);
  const std::string suffix = "." + record->tag;
  if (!container::IsRestorableTag(suffix)) return Reply({}, driver::kRecordFailed);
  // The program would create the file and then find the picture short.
  if (picture_length - static_cast<double>(record->length) < record->file_length) {
    return Reply({}, driver::kCopyFailed);
  }
  answer.utf8 = container::IsUtf8(record->tag);
  answer.start = record->length;
  answer.carried = record->file_length;
  return Reply(suffix, driver::kSuccess);
}

/// The last call's answer: its length in the buffer, and what it means.
VARNHOLD_EXPORT(varnhold_answer_length) std::size_t AnswerLength() { return answer.length; }
VARNHOLD_EXPORT(varnhold_faulted) int Faulted() { return answer.faulted ? 1 : 0; }
VARNHOLD_EXPORT(varnhold_answer_is_utf8) int AnswerIsUtf8() { return answer.utf8 ? 1 : 0; }
VARNHOLD_EXPORT(varnhold_fill_length) double FillLength() { return static_cast<double>(answer.fill); }
VARNHOLD_EXPORT(varnhold_record_start) double RecordStart() { return static_cast<double>(answer.start); }
VARNHOLD_EXPORT(varnhold_carried_length) double CarriedLength() { return static_cast<double>(answer.carried); }
