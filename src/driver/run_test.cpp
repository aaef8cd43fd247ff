// SPDX-License-Identifier: MIT
#include "driver/run.h"

#include <gtest/gtest.h>

#include "container/layout.h"
#include "driver/fault_text.h"
#include "driver/usage_text.h"
#include "testing/memory_console.h"
#include "testing/memory_environment.h"
#include "testing/memory_file_system.h"

namespace driver {
namespace {

using Bytes = std::vector<std::uint8_t>;

class RunTest : public ::testing::Test {
 protected:
  int RunWith(std::vector<std::string> arguments) {
    console_.out.clear();
    console_.error.clear();
    return driver::Run(arguments, {files_, console_, environment_});
  }
  test_support::MemoryFileSystem files_;
  test_support::MemoryConsole console_;
  test_support::MemoryEnvironment environment_;
};

TEST_F(RunTest, UsageWhenNotExactlyOneExistingFile) {
  files_.AddFile("a.txt", {1});
  files_.AddDirectory("folder");
  const std::vector<std::vector<std::string>> calls = {{}, {"a.txt", "a.txt"}, {"missing"}, {"folder"}};
  for (const auto& arguments : calls) {
    EXPECT_EQ(RunWith(arguments), 5);
    EXPECT_EQ(console_.out, UsageTextCp866());
    EXPECT_EQ(console_.error, "");
  }
  // The window is held open after each usage text, and after nothing else.
  std::string prompts;
  for (std::size_t i = 0; i < calls.size(); ++i) prompts += UsagePromptUtf8();
  EXPECT_EQ(console_.prompts, prompts);
  EXPECT_EQ(files_.FileNames(), std::vector<std::string>{"a.txt"});
}

TEST_F(RunTest, ExtensionChoosesTheDirection) {
  // Anything named .bmp is decoded, whoever made it; everything else is encoded.
  files_.AddFile("song.mp3", {1, 2, 3});
  EXPECT_EQ(RunWith({"song.mp3"}), 0);
  EXPECT_EQ(console_.out, ".bmp");
  files_.AddLink("SONG.BMP", "song.mp3.bmp");
  EXPECT_EQ(RunWith({"SONG.BMP"}), 0);
  EXPECT_EQ(console_.out, ".mp3");
  EXPECT_EQ(files_.Contents("SONG.BMP.mp3"), (Bytes{1, 2, 3}));

  files_.AddFile("photo.bmp.png", {4});
  EXPECT_EQ(RunWith({"photo.bmp.png"}), 0);
  EXPECT_EQ(console_.out, ".bmp");
  files_.AddFile("photo.bmpx", {5});
  EXPECT_EQ(RunWith({"photo.bmpx"}), 0);
  EXPECT_TRUE(files_.Contents("photo.bmpx.bmp").has_value());
  EXPECT_EQ(console_.prompts, "");  // success never waits
}

TEST_F(RunTest, FailureCodesArePrintedAsOneDigit) {
  files_.AddFile("held.txt").held_elsewhere = true;
  EXPECT_EQ(RunWith({"held.txt"}), 1);
  EXPECT_EQ(console_.out, "1");

  files_.AddFile("b.txt", {1});
  files_.AddDirectory("b.txt.bmp");
  files_.AddDirectory("b.txt.bmp~");
  EXPECT_EQ(RunWith({"b.txt"}), 2);
  EXPECT_EQ(console_.out, "2");

  files_.AddFile("short.bmp", Bytes(58, 0));
  EXPECT_EQ(RunWith({"short.bmp"}), 3);
  EXPECT_EQ(console_.out, "3");

  Bytes picture(container::kHeaderSize, 0);
  picture.insert(picture.end(), {1, 'x', 9, 0, 0, 0, 1});
  files_.AddFile("cut.bmp", picture);
  EXPECT_EQ(RunWith({"cut.bmp"}), 4);
  EXPECT_EQ(console_.out, "4");
  EXPECT_EQ(console_.error, "");
  // Each failure holds a window the program owns, saying what failed.
  std::string prompts;
  for (ExitCode code : {kInputFailed, kOutputFailed, kRecordFailed, kCopyFailed}) prompts += FailurePromptUtf8(code);
  EXPECT_EQ(console_.prompts, prompts);
}

TEST_F(RunTest, GenericFailureWritesOnlyToTheErrorStream) {
  environment_.variables["VARNHOLD_FRACTION"] = "0";
  files_.AddFile("c.txt", {1});
  EXPECT_EQ(RunWith({"c.txt"}), 1);
  EXPECT_EQ(console_.out, "");
  EXPECT_EQ(console_.error, "varnhold: floating-point division by zero\n\n");
  EXPECT_EQ(console_.prompts, "");
  EXPECT_EQ(files_.FileNames(), std::vector<std::string>{"c.txt"});
}

TEST(DescribeFault, NamesEveryKind) {
  EXPECT_EQ(DescribeFault(geometry::Fault::kDivisionByZero), "floating-point division by zero");
  EXPECT_EQ(DescribeFault(geometry::Fault::kInvalidOperation), "invalid floating-point operation");
  EXPECT_EQ(DescribeFault(geometry::Fault::kOverflow), "floating-point overflow");
  EXPECT_EQ(DescribeFault(geometry::Fault::kPictureTooLarge), "picture too large for a bitmap header");
}

}  // namespace
}  // namespace driver
