#include "container/create_output.h"

#include "container/names.h"

namespace container {

std::optional<CreatedOutput> CreateOutput(platform::FileSystem& files, const std::string& argument,
                                          const std::string& suffix, const platform::File& input) {
  for (const std::string& candidate : {suffix, suffix + kRetrySuffix}) {
    // Opened without truncation so that the identity check below runs before
    // any byte of an existing file is lost.
    std::unique_ptr<platform::File> file = files.OpenForWriting(argument + candidate);
    if (file == nullptr || file->Identity() == input.Identity() || !file->Resize(0)) continue;
    return CreatedOutput{std::move(file), candidate};
  }
  return std::nullopt;
}

}  // namespace container
