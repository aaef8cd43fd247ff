// SPDX-License-Identifier: MIT
// What only Windows does to the program: share mode 0, names the system folds
// onto other names, its three path separators, names outside the ANSI code
// page, and paths longer than MAX_PATH.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "driver/usage_text.h"
#include "program.h"

namespace e2e {
namespace {

using Names = std::vector<std::string>;

// A picture whose record states exactly the bytes it carries.
Bytes Picture(const std::string& tag, const Bytes& carried) {
  return test_support::Picture(tag, static_cast<std::uint32_t>(carried.size()), carried);
}

// Keeps a file open in this process, as another program would, with the most
// permissive sharing: only a run that asks for exclusive use is refused.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path)
      : handle_(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~HeldFile() {
    if (held()) ::CloseHandle(handle_);
  }
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

std::wstring Wide(const std::string& utf8) {
  std::u8string text(utf8.begin(), utf8.end());
  return std::filesystem::path(text).wstring();
}

// The "\\?\" form of a UTF-8 path, which this test program needs for
// folders and files longer than MAX_PATH.
std::wstring Literal(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return L"\\\\?\\" + Wide(path);
}

void WriteLong(const std::string& path, const Bytes& bytes) {
  HANDLE file = ::CreateFileW(Literal(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD put = 0;
  EXPECT_TRUE(::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr));
  ::CloseHandle(file);
}

std::optional<Bytes> ReadLong(const std::string& path) {
  HANDLE file = ::CreateFileW(Literal(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  Bytes bytes(1 << 16);
  DWORD got = 0;
  ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  ::CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

// Wine gives a new console a window only when it has a display.
bool ConsoleWindowsShown() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const bool wine = ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  return !wine || ::GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0;
}

class WindowsTest : public ::testing::Test {
 protected:
  Finished Run(const std::string& argument) { return RunProgram(folder_.path(), Launch({argument})); }
  ScratchFolder folder_;
};

TEST_F(WindowsTest, FilesOpenElsewhereAreNotShared) {
  folder_.Write("held.txt", {1, 2, 3});
  {
    HeldFile input(folder_ / "held.txt");
    ASSERT_TRUE(input.held());
    Finished run = Run("held.txt");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "1");
  }
  EXPECT_EQ(folder_.Names(), Names{"held.txt"});

  folder_.Write("free.txt", {4});
  folder_.Write("free.txt.bmp", {5});
  {
    HeldFile output(folder_ / "free.txt.bmp");
    ASSERT_TRUE(output.held());
    EXPECT_EQ(Run("free.txt").out, ".bmp~");
  }
  EXPECT_EQ(folder_.Read("free.txt.bmp"), Bytes{5});
  EXPECT_EQ(folder_.Read("free.txt.bmp~")->size(), 78u);
}

TEST_F(WindowsTest, FailedDropSaysWhyAndWaitsWhenTheWindowIsItsOwn) {
  if (!ConsoleWindowsShown()) GTEST_SKIP() << "wine shows console windows only on a display (the stage starts Xvfb)";
  folder_.Write("held.txt", {1, 2, 3});
  folder_.Write("free.txt", {4});
  HeldFile input(folder_ / "held.txt");
  ASSERT_TRUE(input.held());
  // The window shows the code, then the reason and the prompt on rows of their own.
  std::string shown = "1" + driver::FailurePromptUtf8(driver::kInputFailed) + "\r\n";
  for (std::size_t at; (at = shown.find("\r\n")) != std::string::npos;) shown.replace(at, 2, "\n");
  struct Case {
    std::string argument;
    Window window;
    bool waits;
    std::string out;
  };
  const Case cases[] = {
      {"held.txt", Window::kOwn, true, shown},             // dropped onto the program
      {"held.txt", Window::kSharedWithCmd, false, "1\n"},  // run by a batch file
      {"held.txt", Window::kOwnOutputPiped, false, "1"},
      {"free.txt", Window::kOwn, false, ".bmp\n"},  // success closes at once
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.window));
    Launch launch({c.argument});
    launch.window = c.window;
    Finished run = RunProgram(folder_.path(), launch);
    EXPECT_EQ(run.exit_code, c.argument == "free.txt" ? 0 : 1);
    EXPECT_EQ(run.waited_for_key, c.waits);
    EXPECT_EQ(run.out, c.out);
  }
  EXPECT_EQ(folder_.Names(), (Names{"free.txt", "free.txt.bmp", "held.txt"}));
}

TEST_F(WindowsTest, TrailingDotNameNeverReplacesThePicture) {
  // A tag that ends at once names the output "p.bmp.", which Windows folds
  // onto "p.bmp".
  const Bytes picture = Picture(std::string(1, '\0'), {'d', 'o', 't'});
  folder_.Write("p.bmp", picture);
  Finished run = Run("p.bmp");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, ".~");
  EXPECT_EQ(folder_.Read("p.bmp"), picture);
  EXPECT_EQ(folder_.Read("p.bmp.~"), (Bytes{'d', 'o', 't'}));
  EXPECT_EQ(folder_.Names(), (Names{"p.bmp", "p.bmp.~"}));
}

TEST_F(WindowsTest, BackslashAndColonAreSeparators) {
  // A stored tag must not reach another folder or drive, nor an NTFS stream.
  for (const std::string tag : {"a\\b", "..\\up", "c:d", "x:"}) {
    folder_.Write("t.bmp", Picture(tag, {1}));
    Finished run = Run("t.bmp");
    EXPECT_EQ(run.exit_code, 3) << tag;
    EXPECT_EQ(run.out, "3") << tag;
    EXPECT_EQ(folder_.Names(), Names{"t.bmp"}) << tag;
  }

  // Arguments may use either separator; a dot only in a folder name stores
  // no extension, and the picture restores beside itself.
  std::filesystem::create_directory(folder_ / "my.dir");
  folder_.Write("my.dir/notes", {7, 8});
  EXPECT_EQ(Run("my.dir\\notes").out, ".bmp");
  EXPECT_EQ(Run("my.dir\\notes.bmp").out, ".~");
  EXPECT_EQ(folder_.Read("my.dir/notes.bmp.~"), (Bytes{7, 8}));
}

TEST_F(WindowsTest, NamesOutsideTheCodePageRoundTrip) {
  for (const std::string name : {"песня.mp3", "τραγούδι.txt", "歌曲.txt", "🎵 song.ogg"}) {
    SCOPED_TRACE(name);
    const Bytes carried = Pattern(300, static_cast<unsigned>(name.size()));
    folder_.Write(name, carried);
    EXPECT_EQ(Run(name).out, ".bmp");
    const std::string extension = name.substr(name.rfind('.'));
    EXPECT_EQ(Run(name + ".bmp").out, extension);
    EXPECT_EQ(folder_.Read(name + ".bmp" + extension), carried);
  }

  // A suffix outside ASCII is printed in the console's code page, which is
  // what for /F reads it back in (the harness gives each run a new console).
  folder_.Write("naïve.tëxt", {3});
  ASSERT_EQ(Run("naïve.tëxt").out, ".bmp");
  char in_console[16];
  int length = ::WideCharToMultiByte(::GetOEMCP(), 0, L".t\u00EBxt", -1, in_console, 16, nullptr, nullptr);
  EXPECT_EQ(Run("naïve.tëxt.bmp").out, std::string(in_console, static_cast<std::size_t>(length - 1)));
  EXPECT_EQ(folder_.Read("naïve.tëxt.bmp.tëxt"), Bytes{3});
}

TEST_F(WindowsTest, LookAlikeNamesPackTheFileNamed) {
  // An ANSI command line turns "Ā" into "A": the other file would be packed.
  folder_.Write("Ārt.txt", {1, 1});
  folder_.Write("Art.txt", {2, 2});
  Finished run = Run("Ārt.txt");
  EXPECT_EQ(run.out, ".bmp");
  EXPECT_EQ(folder_.Names(), (Names{"Art.txt", "Ārt.txt", "Ārt.txt.bmp"}));
  EXPECT_EQ(Run("Ārt.txt.bmp").out, ".txt");
  EXPECT_EQ(folder_.Read("Ārt.txt.bmp.txt"), (Bytes{1, 1}));
}

TEST_F(WindowsTest, FullPathsBeyondMaxPathRoundTrip) {
  std::string folder = folder_.path();
  std::replace(folder.begin(), folder.end(), '/', '\\');
  while (folder.size() < 200) {
    folder += "\\" + std::string(60, 'd');
    ASSERT_TRUE(::CreateDirectoryW(Literal(folder).c_str(), nullptr)) << folder;
  }
  const std::string input = folder + "\\" + std::string(300 - folder.size() - 5, 'n') + ".dat";
  ASSERT_EQ(input.size(), 300u);
  const Bytes carried = Pattern(5000);
  WriteLong(input, carried);
  EXPECT_EQ(Run(input).out, ".bmp");
  EXPECT_EQ(Run(input + ".bmp").out, ".dat");
  EXPECT_EQ(ReadLong(input + ".bmp.dat"), carried);

  // Trailing dots are folded there too: "p.bmp." from a tag that ends at
  // once is the picture itself, which is kept, and the retry name is used.
  const std::string picture = folder + "\\p.bmp";
  const Bytes dot = Picture(std::string(1, '\0'), {'d', 'o', 't'});
  WriteLong(picture, dot);
  EXPECT_EQ(Run(picture).out, ".~");
  EXPECT_EQ(ReadLong(picture), dot);
  EXPECT_EQ(ReadLong(picture + ".~"), (Bytes{'d', 'o', 't'}));
}

TEST_F(WindowsTest, AnsiTagRestoresUnderTheNameItsMakerMeant) {
  // Wine takes the code pages from the locale of the whole test program; the
  // WindowsCodePage1251 test runs this case with a generated ru_RU.CP1251.
  if (::GetACP() != 1251) GTEST_SKIP() << "runs as WindowsCodePage1251, where the ANSI code page is 1251";
  folder_.Write("p.bmp", Picture("\xF2\xE5\xEA\xF1\xF2", {'t'}));  // "текст" in code page 1251
  Finished run = Run("p.bmp");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(folder_.Read("p.bmp.текст"), Bytes{'t'});
  // Printed as the console's code page (866 with this locale) reads it back.
  EXPECT_EQ(run.out, ".\xE2\xA5\xAA\xE1\xE2");
}

}  // namespace
}  // namespace e2e
