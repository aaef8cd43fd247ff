// SPDX-License-Identifier: MIT
#include "testing/bytes.h"

#include "container/layout.h"

namespace test_support {

Bytes Pattern(std::size_t size, unsigned seed) {
  Bytes bytes(size);
  std::uint32_t state = 0x9E3779B9u ^ seed;
  for (auto& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

Bytes Picture(const std::string& tag, std::uint32_t stated_length, const Bytes& carried, std::size_t fill_to) {
  const auto header = container::BuildHeader(8, 2);
  Bytes bytes(header.begin(), header.end());
  bytes.push_back(static_cast<std::uint8_t>(tag.size()));
  bytes.insert(bytes.end(), tag.begin(), tag.end());
  bytes.resize(bytes.size() + container::kFileLengthSize);
  container::StoreLittleEndian32(&bytes[bytes.size() - container::kFileLengthSize], stated_length);
  bytes.insert(bytes.end(), carried.begin(), carried.end());
  if (bytes.size() < fill_to) bytes.resize(fill_to);
  return bytes;
}

}  // namespace test_support
