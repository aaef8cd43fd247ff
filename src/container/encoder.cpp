// SPDX-License-Identifier: MIT
#include "container/encoder.h"

#include <cstdint>

#include "container/block_copy.h"
#include "container/create_output.h"
#include "container/layout.h"
#include "container/names.h"
#include "container/record.h"
#include "geometry/parameters.h"

namespace container {

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

  const PicturePlan plan =
      PlanPicture(parameters.parameters, stored_extension, static_cast<std::uint32_t>(*file_length));
  if (plan.fault != geometry::Fault::kNone) return Faulted(plan.fault);

  PrepareCopy();
  std::optional<CreatedOutput> output = CreateOutput(files, argument, kPictureSuffix, *input);
  if (!output) return Failed(Result::kOutputUnavailable);
  platform::File& picture = *output->file;
  if (!StageSucceeded([&] { return picture.WriteAll(plan.record_start.data(), plan.record_start.size()); })) {
    return Failed(Result::kRecordFailed);
  }
  if (!StageSucceeded([&] {
        return CopyBlocks(*input, picture, *file_length) && input->Unchanged() &&
               WriteZeros(picture, plan.fill_length) && picture.Close();
      })) {
    return Failed(Result::kCopyFailed);
  }
  // Everything was read and the output is complete: a failure to release the
  // input cannot change the result.
  static_cast<void>(input->Close());
  return Succeeded(std::move(output->suffix));
}

}  // namespace container
