// SPDX-License-Identifier: MIT
// The Win32 platform layer against a real file system and environment.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "platform/environment.h"
#include "platform/file.h"

namespace platform {
namespace {

class Win32PlatformTest : public ::testing::Test {
 protected:
  Win32PlatformTest() {
    folder_ = std::filesystem::temp_directory_path() / ("varnhold-platform-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder_);
  }
  ~Win32PlatformTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }

  std::filesystem::path folder_;
  FileSystem& files_ = RealFileSystem();
};

TEST_F(Win32PlatformTest, EnvironmentValuesComeBackWhole) {
  const Environment& environment = RealEnvironment();
  ::SetEnvironmentVariableA("VARNHOLD_TEST_VALUE", nullptr);
  EXPECT_EQ(environment.Lookup("VARNHOLD_TEST_VALUE"), std::nullopt);
  for (std::size_t length : {1u, 254u, 255u, 256u, 1000u}) {
    const std::string value(length, 'x');
    ASSERT_TRUE(::SetEnvironmentVariableA("VARNHOLD_TEST_VALUE", value.c_str()));
    EXPECT_EQ(environment.Lookup("VARNHOLD_TEST_VALUE"), value) << length;
  }
  ::SetEnvironmentVariableA("VARNHOLD_TEST_VALUE", nullptr);
}

TEST_F(Win32PlatformTest, KindsOfNames) {
  Write("file.txt", "x");
  std::filesystem::create_directory(folder_ / "dir");
  EXPECT_EQ(files_.KindOf(Path("file.txt")), NameKind::kRegularFile);
  EXPECT_EQ(files_.KindOf(Path("dir")), NameKind::kDirectory);
  EXPECT_EQ(files_.KindOf(Path("missing")), NameKind::kMissing);
  EXPECT_EQ(files_.OpenForReading(Path("dir")), nullptr);
  auto like = files_.OpenForReading(Path("file.txt"));
  ASSERT_NE(like, nullptr);
  EXPECT_EQ(files_.OpenForWriting(Path("dir"), *like).file, nullptr);
  for (const char* device : {"NUL", "CON", "\\\\.\\NUL"}) {
    OutputOpening opening = files_.OpenForWriting(device, *like);
    EXPECT_EQ(opening.file, nullptr) << device;  // only disk files are outputs
    EXPECT_FALSE(opening.created) << device;
  }
  EXPECT_EQ(files_.OpenForReading(Path("missing")), nullptr);
}

TEST_F(Win32PlatformTest, OutputKeepsItsBytesUntilResizedAndKnowsItsIdentity) {
  Write("data.bin", "12345678");
  ASSERT_TRUE(::CreateHardLinkA(Path("alias.bin").c_str(), Path("data.bin").c_str(), nullptr));
  auto input = files_.OpenForReading(Path("data.bin"));
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(input->Length(), 8u);
  // Held without sharing: no second handle, under any of its names.
  EXPECT_EQ(files_.OpenForWriting(Path("alias.bin"), *input).file, nullptr);
  const FileIdentity identity = input->Identity();
  ASSERT_TRUE(input->Close());

  OutputOpening opening = files_.OpenForWriting(Path("alias.bin"), *input);
  EXPECT_FALSE(opening.created);
  std::unique_ptr<File>& output = opening.file;
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(output->Identity(), identity);
  EXPECT_EQ(output->Length(), 8u);
  ASSERT_TRUE(output->Resize(0));
  ASSERT_TRUE(output->WriteAll("abc", 3));
  EXPECT_EQ(output->Position(), 3u);
  ASSERT_TRUE(output->Close());

  auto reread = files_.OpenForReading(Path("data.bin"));
  ASSERT_NE(reread, nullptr);
  char bytes[4] = {};
  EXPECT_TRUE(reread->ReadExact(bytes, 3));
  EXPECT_STREQ(bytes, "abc");
  EXPECT_FALSE(reread->ReadExact(bytes, 1));  // the file ends
}

TEST(Win32PathSeparators, SlashBackslashAndColon) {
  for (char c : {'/', '\\', ':'}) EXPECT_TRUE(IsPathSeparator(c)) << c;
  for (char c : {'.', '~', 'a', ' '}) EXPECT_FALSE(IsPathSeparator(c)) << c;
}

}  // namespace
}  // namespace platform
