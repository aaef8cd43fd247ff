// SPDX-License-Identifier: MIT
// The decoder against arbitrary picture bytes. The expected outcome is worked
// out here from the header and record layout directly, not through the
// decisions the decoder calls, so a mistake in one is not repeated in the
// other; only the tag rule, IsRestorableTag, is shared.
#include <algorithm>
#include <optional>
#include <sstream>
#include <vector>

#include "container/decoder.h"
#include "container/layout.h"
#include "container/names.h"
#include "fuzz/checks.h"
#include "testing/memory_file_system.h"

namespace fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;
using container::Result;

constexpr char kFolder[] = "pictures";
constexpr char kPicture[] = "pictures/p.bmp";
constexpr char kNeighbour[] = "pictures/neighbour.txt";
constexpr char kOutside[] = "outside.txt";
constexpr std::size_t kHeader = container::kHeaderSize;
constexpr std::size_t kBlock = container::kCopyBlockSize;

struct Expected {
  Result result = Result::kRecordFailed;
  std::string suffix;  // "." and the tag up to its first zero byte
  Bytes output;        // what the output holds when one is left
};

std::uint32_t Field(const Bytes& bytes, std::size_t at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = size; i-- > 0;) value = value << 8 | bytes[at + i];
  return value;
}

// Where the record starts: after 54 bytes, unless a bitmap header of a known
// version says where the pixels start; nothing when the header states pixels
// laid out otherwise than the program writes them.
std::optional<std::size_t> RecordOffset(const Bytes& picture) {
  if (picture.size() < 18 || picture[0] != 'B' || picture[1] != 'M') return kHeader;
  const std::uint32_t information = Field(picture, 14, 4);
  if (information != 40 && information != 52 && information != 56 && information != 108 && information != 124) {
    return kHeader;
  }
  if (picture.size() < 14 + information) return std::nullopt;
  const std::uint32_t width = Field(picture, 18, 4), height = Field(picture, 22, 4);
  const bool sides = width >= 1 && width <= 0x7FFFFFFF && height >= 1 && height <= 0x7FFFFFFF;
  const bool pixels = Field(picture, 26, 2) == 1 && Field(picture, 28, 2) == 24 && Field(picture, 30, 4) == 0;
  const std::uint32_t offset = Field(picture, 10, 4);
  if (!sides || !pixels || offset < 14 + information) return std::nullopt;
  return offset;
}

Expected ExpectedDecoding(const Bytes& picture) {
  Expected expected;
  const std::optional<std::size_t> offset = RecordOffset(picture);
  if (!offset || picture.size() < *offset + 1) return expected;
  const std::size_t tag_length = picture[*offset];
  const std::size_t record_end = *offset + 1 + tag_length + 4;
  if (tag_length == 0 || picture.size() < record_end) return expected;

  std::string tag(picture.data() + *offset + 1, picture.data() + *offset + 1 + tag_length);
  tag = tag.substr(0, tag.find('\0'));
  if (!container::IsRestorableTag(tag)) return expected;
  expected.suffix = "." + tag;

  const std::uint64_t stated = Field(picture, record_end - 4, 4);
  const std::size_t present = picture.size() - record_end;
  // A short picture keeps only the whole blocks before the shortfall.
  const std::size_t copied = stated <= present ? static_cast<std::size_t>(stated) : present / kBlock * kBlock;
  expected.result = stated <= present ? Result::kSuccess : Result::kCopyFailed;
  expected.output.assign(picture.data() + record_end, picture.data() + record_end + copied);
  return expected;
}

bool LeavesOutput(Result result) { return result == Result::kSuccess || result == Result::kCopyFailed; }

// One decoding run; `first_name_taken` puts a folder where the first output
// name would go, so the retry name is used.
void CheckRun(const Bytes& picture, const Expected& expected, bool first_name_taken, std::ostream& problems) {
  test_support::MemoryFileSystem files;
  files.AddDirectory(kFolder);
  files.AddFile(kPicture, picture);
  files.AddFile(kNeighbour, {'n'});
  files.AddFile(kOutside, {'o'});
  const std::string first_name = kPicture + expected.suffix;
  if (first_name_taken) files.AddDirectory(first_name);
  const std::string suffix = expected.suffix + (first_name_taken ? container::kRetrySuffix : "");

  const container::Outcome outcome = container::DecodePicture(files, kPicture);
  const char* run = first_name_taken ? "with the first name taken: " : "";
  if (outcome.result != expected.result) {
    problems << run << "result " << static_cast<int>(outcome.result) << ", expected "
             << static_cast<int>(expected.result) << "; ";
  }
  if (outcome.result == Result::kSuccess && outcome.suffix != suffix) {
    problems << run << "suffix \"" << outcome.suffix << "\", expected \"" << suffix << "\"; ";
  }
  if (files.Contents(kPicture) != picture) problems << run << "the picture changed; ";
  if (files.Contents(kNeighbour) != Bytes{'n'} || files.Contents(kOutside) != Bytes{'o'}) {
    problems << run << "another file changed; ";
  }

  std::vector<std::string> names{kOutside, kNeighbour, kPicture};
  if (LeavesOutput(expected.result)) names.push_back(kPicture + suffix);
  std::sort(names.begin(), names.end());
  const std::vector<std::string> left = files.FileNames();
  if (left != names) problems << run << "unexpected set of " << left.size() << " files; ";
  for (const std::string& name : left) {
    const bool beside =
        name.rfind(kPicture, 0) == 0 && container::IsRestorableTag(std::string_view(name).substr(sizeof kPicture - 1));
    if (!beside && name != kOutside && name != kNeighbour) problems << run << "wrote outside its folder; ";
  }
  if (LeavesOutput(expected.result) && files.Contents(kPicture + suffix) != expected.output) {
    problems << run << "output bytes differ from the carried slice; ";
  }
}

}  // namespace

std::string CheckDecoding(const std::uint8_t* data, std::size_t size) {
  const Bytes picture(data, data + size);
  const Expected expected = ExpectedDecoding(picture);
  std::ostringstream problems;
  CheckRun(picture, expected, false, problems);
  if (LeavesOutput(expected.result)) CheckRun(picture, expected, true, problems);
  return problems.str();
}

}  // namespace fuzz
