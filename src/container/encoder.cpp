// SPDX-License-Identifier: MIT
#include "container/encoder.h"

#include <cstdint>

#include "container/block_copy.h"
#include "container/create_output.h"
#include "container/names.h"
#include "container/record.h"
#include "geometry/parameters.h"

namespace container {

Outcome EncodeFile(platform::FileSystem& files, const platform::Environment& environment, const std::string& argument) {
  // Settings that leave the shape undefined end the run before the input is
  // even opened.
  const geometry::ParametersResult shape = geometry::ReadGeometryParameters(environment);
  std::unique_ptr<platform::File> input =
      shape.fault == geometry::Fault::kNone ? files.OpenForReading(argument) : nullptr;
  // The length is taken once: exactly this many bytes are copied, so the
  // container always agrees with its own record; a file that changes
  // meanwhile fails the copy, since the picture may hold parts of two versions.
  const std::optional<std::uint64_t> file_length = input ? input->Length() : std::nullopt;
  const PicturePlan plan = PlanPicture(shape, argument, file_length);
  if (plan.result != Result::kSuccess) return {plan.result, {}, plan.fault};

  PrepareCopy();
  std::optional<CreatedOutput> output = CreateOutput(files, argument, kPictureSuffix, *input);
  if (!output) return Failed(Result::kOutputUnavailable);
  platform::File& picture = *output->file;
  if (!picture.WriteAll(plan.record_start.data(), plan.record_start.size())) return Failed(Result::kRecordFailed);
  if (!CopyBlocks(*input, picture, *file_length) || !input->Unchanged() || !WriteZeros(picture, plan.fill_length) ||
      !picture.Close()) {
    return Failed(Result::kCopyFailed);
  }
  // Everything was read and the output is complete: a failure to release the
  // input cannot change the result.
  static_cast<void>(input->Close());
  return Succeeded(std::move(output->suffix));
}

}  // namespace container
