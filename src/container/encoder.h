// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_ENCODER_H_
#define VARNHOLD_CONTAINER_ENCODER_H_

#include <string>

#include "container/outcome.h"
#include "platform/environment.h"
#include "platform/file.h"

namespace container {

/// Packs the file named `argument` into a picture container named
/// `argument + ".bmp"`, storing its extension so the decoder can name the
/// restored file. The picture's shape comes from the geometry parameters in
/// `environment`.
[[nodiscard]] Outcome EncodeFile(platform::FileSystem& files, const platform::Environment& environment,
                                 const std::string& argument);

}  // namespace container

#endif  // VARNHOLD_CONTAINER_ENCODER_H_
