// SPDX-License-Identifier: MIT
// The transfer buffer on POSIX systems.
#include <sys/mman.h>

#include <array>

#include "platform/memory.h"

namespace platform {
namespace {

// A buffer that fills one aligned huge page costs one page fault where the
// system backs it with a huge page (Linux's transparent huge pages set to
// `always`, or to `madvise` with the advice below), instead of one per 4 KiB
// page: about 10 us each on a paravirtualised machine, a millisecond for a
// 1 MiB file. Being static, it takes nothing from the heap.
constexpr std::size_t kHugePageSize = std::size_t{2} << 20;
// The smallest page size of any system the program runs on.
constexpr std::size_t kSmallPageSize = 4096;
alignas(kHugePageSize) std::array<std::uint8_t, kHugePageSize> buffer;

std::uint8_t* Prepare() {
#if defined(MADV_HUGEPAGE)
  // Where the system refuses the huge page, or has none free, the buffer has
  // ordinary pages.
  static_cast<void>(::madvise(buffer.data(), buffer.size(), MADV_HUGEPAGE));
#endif
#if defined(MADV_POPULATE_WRITE)
  // One request makes the pages present. Writing to each page instead took
  // longer than the faults of a buffer nobody prepared, so it is left for
  // systems that refuse the request (Linux before 5.14).
  if (::madvise(buffer.data(), kTransferBufferSize, MADV_POPULATE_WRITE) == 0) return buffer.data();
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
