// SPDX-License-Identifier: MIT
// The transfer buffer on POSIX systems.
#include <sys/mman.h>

#include <array>

#include "platform/memory.h"

namespace platform {
namespace {

// A buffer that fills one aligned huge page costs one page fault where the
// system backs it with a huge page (Linux's transparent huge pages, `always`,
// or `madvise` with the advice below), instead of one per 4 KiB page: about
// 10 us each on a paravirtualised machine, a millisecond for a 1 MiB file.
// Being static, it takes nothing from the heap and cannot fail to be had.
constexpr std::size_t kHugePageSize = std::size_t{2} << 20;
// The smallest page size of any system the program runs on.
constexpr std::size_t kSmallPageSize = 4096;
alignas(kHugePageSize) std::array<std::uint8_t, kHugePageSize> buffer;

std::uint8_t* Prepare() {
#if defined(MADV_HUGEPAGE)
  // Where the advice is refused or no huge page is free, the buffer has
  // ordinary pages, and the loop below makes them present one by one.
  static_cast<void>(::madvise(buffer.data(), buffer.size(), MADV_HUGEPAGE));
#endif
  for (std::size_t at = 0; at < kTransferBufferSize; at += kSmallPageSize) {
    static_cast<volatile std::uint8_t&>(buffer[at]) = 0;
  }
  return buffer.data();
}

}  // namespace

std::uint8_t* TransferBuffer() {
  static std::uint8_t* const data = Prepare();
  return data;
}

}  // namespace platform
