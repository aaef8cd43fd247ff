// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_TESTING_BYTES_H_
#define VARNHOLD_TESTING_BYTES_H_

// Test data shared by the unit, fuzz and end-to-end tests.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

using Bytes = std::vector<std::uint8_t>;

/// Deterministic bytes that differ at every offset of a small file; another
/// `seed` gives another sequence.
Bytes Pattern(std::size_t size, unsigned seed = 0);

/// A picture made by hand: the program's header of an 8 x 2 picture,
/// the record for `tag` stating `stated_length` carried bytes, then `carried`
/// as given, so the stated length and the bytes present may disagree. Zero
/// fill follows up to `fill_to` bytes when that is longer.
Bytes Picture(const std::string& tag, std::uint32_t stated_length, const Bytes& carried, std::size_t fill_to = 0);

}  // namespace test_support

#endif  // VARNHOLD_TESTING_BYTES_H_
