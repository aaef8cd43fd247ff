// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_FUZZ_CHECKS_H_
#define VARNHOLD_FUZZ_CHECKS_H_

// Property checks shared by the fuzz targets and by the corpus replay test, so
// that every input the fuzzer kept, and every crash it found, runs again in
// the ordinary test suite. Each check takes arbitrary bytes and returns an
// empty string when the code under test behaved, or a description of what
// went wrong.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

/// Decodes `data` as a picture in an in-memory folder and compares the
/// outcome, the files left and their bytes with what the record implies.
std::string CheckDecoding(const std::uint8_t* data, std::size_t size);

/// Parses `data` as the divisor's integer text and compares with a
/// separately written reading of the same syntax.
std::string CheckIntegerParsing(const std::uint8_t* data, std::size_t size);

/// Parses `data` as the side ratio's number text and compares with a
/// separately computed value.
std::string CheckNumberParsing(const std::uint8_t* data, std::size_t size);

/// Reads a pixel count, divisor and side ratio from `data` and checks the
/// picture chosen for them.
std::string CheckGeometry(const std::uint8_t* data, std::size_t size);

/// Encodes a file named, shaped and filled from `data` through the driver,
/// decodes the picture again and requires the original bytes back.
std::string CheckRoundTrip(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz

#endif  // VARNHOLD_FUZZ_CHECKS_H_
