// SPDX-License-Identifier: MIT
// Whole runs through the driver, in memory: any file under any name, with any
// geometry settings, is encoded and the picture decoded again; the restored
// file must equal the original byte for byte, beside the picture, and every
// other outcome must be one the settings explain.
#include <algorithm>
#include <sstream>
#include <vector>

#include "container/layout.h"
#include "container/names.h"
#include "driver/run.h"
#include "fuzz/checks.h"
#include "testing/memory_console.h"
#include "testing/memory_environment.h"
#include "testing/memory_file_system.h"

namespace fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Pictures are capped at this size, so settings that choose an enormous
// picture end in a copy failure instead of exhausting memory.
constexpr std::uint64_t kPictureLimit = 1 << 20;

// Takes a piece of at most 255 bytes, its length given by the next byte.
std::string TakePiece(const std::uint8_t*& data, std::size_t& size) {
  if (size == 0) return "";
  const std::size_t length = std::min<std::size_t>(*data, size - 1);
  std::string piece(reinterpret_cast<const char*>(data + 1), length);
  data += 1 + length;
  size -= 1 + length;
  return piece;
}

}  // namespace

std::string CheckRoundTrip(const std::uint8_t* data, std::size_t size) {
  // A file name (folders in it are allowed: a dot in a folder name must not
  // end up in the stored tag), the two settings, then the file.
  std::string name = TakePiece(data, size);
  std::replace(name.begin(), name.end(), '\0', '_');
  if (name.empty() || container::IsPictureExtension(container::ExtensionOf(name))) name += "x";
  const std::string divisor = TakePiece(data, size);
  const std::string fraction = TakePiece(data, size);
  const Bytes content(data, data + size);

  const std::string input = "f/" + name;
  const std::string picture = input + container::kPictureSuffix;
  test_support::MemoryFileSystem files;
  files.AddDirectory("f");
  files.AddFile(input, content);
  // Longer than the input, so it is never taken for the input under another name.
  const Bytes placeholder(content.size() + 1);
  files.AddFile(picture, placeholder).write_limit = kPictureLimit;
  test_support::MemoryEnvironment environment;
  if (!divisor.empty()) environment.variables["VARNHOLD_DIVISOR"] = divisor;
  if (!fraction.empty()) environment.variables["VARNHOLD_FRACTION"] = fraction;
  test_support::MemoryConsole console;

  std::ostringstream problems;
  const int encoded = driver::Run({input}, {files, console, environment});
  const Bytes stored = files.Contents(picture).value_or(Bytes{});
  if (files.Contents(input) != content) problems << "the input changed; ";
  if (!console.error.empty()) {
    // The settings make the shape undefined: nothing may have been written.
    if (encoded != 1 || !console.out.empty() || stored != placeholder) problems << "a fault that was not clean; ";
    return problems.str();
  }
  if (encoded == 4 && stored.size() >= container::kHeaderSize) {
    const std::uint64_t declared = container::LoadLittleEndian32(&stored[2]);
    if (declared <= kPictureLimit) problems << "copy failed below the size limit; ";
    return problems.str();
  }
  if (encoded != 0 || console.out != container::kPictureSuffix) {
    problems << "encoding ended with " << encoded << " \"" << console.out << "\"; ";
    return problems.str();
  }
  const std::uint32_t width = container::LoadLittleEndian32(&stored[18]);
  const std::uint32_t height = container::LoadLittleEndian32(&stored[22]);
  if (stored.size() != container::kHeaderSize + 3ull * width * height ||
      stored.size() != container::LoadLittleEndian32(&stored[2])) {
    problems << "the picture's length disagrees with its header; ";
  }

  console.out.clear();
  const int decoded = driver::Run({picture}, {files, console, environment});
  // An extension whose dot lay in a folder name, or that holds a separator or
  // a control character, is stored as no extension.
  const std::string suffix = container::StoredExtension(container::ExtensionOf(name));
  if (decoded != 0 || console.out != suffix) {
    problems << "decoding ended with " << decoded << " \"" << console.out << "\", expected \"" << suffix << "\"; ";
  }
  if (files.Contents(picture + suffix) != content) problems << "the restored file differs; ";
  if (files.FileNames() != std::vector<std::string>{input, picture, picture + suffix}) {
    problems << "unexpected files left; ";
  }
  return problems.str();
}

}  // namespace fuzz
