#include "container/decoder.h"

#include <cstdint>

#include "container/block_copy.h"
#include "container/create_output.h"
#include "container/layout.h"
#include "container/names.h"

namespace container {
namespace {

struct Record {
  std::string extension;  // "." and the tag up to its first zero byte
  std::uint32_t file_length = 0;
};

// Reads header, tag length, tag and file length; leaves the input positioned
// at the first carried byte.
std::optional<Record> ReadRecord(platform::File& input) {
  std::uint8_t header[kHeaderSize];
  std::uint8_t tag_length = 0;
  if (!input.ReadExact(header, sizeof header) || !input.ReadExact(&tag_length, 1)) return std::nullopt;
  std::string tag(tag_length, '\0');
  if (tag_length > 0 && !input.ReadExact(tag.data(), tag.size())) return std::nullopt;
  std::uint8_t length_field[kFileLengthSize];
  if (!input.ReadExact(length_field, sizeof length_field)) return std::nullopt;

  tag.resize(tag.find('\0') == std::string::npos ? tag.size() : tag.find('\0'));
  return Record{"." + tag, LoadLittleEndian32(length_field)};
}

}  // namespace

Outcome DecodePicture(platform::FileSystem& files, const std::string& argument) {
  std::unique_ptr<platform::File> input = files.OpenForReading(argument);
  if (input == nullptr) return Failed(Result::kInputUnavailable);

  std::optional<Record> record = ReadRecord(*input);
  // The output name is the picture's name plus the tag, so a separator in the
  // tag would reach into another folder.
  if (!record || HasPathSeparator(record->extension)) {
    return Failed(Result::kRecordFailed);
  }

  std::optional<CreatedOutput> output = CreateOutput(files, argument, record->extension, *input);
  if (!output) return Failed(Result::kOutputUnavailable);
  if (!CopyBlocks(*input, *output->file, record->file_length) || !output->file->Close()) {
    return Failed(Result::kCopyFailed);
  }
  // Everything was read and the output is complete: a failure to release the
  // input cannot change the result.
  static_cast<void>(input->Close());
  return Succeeded(std::move(output->suffix));
}

}  // namespace container
