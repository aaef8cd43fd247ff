// SPDX-License-Identifier: MIT
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
/// onto it) counts as one that cannot be created, and is never emptied; so
/// does an existing file whose length and first block equal the input's,
/// since some file systems hide that two names are one file. A file this call
/// created and could not use is removed again. A new file takes `input`'s
/// permissions, as the file system allows. Nothing when both names fail.
/// `input`'s position is unchanged.
[[nodiscard]] std::optional<CreatedOutput> CreateOutput(platform::FileSystem& files, const std::string& argument,
                                                        const std::string& suffix, platform::File& input);

}  // namespace container

#endif  // VARNHOLD_CONTAINER_CREATE_OUTPUT_H_
