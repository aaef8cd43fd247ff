// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_DECODER_H_
#define VARNHOLD_CONTAINER_DECODER_H_

#include <string>

#include "container/outcome.h"
#include "platform/file.h"

namespace container {

/// Restores the file carried by the picture named `argument` beside it, as
/// `argument + "." + tag`. Where the record starts, and which pictures and
/// tags are refused, is LocateRecord's and ReadRecord's rule; a tag that is
/// not UTF-8 is read in the system's ANSI code page.
[[nodiscard]] Outcome DecodePicture(platform::FileSystem& files, const std::string& argument);

}  // namespace container

#endif  // VARNHOLD_CONTAINER_DECODER_H_
