// SPDX-License-Identifier: MIT
#include "container/create_output.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "container/layout.h"
#include "container/names.h"

namespace container {
namespace {

// Whether an existing `output` under another identity may still be `input`
// itself: the same length and the same first block. Some file systems (FUSE
// ones without stable inode numbers, sshfs, CIFS with noserverino) show two
// names of one file with different inode numbers, and emptying such a name
// would empty the input. A read that fails counts as a match, since nothing
// then shows the two apart. Nothing when the input cannot be put back where it
// was, as the copy needs it.
std::optional<bool> MayBeTheInput(platform::File& output, platform::File& input) {
  const std::optional<std::uint64_t> length = input.Length();
  const std::optional<std::uint64_t> output_length = output.Length();
  const std::optional<std::uint64_t> resume_at = input.Position();
  if (!resume_at) return std::nullopt;
  if (!length || !output_length) return true;
  if (*length != *output_length) return false;

  // Compared in pieces on the stack: nothing here may fail for lack of memory.
  std::uint8_t from_input[4096], from_output[4096];
  std::uint64_t left = std::min<std::uint64_t>(*length, kCopyBlockSize);
  bool same = input.Seek(0) && output.Seek(0);
  while (same && left > 0) {
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof from_input));
    same = !input.ReadExact(from_input, piece) || !output.ReadExact(from_output, piece) ||
           std::memcmp(from_input, from_output, piece) == 0;
    left -= piece;
  }
  if (!input.Seek(*resume_at)) return std::nullopt;
  return same;
}

}  // namespace

std::optional<CreatedOutput> CreateOutput(platform::FileSystem& files, const std::string& argument,
                                          const std::string& suffix, platform::File& input) {
  // Every name is made before any file is, so that nothing can run out of
  // memory between creating a file and removing or returning it.
  std::string candidates[] = {suffix, suffix + kRetrySuffix};
  const std::string names[] = {argument + candidates[0], argument + candidates[1]};
  for (int i = 0; i < 2; ++i) {
    const std::string& name = names[i];
    // An existing file is opened without truncation, so that it is emptied
    // only once it is known not to be the input under another name.
    platform::OutputOpening opening = files.OpenForWriting(name, input);
    bool usable = opening.file != nullptr && opening.file->Identity() != input.Identity();
    if (usable && !opening.created) {
      const std::optional<bool> may_be_input = MayBeTheInput(*opening.file, input);
      if (!may_be_input) return std::nullopt;
      usable = !*may_be_input;
    }
    if (usable && opening.file->Resize(0)) return CreatedOutput{std::move(opening.file), std::move(candidates[i])};
    // A file this run made and cannot use would be left behind empty; one
    // that was there before is never removed. Should the removal fail, the
    // run still goes on to the retry name: nothing better can be done.
    if (opening.created) {
      opening.file.reset();
      static_cast<void>(files.Remove(name));
    }
  }
  return std::nullopt;
}

}  // namespace container
