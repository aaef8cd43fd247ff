#include "container/create_output.h"

#include <gtest/gtest.h>

#include "testing/memory_file_system.h"

namespace container {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CreateOutputTest, NameReachingTheInputIsNeverEmptied) {
  test_support::MemoryFileSystem files;
  files.AddFile("in", {1, 2, 3});
  files.AddLink("in.bmp", "in");
  auto input = files.OpenForReading("in");
  // Even where opening does not hold a file exclusively, identity decides.
  files.Find("in")->open = false;
  auto output = CreateOutput(files, "in", ".bmp", *input);
  ASSERT_TRUE(output.has_value());
  EXPECT_EQ(output->suffix, ".bmp~");
  EXPECT_EQ(files.Contents("in"), (Bytes{1, 2, 3}));

  files.AddLink("in.bmp~", "in");
  files.Find("in.bmp~")->open = false;
  EXPECT_FALSE(CreateOutput(files, "in", ".bmp", *input).has_value());
  EXPECT_EQ(files.Contents("in"), (Bytes{1, 2, 3}));
}

TEST(CreateOutputTest, ExistingFileIsEmptiedAndHeldNamesAreSkipped) {
  test_support::MemoryFileSystem files;
  files.AddFile("in", {1});
  files.AddFile("in.x", {9, 9, 9});
  auto input = files.OpenForReading("in");
  auto output = CreateOutput(files, "in", ".x", *input);
  ASSERT_TRUE(output.has_value());
  EXPECT_EQ(output->suffix, ".x");
  EXPECT_EQ(files.Contents("in.x"), Bytes{});

  files.AddFile("in.y").held_elsewhere = true;
  files.RefuseCreation("in.z");
  EXPECT_EQ(CreateOutput(files, "in", ".y", *input)->suffix, ".y~");
  EXPECT_EQ(CreateOutput(files, "in", ".z", *input)->suffix, ".z~");
}

}  // namespace
}  // namespace container
