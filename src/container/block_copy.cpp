// SPDX-License-Identifier: MIT
#include "container/block_copy.h"

#include <algorithm>
#include <array>

#include "container/layout.h"

namespace container {
namespace {

// Blocks are read one at a time but written sixteen at a time: on the
// machines measured, a loop writing about 1 MiB at a time ran as fast as cp
// or close to it, one writing each 61,440-byte block on its own up to twice
// as long. Reading block by block cost nothing measurable and keeps every
// block read whole before any of it is written. 16 blocks keep the resident
// set near 2 MiB; 8 or 32 were no faster, 64 were slower.
constexpr std::size_t kBufferBlocks = 16;

// The kernel copies a write into the page cache fastest when the bytes lie at
// the same offset within a cache line in memory as in the file: the picture's
// record puts the carried bytes at file offset 59 + n, and writing them from
// an aligned buffer took about 1.2 times as long as cp on the machines
// measured. The data therefore starts at the target's offset modulo this.
constexpr std::size_t kLineSize = 64;

// The copy buffer is static, like the zero fill's block: once an output
// exists, nothing may fail for want of memory, or a stage's failure would look
// like a run that wrote nothing. One copy runs at a time.
alignas(kLineSize) std::array<std::uint8_t, kBufferBlocks * kCopyBlockSize + kLineSize> copy_buffer;
constexpr std::size_t kBufferSize = kBufferBlocks * kCopyBlockSize;

// After a copy that failed part-way, cuts `target` back to the whole blocks
// written since `start`, so a failed copy never leaves part of a block behind
// (a write past a size limit or onto a full disk stops mid-block).
void KeepWholeBlocks(platform::File& target, std::optional<std::uint64_t> start) {
  std::optional<std::uint64_t> reached = target.Position();
  if (!start || !reached || *reached < *start) return;
  const std::uint64_t whole_end = *start + (*reached - *start) / kCopyBlockSize * kCopyBlockSize;
  // Every caller is already reporting the copy as failed, which is all a
  // failed cut could add; the output then ends in the partial block, as
  // block_copy.h states.
  if (whole_end != *reached) static_cast<void>(target.Resize(whole_end));
}

}  // namespace

bool CopyBlocks(platform::File& source, platform::File& target, std::uint64_t count) {
  const std::optional<std::uint64_t> start = target.Position();
  std::uint8_t* const buffer = copy_buffer.data() + (start ? *start % kLineSize : 0);
  while (count > 0) {
    // Fills the buffer with whole blocks; a block the source cannot supply
    // whole ends the copy after the blocks before it are written.
    std::size_t filled = 0;
    bool source_ok = true;
    while (filled < kBufferSize && filled < count) {
      const auto block = static_cast<std::size_t>(std::min<std::uint64_t>(count - filled, kCopyBlockSize));
      source_ok = source.ReadExact(buffer + filled, block);
      if (!source_ok) break;
      filled += block;
    }
    if (filled > 0 && !target.WriteAll(buffer, filled)) {
      KeepWholeBlocks(target, start);
      return false;
    }
    if (!source_ok) return false;
    count -= filled;
  }
  return true;
}

bool WriteZeros(platform::File& target, std::uint64_t count) {
  static const std::array<std::uint8_t, kCopyBlockSize> kZeros{};
  while (count > 0) {
    std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(count, kZeros.size()));
    if (!target.WriteAll(kZeros.data(), piece)) return false;
    count -= piece;
  }
  return true;
}

}  // namespace container
