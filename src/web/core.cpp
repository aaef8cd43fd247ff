// SPDX-License-Identifier: MIT
// The browser page's core, an adapter like the program's main: each export
// checks its arguments, calls the decisions the program makes
// (container/record.h) and gives their result as the program's exit code
// (driver::ExitCodeFor). The page passes texts and a picture's bytes through
// one buffer and reads the answers back from it.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "container/layout.h"
#include "container/names.h"
#include "container/record.h"
#include "driver/exit_code.h"
#include "driver/fault_text.h"
#include "geometry/parameters.h"

#define VARNHOLD_EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

// Grows to whatever a call needs: a field may be any length, as a variable
// may.
std::vector<std::uint8_t> buffer;

// The answer to the last call, read back through the getters below: its
// bytes start the buffer.
struct Answer {
  std::size_t length = 0;       // bytes: the offered name, then (packing) the record start; or the refusal's wording
  std::size_t name_length = 0;  // the offered name's bytes among them
  std::uint64_t from = 0, to = 0, fill = 0;
  bool may_be_renamed = false;  // a browser may save the offered name under another
} answer;

// What an export gives for arguments that describe no buffer or file: the
// page's own mistake, never a result a file leads to.
constexpr int kBadArguments = -1;

// A file's length as the page states it: a JavaScript number, and whether
// the page could read the file. Nothing inside for an unreadable file.
struct Length {
  bool valid = false;
  std::optional<std::uint64_t> bytes;
};

Length LengthOf(double length, int readable) {
  constexpr double kLargestExact = 9'007'199'254'740'992.0;  // 2^53
  if (!(length >= 0 && length <= kLargestExact) || std::floor(length) != length) return {};
  return {true, readable != 0 ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(length)) : std::nullopt};
}

// True when texts of these lengths, one after another, lie inside the buffer.
bool InBuffer(std::initializer_list<std::size_t> lengths) {
  std::size_t total = 0;
  for (std::size_t length : lengths) {
    if (length > buffer.size() - total) return false;
    total += length;
  }
  return true;
}

std::string_view Text(std::size_t offset, std::size_t length) {
  return {reinterpret_cast<const char*>(buffer.data()) + offset, length};
}

// Puts the answer's bytes at the buffer's start (the buffer may move): the
// offered name, or a refusal's wording, then `data`.
void Put(std::string_view text, std::span<const std::uint8_t> data = {}) {
  buffer.resize(std::max(buffer.size(), text.size() + data.size()));
  std::copy(text.begin(), text.end(), buffer.begin());
  std::copy(data.begin(), data.end(), buffer.begin() + static_cast<std::ptrdiff_t>(text.size()));
  answer.length = text.size() + data.size();
}

int Offer(std::string_view name, std::span<const std::uint8_t> data = {}) {
  Put(name, data);
  answer.name_length = name.size();
  answer.may_be_renamed = container::BrowsersMayRename(name);
  return driver::kSuccess;
}

int Refuse(container::Result result, geometry::Fault fault) {
  const driver::ExitCode code = driver::ExitCodeFor(result);
  Put(result == container::Result::kArithmeticFault ? std::string(driver::DescribeFault(fault))
                                                    : driver::DescribeRefusal(code));
  return code;
}

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

}  // namespace

/// The exchange buffer, made at least `size` bytes long; any earlier pointer
/// to it is stale after this call.
VARNHOLD_EXPORT(varnhold_buffer) std::uint8_t* Buffer(std::size_t size) {
  if (buffer.size() < size) buffer.resize(size);
  return buffer.data();
}

/// How many of a picture's first bytes `varnhold_locate` looks at.
VARNHOLD_EXPORT(varnhold_headers_length) std::size_t HeadersLength() { return container::kLongestHeaders; }

/// 1 when the file named by the buffer's first `name_length` bytes is a
/// picture to unpack, 0 when it is a file to pack.
VARNHOLD_EXPORT(varnhold_is_picture) int IsPicture(std::size_t name_length) {
  if (!InBuffer({name_length})) return kBadArguments;
  return container::IsPictureExtension(container::ExtensionOf(Text(0, name_length))) ? 1 : 0;
}

