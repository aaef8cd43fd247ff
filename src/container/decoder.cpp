#include "container/decoder.h"

#include <cstdint>
#include <string_view>

#include "container/block_copy.h"
#include "container/create_output.h"
#include "container/layout.h"
#include "container/names.h"

namespace container {
namespace {

struct Record {
  std::string tag;  // up to its first zero byte, as stored
  std::uint32_t file_length = 0;
};

// The length of the UTF-8 sequence a lead byte starts; 0 for a byte that
// never starts one (continuation bytes, and C0, C1, F5 to FF).
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// True when `bytes` is well-formed UTF-8: shortest forms only, no surrogates,
// nothing above U+10FFFF.
bool IsUtf8(std::string_view bytes) {
  constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0 || bytes.size() - i < length) return false;
    std::uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3Fu);
    }
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

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
  return Record{tag, LoadLittleEndian32(length_field)};
}

}  // namespace

Outcome DecodePicture(platform::FileSystem& files, const std::string& argument) {
  std::unique_ptr<platform::File> input = files.OpenForReading(argument);
  if (input == nullptr) return Failed(Result::kInputUnavailable);

  std::optional<Record> record = ReadRecord(*input);
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
