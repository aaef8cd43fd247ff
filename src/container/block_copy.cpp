#include "container/block_copy.h"

#include <algorithm>
#include <array>

#include "container/layout.h"

namespace container {
namespace {

// The copy buffer is static, like the zero fill's block: once an output
// exists, nothing may fail for want of memory, or a stage's failure would look
// like a run that wrote nothing. One copy runs at a time.
std::array<std::uint8_t, kCopyBlockSize> copy_buffer;

bool CopyThroughBuffer(platform::File& source, platform::File& target, std::uint64_t count) {
  while (count > 0) {
    std::size_t block = static_cast<std::size_t>(std::min<std::uint64_t>(count, kCopyBlockSize));
    if (!source.ReadExact(copy_buffer.data(), block) || !target.WriteAll(copy_buffer.data(), block)) return false;
    count -= block;
  }
  return true;
}

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

// Hands the copy to the kernel while keeping the buffered copy's outcome: when
// the source holds fewer than `count` bytes, only the whole blocks it can
// supply are copied, and the copy fails.
platform::KernelCopy CopyWholeBlocksInKernel(platform::File& source, platform::File& target, std::uint64_t count) {
  std::optional<std::uint64_t> length = source.Length();
  std::optional<std::uint64_t> position = source.Position();
  std::optional<std::uint64_t> target_start = target.Position();
  if (!length || !position || !target_start) return platform::KernelCopy::kUnavailable;
  std::uint64_t available = *length > *position ? *length - *position : 0;
  bool short_source = available < count;
  std::uint64_t whole = short_source ? available / kCopyBlockSize * kCopyBlockSize : count;
  if (whole == 0) return short_source ? platform::KernelCopy::kFailed : platform::KernelCopy::kDone;

  switch (source.CopyInKernel(target, whole)) {
    case platform::KernelCopy::kDone:
      return short_source ? platform::KernelCopy::kFailed : platform::KernelCopy::kDone;
    case platform::KernelCopy::kUnavailable:
      return platform::KernelCopy::kUnavailable;
    case platform::KernelCopy::kFailed:
      break;
  }
  // Stopped part-way (the source shrank, or a write failed).
  KeepWholeBlocks(target, target_start);
  return platform::KernelCopy::kFailed;
}

}  // namespace

bool CopyBlocks(platform::File& source, platform::File& target, std::uint64_t count) {
  if (count == 0) return true;
  switch (CopyWholeBlocksInKernel(source, target, count)) {
    case platform::KernelCopy::kDone:
      return true;
    case platform::KernelCopy::kFailed:
      return false;
    case platform::KernelCopy::kUnavailable:
      break;
  }
  const std::optional<std::uint64_t> start = target.Position();
  if (CopyThroughBuffer(source, target, count)) return true;
  KeepWholeBlocks(target, start);
  return false;
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
