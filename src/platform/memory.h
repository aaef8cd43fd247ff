// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_PLATFORM_MEMORY_H_
#define VARNHOLD_PLATFORM_MEMORY_H_

#include <cstddef>
#include <cstdint>

namespace platform {

/// The size of the buffer `TransferBuffer` gives.
inline constexpr std::size_t kTransferBufferSize = std::size_t{1} << 20;

/// A static buffer of `kTransferBufferSize` bytes for moving file data,
/// aligned to 64 bytes, the same on every call (one user at a time). Once the
/// first call has returned, using the buffer cannot fail for want of memory;
/// on Linux that call makes its pages present, in one huge page where the
/// system grants one, so that using it costs no page faults either.
std::uint8_t* TransferBuffer();

}  // namespace platform

#endif  // VARNHOLD_PLATFORM_MEMORY_H_
