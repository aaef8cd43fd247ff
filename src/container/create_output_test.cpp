// SPDX-License-Identifier: MIT
#include "container/create_output.h"

#include <gtest/gtest.h>

#include "testing/memory_file_system.h"

namespace container {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A link to the input, whether its identity shows it (a hard or symbolic link)
// or hides it (file systems without stable inode numbers, where only the length
// and first block give it away), is never emptied, under either name.
TEST(CreateOutputTest, NameReachingTheInputIsNeverEmptied) {
  using AddAlias = void (test_support::MemoryFileSystem::*)(const std::string&, const std::string&);
  for (AddAlias add_alias :
       {&test_support::MemoryFileSystem::AddLink, &test_support::MemoryFileSystem::AddUnrecognisableLink}) {
    test_support::MemoryFileSystem files;
    files.AddFile("in", {1, 2, 3});
    (files.*add_alias)("in.bmp", "in");
    auto input = files.OpenForReading("in");
    // Even where opening does not hold a file exclusively, the checks decide.
    files.Find("in")->open = false;
    std::uint8_t first;
    ASSERT_TRUE(input->ReadExact(&first, 1));
    auto output = CreateOutput(files, "in", ".bmp", *input);
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(output->suffix, ".bmp~");
    EXPECT_EQ(files.Contents("in"), (Bytes{1, 2, 3}));
    EXPECT_EQ(input->Position(), 1u);  // the copy goes on from where the input was
    output.reset();

    (files.*add_alias)("in.bmp~", "in");
    files.Find("in")->open = false;
    EXPECT_FALSE(CreateOutput(files, "in", ".bmp", *input).has_value());
    EXPECT_EQ(files.Contents("in"), (Bytes{1, 2, 3}));
  }
}

TEST(CreateOutputTest, SameLengthWithOtherBytesIsAnOrdinaryFile) {
  test_support::MemoryFileSystem files;
  files.AddFile("in", {1, 2, 3});
  files.AddFile("in.x", {1, 2, 4});
  auto input = files.OpenForReading("in");
  EXPECT_EQ(CreateOutput(files, "in", ".x", *input)->suffix, ".x");
  EXPECT_EQ(files.Contents("in.x"), Bytes{});
}

// Another process takes hold of a name in the moment between this run
// creating it and holding it: the run removes the file it made, and only that.
TEST(CreateOutputTest, CreatedFileThatCannotBeUsedIsRemoved) {
  test_support::MemoryFileSystem files;
  files.AddFile("in", {1});
  auto input = files.OpenForReading("in");
  files.HoldOnCreation("in.x");
  EXPECT_EQ(CreateOutput(files, "in", ".x", *input)->suffix, ".x~");
  EXPECT_EQ(files.FileNames(), (std::vector<std::string>{"in", "in.x~"}));

  files.HoldOnCreation("in.y");
  files.HoldOnCreation("in.y~");
  EXPECT_FALSE(CreateOutput(files, "in", ".y", *input).has_value());
  EXPECT_EQ(files.FileNames(), (std::vector<std::string>{"in", "in.x~"}));
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
  EXPECT_NE(files.Find("in.y"), nullptr);  // there before the run: never removed
  EXPECT_EQ(CreateOutput(files, "in", ".z", *input)->suffix, ".z~");
}

}  // namespace
}  // namespace container
