// SPDX-License-Identifier: MIT
// Replays every committed fuzz input, seeds and crash reproducers alike,
// through the same checks the fuzz targets run.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/checks.h"

namespace fuzz {
namespace {

using Check = std::string (*)(const std::uint8_t*, std::size_t);

void ReplayCorpus(const std::string& target, Check check) {
  const std::filesystem::path folder = std::filesystem::path(VARNHOLD_CORPUS_DIR) / target;
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(check(bytes.data(), bytes.size()), "") << entry.path();
    ++replayed;
  }
  EXPECT_GE(replayed, 3) << "the corpus of " << target << " has gone missing";
}

TEST(CorpusTest, Decoder) { ReplayCorpus("decoder", CheckDecoding); }
TEST(CorpusTest, Integer) { ReplayCorpus("integer", CheckIntegerParsing); }
TEST(CorpusTest, Number) { ReplayCorpus("number", CheckNumberParsing); }
TEST(CorpusTest, Geometry) { ReplayCorpus("geometry", CheckGeometry); }
TEST(CorpusTest, RoundTrip) { ReplayCorpus("roundtrip", CheckRoundTrip); }

}  // namespace
}  // namespace fuzz
