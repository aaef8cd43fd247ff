// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_BLOCK_COPY_H_
#define VARNHOLD_CONTAINER_BLOCK_COPY_H_

#include <cstdint>

#include "platform/file.h"

namespace container {

/// Makes the copy's memory ready; called before any output exists, so that
/// once one exists no copy can fail for want of memory.
void PrepareCopy();

/// Copies exactly `count` bytes from `source`'s position to `target`'s, in
/// whole blocks of at most `kCopyBlockSize` bytes: a block the source cannot
/// supply whole is not written, and one the target takes only in part is cut
/// off again, so a failed copy leaves only the whole blocks before the
/// failure (unless the target refuses that cut too; the copy has failed
/// either way). Memory use does not depend on `count`.
/// False when the source ends early or a read or write fails.
[[nodiscard]] bool CopyBlocks(platform::File& source, platform::File& target, std::uint64_t count);

/// Appends `count` zero bytes to `target` with the same constant memory.
[[nodiscard]] bool WriteZeros(platform::File& target, std::uint64_t count);

}  // namespace container

#endif  // VARNHOLD_CONTAINER_BLOCK_COPY_H_
