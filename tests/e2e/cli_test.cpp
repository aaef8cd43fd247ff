// SPDX-License-Identifier: MIT
// The program as scripts see it: exit codes, exact standard output, and the
// files each run leaves behind.
#include <filesystem>
#include <initializer_list>

#include <gtest/gtest.h>

#include "container/layout.h"
#include "driver/usage_text.h"
#include "program.h"

namespace e2e {
namespace {

using Names = std::vector<std::string>;

using test_support::Picture;

class CliTest : public ::testing::Test {
 protected:
  Finished Run(std::vector<std::string> arguments, std::map<std::string, std::string> environment = {}) {
    return RunProgram(folder_.path(), Launch(std::move(arguments), std::move(environment)));
  }
  ScratchFolder folder_;
};

TEST_F(CliTest, UsageTextAndCodeFive) {
  folder_.Write("a.txt", {1});
  std::filesystem::create_directory(folder_ / "dir");
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{}, {"a.txt", "a.txt"}, {"missing.txt"}, {"dir"}}) {
    Finished run = Run(arguments);
    EXPECT_EQ(run.exit_code, 5);
    // Captured output is never a terminal, so it carries the stored code page 866 bytes.
    EXPECT_EQ(run.out, driver::UsageTextCp866());
    EXPECT_EQ(run.error, "");
  }
  EXPECT_EQ(folder_.Names(), (Names{"a.txt", "dir"}));
}

#ifndef _WIN32
TEST_F(CliTest, UsageTextIsReadableOnAUtf8Terminal) {
  Launch on_terminal;
  on_terminal.terminal_stdout = true;
  on_terminal.environment = {{"LANG", "C.UTF-8"}};
  Finished utf8 = RunProgram(folder_.path(), on_terminal);
  EXPECT_EQ(utf8.exit_code, 5);
  EXPECT_EQ(utf8.out, driver::UsageTextUtf8());

  // A terminal that cannot show UTF-8 gets the stored bytes, as a pipe does.
  on_terminal.environment = {{"LANG", "ru_RU.CP866"}};
  EXPECT_EQ(RunProgram(folder_.path(), on_terminal).out, driver::UsageTextCp866());
}
#endif

