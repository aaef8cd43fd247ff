// SPDX-License-Identifier: MIT
#include "container/decoder.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "container/block_copy.h"
#include "container/create_output.h"
#include "container/layout.h"
#include "container/record.h"

namespace container {
namespace {

// Reads `count` bytes from `offset`; nothing when the picture yields fewer.
std::optional<std::vector<std::uint8_t>> ReadAt(platform::File& input, std::uint64_t offset, std::uint64_t count) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
  if (!input.Seek(offset) || !input.ReadExact(bytes.data(), bytes.size())) return std::nullopt;
  return bytes;
}

}  // namespace

Outcome DecodePicture(platform::FileSystem& files, const std::string& argument) {
  std::unique_ptr<platform::File> input = files.OpenForReading(argument);
  const std::optional<std::uint64_t> length = input ? input->Length() : std::nullopt;
  std::optional<std::vector<std::uint8_t>> head;
  if (length) head = ReadAt(*input, 0, std::min<std::uint64_t>(*length, kLongestHeaders));
  if (length && !head) return Failed(Result::kRecordFailed);
  const RecordPlace place = LocateRecord(head.value_or(std::vector<std::uint8_t>{}), length);
  if (place.result != Result::kSuccess) return Failed(place.result);

  const std::optional<std::vector<std::uint8_t>> record = ReadAt(*input, place.offset, place.record_end - place.offset);
  if (!record) return Failed(Result::kRecordFailed);
  const RestorePlan plan =
      ReadRecord(*record, place.offset, [&](std::string_view tag) { return files.NameFromAnsi(tag); });
  if (plan.result != Result::kSuccess) return Failed(plan.result);

  if (!input->Seek(plan.carried_offset)) return Failed(Result::kRecordFailed);
  PrepareCopy();
  std::optional<CreatedOutput> output = CreateOutput(files, argument, plan.suffix, *input);
  if (!output) return Failed(Result::kOutputUnavailable);
  // A picture that changed meanwhile may have given parts of two versions.
  if (!CopyBlocks(*input, *output->file, plan.carried_length) || !input->Unchanged() || !output->file->Close()) {
    return Failed(Result::kCopyFailed);
  }
  // Everything was read and the output is complete: a failure to release the
  // input cannot change the result.
  static_cast<void>(input->Close());
  return Succeeded(std::move(output->suffix));
}

}  // namespace container
