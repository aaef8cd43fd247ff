// SPDX-License-Identifier: MIT
#include "container/decoder.h"

#include <cstdint>
#include <vector>

#include "container/block_copy.h"
#include "container/create_output.h"
#include "container/layout.h"
#include "container/names.h"
#include "container/record.h"

namespace container {
namespace {

// Reads the record start, leaving the input positioned at the first carried
// byte: the tag length byte says how much more to read.
std::optional<RecordStart> ReadRecordStart(platform::File& input) {
  std::vector<std::uint8_t> bytes(RecordStartLength(0));
  if (!input.ReadExact(bytes.data(), kHeaderSize + kTagLengthSize)) return std::nullopt;
  bytes.resize(RecordStartLength(bytes[kHeaderSize]));
  if (!input.ReadExact(&bytes[kHeaderSize + kTagLengthSize], bytes.size() - kHeaderSize - kTagLengthSize)) {
    return std::nullopt;
  }
  return ParseRecordStart(bytes);
}

}  // namespace

Outcome DecodePicture(platform::FileSystem& files, const std::string& argument) {
  std::unique_ptr<platform::File> input = files.OpenForReading(argument);
  if (input == nullptr) return Failed(Result::kInputUnavailable);

  std::optional<RecordStart> record = ReadRecordStart(*input);
  if (!record) return Failed(Result::kRecordFailed);
  // Tags are stored as UTF-8; one that is not was written by a tool that kept
  // names in the system's ANSI code page, and means the name read in it.
  std::string extension = ".";
  extension += IsUtf8(record->tag) ? record->tag : files.NameFromAnsi(record->tag);
  // The output name is the picture's name plus the tag, so a separator in the
  // tag would reach into another folder, and a control byte would reach the
  // name and the terminal that is shown the suffix.
  if (!IsRestorableTag(extension)) {
    return Failed(Result::kRecordFailed);
  }

  PrepareCopy();
  std::optional<CreatedOutput> output = CreateOutput(files, argument, extension, *input);
  if (!output) return Failed(Result::kOutputUnavailable);
  // A picture that changed meanwhile may have given parts of two versions.
  if (!StageSucceeded([&] {
        return CopyBlocks(*input, *output->file, record->file_length) && input->Unchanged() && output->file->Close();
      })) {
    return Failed(Result::kCopyFailed);
  }
  // Everything was read and the output is complete: a failure to release the
  // input cannot change the result.
  static_cast<void>(input->Close());
  return Succeeded(std::move(output->suffix));
}

}  // namespace container