TEST_F(CliTest, RoundTripThroughThePicture) {
  const Bytes song = Pattern(5'000);
  folder_.Write("song.mp3", song);
  Finished encoded = Run({"song.mp3"});
  EXPECT_EQ(encoded.exit_code, 0);
  EXPECT_EQ(encoded.out, ".bmp");
  const Bytes picture = *folder_.Read("song.mp3.bmp");
  EXPECT_EQ(picture.size(), 54u + 40u * 42u * 3u);

  Finished decoded = Run({"song.mp3.bmp"});
  EXPECT_EQ(decoded.exit_code, 0);
  EXPECT_EQ(decoded.out, ".mp3");
  EXPECT_EQ(folder_.Read("song.mp3.bmp.mp3"), song);
  EXPECT_EQ(folder_.Read("song.mp3"), song);
  EXPECT_EQ(folder_.Names(), (Names{"song.mp3", "song.mp3.bmp", "song.mp3.bmp.mp3"}));
}

TEST_F(CliTest, RoundTripUnderSeveralShapes) {
  const std::vector<std::map<std::string, std::string>> settings = {
      {},
      {{"VARNHOLD_DIVISOR", "1"}, {"VARNHOLD_FRACTION", "1"}},
      {{"VARNHOLD_DIVISOR", "4"}, {"VARNHOLD_FRACTION", "3"}},
      {{"VARNHOLD_DIVISOR", "$10"}, {"VARNHOLD_FRACTION", "0,75"}},
      {{"VARNHOLD_DIVISOR", "7"}, {"VARNHOLD_FRACTION", "16"}},
  };
  for (const std::size_t size : std::initializer_list<std::size_t>{0, 1, 300, 61'440, 70'001, 3'000'000}) {
    const Bytes original = Pattern(size, static_cast<unsigned>(size));
    folder_.Write("r.dat", original);
    for (const auto& environment : settings) {
      ASSERT_EQ(Run({"r.dat"}, environment).out, ".bmp");
      const Bytes picture = *folder_.Read("r.dat.bmp");
      EXPECT_EQ(picture.size(), container::LoadLittleEndian32(&picture[2]));
      ASSERT_EQ(Run({"r.dat.bmp"}).out, ".dat");
      ASSERT_EQ(folder_.Read("r.dat.bmp.dat"), original) << size;
    }
  }
}

TEST_F(CliTest, NamesWithoutExtension) {
  folder_.Write("readme", {'h', 'i'});
  EXPECT_EQ(Run({"readme"}).out, ".bmp");
  EXPECT_EQ(Run({"readme.bmp"}).out, ".~");
  EXPECT_EQ(folder_.Read("readme.bmp.~"), (Bytes{'h', 'i'}));

  // The only dot lies in a folder name: no extension is stored, and the
  // picture still restores beside itself.
  std::filesystem::create_directory(folder_ / "my.dir");
  folder_.Write("my.dir/notes", {7});
  EXPECT_EQ(Run({"my.dir/notes"}).out, ".bmp");
  EXPECT_EQ(Run({"my.dir/notes.bmp"}).out, ".~");
  EXPECT_EQ(folder_.Read("my.dir/notes.bmp.~"), Bytes{7});
}

TEST_F(CliTest, UpperCaseBmpIsDecodedAndLookalikesEncoded) {
  folder_.Write("PHOTO.BMP", Picture("png", 2, {8, 9}));
  Finished run = Run({"PHOTO.BMP"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, ".png");
  folder_.Write("data.bmp.txt", {1});
  EXPECT_EQ(Run({"data.bmp.txt"}).out, ".bmp");
  EXPECT_TRUE(folder_.Read("data.bmp.txt.bmp").has_value());
}

TEST_F(CliTest, DecodingHandMadePictures) {
  folder_.Write("hand.bmp", Picture("dat", 6, {'c', 'a', 'r', 'g', 'o', '!', 0, 0, 0}));
  EXPECT_EQ(Run({"hand.bmp"}).out, ".dat");
  EXPECT_EQ(folder_.Read("hand.bmp.dat"), (Bytes{'c', 'a', 'r', 'g', 'o', '!'}));

  folder_.Write("tiny.bmp", Bytes(58, 0));
  Finished tiny = Run({"tiny.bmp"});
  EXPECT_EQ(tiny.exit_code, 3);
  EXPECT_EQ(tiny.out, "3");

  folder_.Write("short.bmp", Picture("bin", 200'000, Pattern(130'000)));
  Finished cut = Run({"short.bmp"});
  EXPECT_EQ(cut.exit_code, 4);
  EXPECT_EQ(cut.out, "4");

  folder_.Write("escape.bmp", Picture("x/../../y", 1, {1}));
  EXPECT_EQ(Run({"escape.bmp"}).out, "3");
  EXPECT_EQ(folder_.Names(),
            (Names{"escape.bmp", "hand.bmp", "hand.bmp.dat", "short.bmp", "short.bmp.bin", "tiny.bmp"}));
}

// Pictures that other tools wrote, or changed, from one of the program's.
TEST_F(CliTest, PicturesFromOtherTools) {
  const Bytes carried = Pattern(30'000);
  folder_.Write("r.bin", carried);
  ASSERT_EQ(Run({"r.bin"}).out, ".bmp");
  const Bytes program = *folder_.Read("r.bin.bmp");

  // A version 4 header (108 bytes), the pixels after it.
  Bytes version4(program.begin(), program.begin() + container::kHeaderSize);
  version4.resize(122);
  container::StoreLittleEndian32(&version4[2], static_cast<std::uint32_t>(program.size() + 68));
  container::StoreLittleEndian32(&version4[10], 122);
  container::StoreLittleEndian32(&version4[14], 108);
  version4.insert(version4.end(), program.begin() + container::kHeaderSize, program.end());
  // No bitmap header at all: its 54 bytes are skipped as they are.
  Bytes junk = program;
  for (std::size_t i = 0; i < container::kHeaderSize; ++i) junk[i] = static_cast<std::uint8_t>(0xA5 ^ i);
  for (const auto& [name, picture] : {std::pair{"v4.bmp", version4}, std::pair{"junk.bmp", junk}}) {
    SCOPED_TRACE(name);
    folder_.Write(name, picture);
    Finished run = Run({name});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, ".bin");
    EXPECT_EQ(folder_.Read(name + std::string(".bin")), carried);
  }

  // A well-formed bitmap that is not one of the program's pictures, or whose
  // header states another layout: an all-black picture starts with an empty
  // tag, and each row of the table changes one field of the program's header.
  const auto black_header = container::BuildHeader(640, 480);
  Bytes black(black_header.begin(), black_header.end());
  black.resize(black.size() + 640 * 480 * 3);
  folder_.Write("black.bmp", black);
  EXPECT_EQ(Run({"black.bmp"}).out, "3");
  const struct {
    const char* what;
    std::size_t offset, size;
    std::int64_t value;
  } rows[] = {
#include "refused_headers.inc"
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Bytes picture = program;
    for (std::size_t i = 0; i < row.size; ++i) {
      picture[row.offset + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(row.value) >> (8 * i));
    }
    folder_.Write("h.bmp", picture);
    Finished run = Run({"h.bmp"});
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_EQ(run.out, "3");
    EXPECT_EQ(folder_.Names(),
              (Names{"black.bmp", "h.bmp", "junk.bmp", "junk.bmp.bin", "r.bin", "r.bin.bmp", "v4.bmp", "v4.bmp.bin"}));
  }
}

TEST_F(CliTest, ExistingOutputIsReplacedAndRetryNameUsed) {
  folder_.Write("a.txt", {1, 2});
  folder_.Write("a.txt.bmp", Pattern(10'000));
  EXPECT_EQ(Run({"a.txt"}).out, ".bmp");
  EXPECT_EQ(folder_.Read("a.txt.bmp")->size(), 78u);

  folder_.Write("b.txt", {3});
  std::filesystem::create_directory(folder_ / "b.txt.bmp");
  Finished retry = Run({"b.txt"});
  EXPECT_EQ(retry.exit_code, 0);
  EXPECT_EQ(retry.out, ".bmp~");
  // The retry name does not end in ".bmp", so the picture has to be renamed
  // before the program will decode it.
  EXPECT_EQ(folder_.Read("b.txt.bmp~")->size(), 78u);

  folder_.Write("c.txt", {4});
  std::filesystem::create_directory(folder_ / "c.txt.bmp");
  std::filesystem::create_directory(folder_ / "c.txt.bmp~");
  Finished both = Run({"c.txt"});
  EXPECT_EQ(both.exit_code, 2);
  EXPECT_EQ(both.out, "2");
}

TEST_F(CliTest, GeometryFromTheEnvironment) {
  folder_.Write("f.bin", Pattern(1'000));
  // A divisor of 4 and a limit of 3 (the batch example's 720/240).
  EXPECT_EQ(Run({"f.bin"}, {{"VARNHOLD_DIVISOR", "4"}, {"VARNHOLD_FRACTION", "3"}}).exit_code, 0);
  const Bytes picture = *folder_.Read("f.bin.bmp");
  EXPECT_EQ(container::LoadLittleEndian32(&picture[18]) % 4, 0u);
  EXPECT_EQ(Run({"f.bin.bmp"}).out, ".bin");
  EXPECT_EQ(folder_.Read("f.bin.bmp.bin"), Pattern(1'000));

  for (const char* fraction : {"0", "-0", ".", "1e-400"}) {
    Finished failed = Run({"f.bin"}, {{"VARNHOLD_FRACTION", fraction}});
    EXPECT_EQ(failed.exit_code, 1) << fraction;
    EXPECT_EQ(failed.out, "") << fraction;
    ASSERT_GE(failed.error.size(), 2u);
    EXPECT_EQ(failed.error.substr(failed.error.size() - 2), "\n\n");
  }
}

TEST_F(CliTest, BrokenStandardOutputDoesNotChangeTheCode) {
  // A script that stopped reading must not turn success into a signal.
  folder_.Write("a.txt", {1});
  Launch launch({"a.txt"});
  launch.broken_stdout = true;
  EXPECT_EQ(RunProgram(folder_.path(), launch).exit_code, 0);
  launch.arguments = {};
  EXPECT_EQ(RunProgram(folder_.path(), launch).exit_code, 5);
}

}  // namespace
}  // namespace e2e
