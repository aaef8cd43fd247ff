// What only Windows does to the program: share mode 0, names the system folds
// onto other names, and its three path separators.
#include <windows.h>

#include <filesystem>

#include <gtest/gtest.h>

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

TEST_F(WindowsTest, TrailingDotNameNeverReplacesThePicture) {
  // An empty tag names the output "p.bmp.", which Windows folds onto "p.bmp".
  const Bytes picture = Picture("", {'d', 'o', 't'});
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

}  // namespace
}  // namespace e2e
