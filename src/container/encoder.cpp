#include "container/encoder.h"

#include <cstdint>
#include <vector>

#include "container/block_copy.h"
#include "container/create_output.h"
#include "container/layout.h"
#include "container/names.h"
#include "geometry/dimensions.h"
#include "geometry/parameters.h"

namespace container {
namespace {

// The extension as stored: a dot that lay in a folder name gives an
// "extension" with a separator in it, and a name may hold control bytes;
// neither could be restored beside the picture, so such files are stored as
// having none.
std::string StoredExtension(const std::string& extension) {
  if (extension.empty() || !IsRestorableTag(extension)) {
    return kNoExtensionMarker;
  }
  return extension;
}

// Header, tag length, tag and file length, written in one piece.
std::vector<std::uint8_t> BuildRecordStart(geometry::Dimensions dimensions, const std::string& extension,
                                           std::uint32_t file_length) {
  const auto header = BuildHeader(dimensions.width, dimensions.height);
  const std::string tag = extension.substr(1);
  std::vector<std::uint8_t> bytes(header.begin(), header.end());
  bytes.push_back(static_cast<std::uint8_t>(tag.size()));
  bytes.insert(bytes.end(), tag.begin(), tag.end());
  bytes.resize(bytes.size() + kFileLengthSize);
  StoreLittleEndian32(&bytes[bytes.size() - kFileLengthSize], file_length);
  return bytes;
}

}  // namespace

Outcome EncodeFile(platform::FileSystem& files, const platform::Environment& environment, const std::string& argument,
                   const std::string& extension) {
  const geometry::ParametersResult parameters = geometry::ReadGeometryParameters(environment);
  if (parameters.fault != geometry::Fault::kNone) return Faulted(parameters.fault);
  const std::string stored_extension = StoredExtension(extension);

  std::unique_ptr<platform::File> input = files.OpenForReading(argument);
  if (input == nullptr) return Failed(Result::kInputUnavailable);
  // The length is taken once: exactly this many bytes are copied, so the
  // container always agrees with its own record; a file that changes
  // meanwhile fails the copy, since the picture may hold parts of two versions.
  const std::optional<std::uint64_t> file_length = input->Length();
  if (!file_length || *file_length > kMaxCarriedLength) return Failed(Result::kInputUnavailable);

  const std::uint64_t record_length = RecordLength(stored_extension.size() - 1, *file_length);
  const auto pixels = static_cast<std::uint32_t>((record_length + 2) / 3);
  const geometry::GeometryResult geometry =
      geometry::ChooseGeometry(pixels, parameters.parameters.divisor, parameters.parameters.fraction);
  if (geometry.fault != geometry::Fault::kNone) return Faulted(geometry.fault);
  const std::uint64_t container_length = kHeaderSize + 3ull * geometry.dimensions.width * geometry.dimensions.height;
  const std::vector<std::uint8_t> record_start =
      BuildRecordStart(geometry.dimensions, stored_extension, static_cast<std::uint32_t>(*file_length));

  std::optional<CreatedOutput> output = CreateOutput(files, argument, kPictureSuffix, *input);
  if (!output) return Failed(Result::kOutputUnavailable);
  platform::File& picture = *output->file;
  if (!StageSucceeded([&] { return picture.WriteAll(record_start.data(), record_start.size()); })) {
    return Failed(Result::kRecordFailed);
  }
  if (!StageSucceeded([&] {
        return CopyBlocks(*input, picture, *file_length) && input->Unchanged() &&
               WriteZeros(picture, container_length - kHeaderSize - record_length) && picture.Close();
      })) {
    return Failed(Result::kCopyFailed);
  }
  // Everything was read and the output is complete: a failure to release the
  // input cannot change the result.
  static_cast<void>(input->Close());
  return Succeeded(std::move(output->suffix));
}

}  // namespace container