/// Packing the file of `file_length` bytes (`readable`: 0 when the page
/// could not read it) whose name, divisor text and fraction text follow each
/// other in the buffer. Gives the exit code; on 0 the answer is the offered
/// name and then the bytes in front of the file, and `varnhold_fill_length`
/// the zero bytes after it.
VARNHOLD_EXPORT(varnhold_encode)
int Encode(std::size_t name_length, std::size_t divisor_length, std::size_t fraction_length, double file_length,
           int readable) {
  const Length length = LengthOf(file_length, readable);
  if (!InBuffer({name_length, divisor_length, fraction_length}) || !length.valid) return kBadArguments;
  answer = {};
  const Fields fields(Text(name_length, divisor_length), Text(name_length + divisor_length, fraction_length));
  const std::string name(Text(0, name_length));
  const container::PicturePlan plan = container::PlanSavedPicture(fields, name, length.bytes);
  if (plan.result != container::Result::kSuccess) return Refuse(plan.result, plan.fault);
  answer.fill = plan.fill_length;
  return Offer(plan.saved_name, plan.record_start);
}

/// Where the record starts in a picture of `file_length` bytes (`readable`:
/// 0 when the page could not read it) whose first bytes, as many as
/// `varnhold_headers_length` (or all it has), are the buffer's first
/// `head_length`. Gives the exit code; on 0, `varnhold_from` and
/// `varnhold_to` are the picture's bytes that `varnhold_restore` needs.
VARNHOLD_EXPORT(varnhold_locate) int Locate(std::size_t head_length, double file_length, int readable) {
  const Length length = LengthOf(file_length, readable);
  if (!InBuffer({head_length}) || !length.valid) return kBadArguments;
  answer = {};
  const container::RecordPlace place = container::LocateRecord({buffer.data(), head_length}, length.bytes);
  if (place.result != container::Result::kSuccess) return Refuse(place.result, geometry::Fault::kNone);
  answer.from = place.offset;
  answer.to = place.record_end;
  return driver::kSuccess;
}

/// What the record says, for the picture of `file_length` bytes (`readable`:
/// 0 when the page could not read its record) whose name is the buffer's
/// first `name_length` bytes and whose bytes from `record_offset` (as
/// `varnhold_locate` gave) follow them, `record_length` of them. Gives the
/// exit code; on 0 the answer is the offered name, and `varnhold_from` and
/// `varnhold_to` are the picture's bytes that are the file.
VARNHOLD_EXPORT(varnhold_restore)
int Restore(std::size_t name_length, std::size_t record_length, double record_offset, double file_length,
            int readable) {
  const Length length = LengthOf(file_length, readable);
  const Length offset = LengthOf(record_offset, 1);
  if (!InBuffer({name_length, record_length}) || !length.valid || !offset.valid) return kBadArguments;
  answer = {};
  const std::string name(Text(0, name_length));
  const std::vector<std::uint8_t> record(buffer.begin() + static_cast<std::ptrdiff_t>(name_length),
                                         buffer.begin() + static_cast<std::ptrdiff_t>(name_length + record_length));
  const container::RestorePlan plan = container::ReadSavedRecord(record, *offset.bytes, name, length.bytes);
  if (plan.result != container::Result::kSuccess) return Refuse(plan.result, geometry::Fault::kNone);
  answer.from = plan.carried_offset;
  answer.to = plan.carried_offset + plan.carried_length;
  return Offer(plan.saved_name);
}

/// The last call's answer: its bytes at the buffer's start (the offered name
/// first, or a refusal's wording), and the numbers it gave.
VARNHOLD_EXPORT(varnhold_answer_length) std::size_t AnswerLength() { return answer.length; }
VARNHOLD_EXPORT(varnhold_name_length) std::size_t NameLength() { return answer.name_length; }
VARNHOLD_EXPORT(varnhold_fill_length) double FillLength() { return static_cast<double>(answer.fill); }
VARNHOLD_EXPORT(varnhold_from) double From() { return static_cast<double>(answer.from); }
VARNHOLD_EXPORT(varnhold_to) double To() { return static_cast<double>(answer.to); }
VARNHOLD_EXPORT(varnhold_may_be_renamed) int MayBeRenamed() { return answer.may_be_renamed ? 1 : 0; }
/// The code a run ends with when something fails that no stage names.
VARNHOLD_EXPORT(varnhold_generic_failure) int GenericFailure() {
  return driver::ExitCodeFor(container::Result::kArithmeticFault);
}
