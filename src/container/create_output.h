#ifndef VARNHOLD_CONTAINER_CREATE_OUTPUT_H_
#define VARNHOLD_CONTAINER_CREATE_OUTPUT_H_

#include <memory>
#include <optional>
#include <string>

#include "platform/file.h"

namespace container {

struct CreatedOutput {
  std::unique_ptr<platform::File> file;  ///< open, empty, positioned at 0
  std::string suffix;                    ///< the suffix actually used
};

/// The one place that opens output files. Creates `argument + suffix`, or
/// failing that `argument + suffix + kRetrySuffix`, emptying a file that already exists.
/// A name that reaches `input` itself (a link, or a name the platform folds
/// onto it) counts as one that cannot be created, and is never emptied.
/// Nothing when both names fail.
[[nodiscard]] std::optional<CreatedOutput> CreateOutput(platform::FileSystem& files, const std::string& argument,
                                          const std::string& suffix, const platform::File& input);

}  // namespace container

#endif  // VARNHOLD_CONTAINER_CREATE_OUTPUT_H_
