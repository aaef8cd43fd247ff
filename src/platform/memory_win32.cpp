// SPDX-License-Identifier: MIT
// The transfer buffer on Windows: plain static memory, charged to the
// system's commit when the program is loaded. Large pages would need a
// privilege that ordinary users lack.
#include <array>

#include "platform/memory.h"

namespace platform {
namespace {

alignas(64) std::array<std::uint8_t, kTransferBufferSize> buffer;

}  // namespace

std::uint8_t* TransferBuffer() { return buffer.data(); }

}  // namespace platform
