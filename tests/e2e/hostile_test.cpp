// SPDX-License-Identifier: MIT
// Hostile pictures and awkward output names, end to end: each row pins the
// exit code and standard output, the files left afterwards, and that the
// input is byte-for-byte unchanged. Pictures sit in the folder "in" while the
// program runs one level up, so a file written anywhere but beside the
// picture shows up in the scratch folder's own listing.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <random>

#include <gtest/gtest.h>

#include "container/layout.h"
#include "container/names.h"
#include "program.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

using test_support::Picture;

Bytes Prefix(const Bytes& bytes, std::size_t size) { return Bytes(bytes.data(), bytes.data() + size); }

class HostileTest : public ::testing::Test {
 protected:
  HostileTest() { fs::create_directory(folder_ / "in"); }

  Finished Run(const std::string& name_in_folder) {
    return RunProgram(folder_.path(), Launch({"in/" + name_in_folder}));
  }
  // The names in the picture's folder, sorted; the scratch folder itself must
  // hold nothing but that folder.
  Names Inside() {
    EXPECT_EQ(folder_.Names(), Names{"in"}) << "a file appeared outside the picture's folder";
    Names names;
    for (const auto& entry : fs::directory_iterator(folder_ / "in")) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  void Write(const std::string& name, const Bytes& bytes) { folder_.Write("in/" + name, bytes); }
  std::optional<Bytes> Read(const std::string& name) { return folder_.Read("in/" + name); }
  std::string Path(const std::string& name) { return folder_ / ("in/" + name); }

  ScratchFolder folder_;
};

// A 102-byte container (8 x 2) carrying 17 bytes under the tag "bin": the
// record ends at offset 62 and the carried bytes at 79.
TEST_F(HostileTest, PictureTruncatedAtEveryOffset) {
  const Bytes carried = Pattern(17, 6);
  const Bytes whole = Picture("bin", 17, carried, 102);
  ASSERT_EQ(whole.size(), 102u);
  for (std::size_t size = 0; size <= whole.size(); ++size) {
    SCOPED_TRACE(size);
    Write("cut.bmp", Prefix(whole, size));
    Finished run = Run("cut.bmp");
    if (size < 62) {
      EXPECT_EQ(run.exit_code, 3);
      EXPECT_EQ(run.out, "3");
      EXPECT_EQ(Inside(), Names{"cut.bmp"});
    } else if (size < 79) {
      EXPECT_EQ(run.exit_code, 4);
      EXPECT_EQ(run.out, "4");
      EXPECT_EQ(Read("cut.bmp.bin"), Bytes{});  // less than one whole block was there
    } else {
      EXPECT_EQ(run.exit_code, 0);
      EXPECT_EQ(run.out, ".bin");
      EXPECT_EQ(Read("cut.bmp.bin"), carried);
    }
    EXPECT_EQ(Read("cut.bmp"), Prefix(whole, size));
    fs::remove(Path("cut.bmp.bin"));
  }
}

TEST_F(HostileTest, StoredTags) {
  struct Row {
    std::string tag;
    int code;
    std::string out;  // also the suffix of the output, on success
  } rows[] = {
      {"..", 0, "..."},                         // dots alone stay beside the picture
      {std::string("ok\0/../x", 8), 0, ".ok"},  // the tag ends at its first zero byte
      {std::string("\0/", 2), 0, "."},
      {"a\\b", 0, ".a\\b"},                                     // an ordinary byte on POSIX
      {std::string(249, 'e'), 0, "." + std::string(249, 'e')},  // a 255-byte name, the longest allowed
      {"/", 3, "3"},
      {"a/b", 3, "3"},
      {"../up", 3, "3"},
      {"x/", 3, "3"},
      {"txt\n", 3, "3"},         // a script capturing the suffix would lose the line break
      {"\x1b]0;x\x07", 3, "3"},  // a terminal escape sequence
      {"a\x7f", 3, "3"},
      {"\x01", 3, "3"},
      {"\xC2\x9B"
       "2J",
       3, "3"},  // U+009B, a C1 control: with "2J" it clears a terminal
      {"txt\xE2\x80\xAE"
       "exe",
       3, "3"},                         // U+202E, which shows the text after it reversed
      {"", 3, "3"},                     // a tag length of 0, which the container never holds
      {std::string(255, 'e'), 2, "2"},  // longer than a file name may be, both times
  };
  const Bytes carried{'c', 'a', 'r', 'g', 'o'};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.out);
    ScratchFolder scratch;
    fs::create_directory(scratch / "in");
    const Bytes picture = Picture(row.tag, 5, carried, 400);
    scratch.Write("in/p.bmp", picture);
    Finished run = RunProgram(scratch.path(), Launch({"in/p.bmp"}));
    EXPECT_EQ(run.exit_code, row.code);
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(scratch.Names(), Names{"in"});
    EXPECT_EQ(scratch.Read("in/p.bmp"), picture);
    Names inside;
    for (const auto& entry : fs::directory_iterator(scratch / "in")) inside.push_back(entry.path().filename());
    std::sort(inside.begin(), inside.end());
    if (row.code == 0) {
      EXPECT_EQ(inside, (Names{"p.bmp", "p.bmp" + row.out}));
      EXPECT_EQ(scratch.Read("in/p.bmp" + row.out), carried);
    } else {
      EXPECT_EQ(inside, Names{"p.bmp"});
    }
  }
}

// Were separators let through, each of these tags would reach a folder that
// exists: one up past the picture's folder, one down into a subfolder.
TEST_F(HostileTest, TagsThatWouldLeaveTheFolderAreRefused) {
  fs::create_directory(Path("p.bmp."));
  fs::create_directory(Path("p.bmp.sub"));
  const Bytes up = Picture("/../../escaped", 1, {7});
  const Bytes down = Picture("sub/deeper", 1, {7});
  Write("p.bmp", up);
  Finished run = Run("p.bmp");
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(run.out, "3");
  Write("p.bmp", down);
  run = Run("p.bmp");
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(run.out, "3");
  EXPECT_EQ(Inside(), (Names{"p.bmp", "p.bmp.", "p.bmp.sub"}));
  EXPECT_TRUE(fs::is_empty(Path("p.bmp.sub")));
  EXPECT_EQ(Read("p.bmp"), down);
}

// With a tag that ends at once the first name is the picture's name and a dot, which
// Windows folds back onto the picture itself; a link makes the same happen here.
TEST_F(HostileTest, EmptyTagWhoseNameReachesThePicture) {
  const Bytes picture = Picture(std::string(1, '\0'), 3, {1, 2, 3});
  Write("p.bmp", picture);
  fs::create_symlink("p.bmp", Path("p.bmp."));
  Finished run = Run("p.bmp");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, ".~");
  EXPECT_EQ(Read("p.bmp.~"), (Bytes{1, 2, 3}));
  EXPECT_EQ(Read("p.bmp"), picture);

  fs::remove(Path("p.bmp.~"));
  fs::create_hard_link(Path("p.bmp"), Path("p.bmp.~"));
  run = Run("p.bmp");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, "2");
  EXPECT_EQ(Read("p.bmp"), picture);
  EXPECT_EQ(Inside(), (Names{"p.bmp", "p.bmp.", "p.bmp.~"}));
}

TEST_F(HostileTest, StatedFileLengths) {
  const Bytes present = Pattern(2 * container::kCopyBlockSize + 5, 2);
  struct Row {
    std::uint32_t stated;
    std::size_t carried;  // bytes present after the record
    int code;
    std::size_t output;  // bytes in the output afterwards
  } rows[] = {
      {0, 10, 0, 0},
      {10, 10, 0, 10},
      {11, 10, 4, 0},  // one more than present: the only block is short, nothing is written
      {0xFFFF'FFFFu, 10, 4, 0},
      {0xFFFF'FFFFu, present.size(), 4, 2 * container::kCopyBlockSize},  // whole blocks only
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stated);
    const Bytes picture = Picture("bin", row.stated, Prefix(present, row.carried));
    Write("len.bmp", picture);
    Finished run = Run("len.bmp");
    EXPECT_EQ(run.exit_code, row.code);
    EXPECT_EQ(run.out, row.code == 0 ? ".bin" : std::to_string(row.code));
    EXPECT_EQ(Read("len.bmp.bin"), Prefix(present, row.output));
    EXPECT_EQ(Read("len.bmp"), picture);
    EXPECT_EQ(Inside(), (Names{"len.bmp", "len.bmp.bin"}));
    fs::remove(Path("len.bmp.bin"));
  }
}

// Random bytes, read by the record's own rule: code 3 when the record is cut
// short, its tag is empty or names another folder, else the output beside the
// picture with the carried bytes (code 0) or only the whole blocks present
// (code 4). Random bytes almost never start with a bitmap header.
TEST_F(HostileTest, RandomBytes) {
  std::mt19937 random(6);
  int seen[5] = {};  // by exit code
  for (int round = 0; round < 40; ++round) {
    const std::size_t size = round < 10 ? random() % 70 : 55 + random() % 400;
    Bytes picture(size);
    for (auto& byte : picture) byte = static_cast<std::uint8_t>(random());
    if (round % 3 == 0 && size > 60)
      picture[54] = static_cast<std::uint8_t>(random() % 4);  // short tags are likelier to fit
    if (round % 4 == 0 && size > 54 && size >= 59u + picture[54]) {
      container::StoreLittleEndian32(&picture[55 + picture[54]], static_cast<std::uint32_t>(random() % 300));
    }
    SCOPED_TRACE(round);
    Write("r.bmp", picture);
    Finished run = Run("r.bmp");

    int code = 3;  // until the record proves whole
    std::string suffix;
    Bytes output;
    const std::size_t record_end = size > 54 ? 59u + picture[54] : 0;
    if (record_end > 0 && size >= record_end && picture[54] > 0) {
      std::string tag(picture.data() + 55, picture.data() + record_end - 4);
      tag = tag.substr(0, tag.find('\0'));
      const std::uint32_t stated = container::LoadLittleEndian32(&picture[record_end - 4]);
      if (!container::IsRestorableTag(tag)) {
        code = 3;
      } else if (tag.size() > 255 - std::string("r.bmp.").size()) {
        code = 2;  // the name is longer than the file system allows
      } else {
        code = stated <= size - record_end ? 0 : 4;
        suffix = "." + tag;
        output = Prefix(Bytes(picture.data() + record_end, picture.data() + size), code == 0 ? stated : 0);
      }
    }
    ++seen[code];
    EXPECT_EQ(run.exit_code, code);
    EXPECT_EQ(run.out, code == 0 ? suffix : std::to_string(code));
    EXPECT_EQ(Read("r.bmp"), picture);
    const bool leaves_output = code == 0 || code == 4;
    EXPECT_EQ(Inside(), leaves_output ? (Names{"r.bmp", "r.bmp" + suffix}) : Names{"r.bmp"});
    if (leaves_output) {
      EXPECT_EQ(Read("r.bmp" + suffix), output);
      fs::remove(Path("r.bmp" + suffix));
    }
  }
  // The rows above must exercise every outcome, or the seed no longer tests much.
  EXPECT_GT(seen[0], 0);
  EXPECT_GT(seen[3], 0);
  EXPECT_GT(seen[4], 0);
}

// Output names that cannot be created, or that reach something other than a
// fresh file, in both directions: "data.txt" is encoded to "data.txt.bmp",
// "p.bmp" decoded to "p.bmp.bin".
class OutputNameTest : public HostileTest {
 protected:
  OutputNameTest() {
    Write("data.txt", data_);
    Write("p.bmp", picture_);
  }
  struct Direction {
    std::string input, first, retry;
  };
  const Direction encode_{"data.txt", "data.txt.bmp", "data.txt.bmp~"};
  const Direction decode_{"p.bmp", "p.bmp.bin", "p.bmp.bin~"};
  // The suffix a run prints when it had to use the retry name.
  static std::string RetrySuffix(const Direction& d) { return d.retry.substr(d.input.size()); }
  void ExpectInputsUnchanged() {
    EXPECT_EQ(Read("data.txt"), data_);
    EXPECT_EQ(Read("p.bmp"), picture_);
  }

  const Bytes data_ = Pattern(500, 1);
  const Bytes picture_ = Picture("bin", 5, {1, 2, 3, 4, 5});
};

TEST_F(OutputNameTest, DanglingLinkIntoMissingFolder) {
  for (const Direction& d : {encode_, decode_}) {
    SCOPED_TRACE(d.input);
    fs::create_symlink("missing/folder/target", Path(d.first));
    Finished run = Run(d.input);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, RetrySuffix(d));
    EXPECT_TRUE(fs::exists(Path(d.retry)));
    fs::remove(Path(d.retry));
    fs::create_symlink("missing/target", Path(d.retry));
    run = Run(d.input);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "2");
    EXPECT_FALSE(fs::exists(Path("missing")));
  }
  EXPECT_EQ(Inside(), (Names{"data.txt", "data.txt.bmp", "data.txt.bmp~", "p.bmp", "p.bmp.bin", "p.bmp.bin~"}));
  ExpectInputsUnchanged();
}

TEST_F(OutputNameTest, NameTooLongForTheFileSystem) {
  // 251 bytes: the picture's name (255) still fits, its retry name (256) does not.
  const std::string longest = std::string(247, 'n') + ".txt";
  Write(longest, data_);
  fs::create_directory(Path(longest + ".bmp"));
  Finished run = Run(longest);
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, "2");

  const std::string too_long = std::string(248, 'n') + ".txt";
  Write(too_long, data_);
  run = Run(too_long);
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, "2");
  EXPECT_EQ(Read(too_long), data_);
  EXPECT_EQ(Inside(), (Names{"data.txt", longest, longest + ".bmp", too_long, "p.bmp"}));
}

// Binds a socket at `path`, which stays bound while the result is open; -1 when refused.
int BindSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

// Makes an entry at `path` of the same kind as `like` (a device node, FIFO or
// socket; a kernel file cannot be made in a folder); false with `why` set when
// the system refuses. A socket stays bound while `socket_fd` is open.
bool MakeEntryLike(const std::string& like, const std::string& path, int& socket_fd, std::string& why) {
  struct stat status;
  if (::stat(like.c_str(), &status) != 0 || S_ISREG(status.st_mode)) return false;
  int made = -1;
  if (S_ISFIFO(status.st_mode)) made = ::mkfifo(path.c_str(), 0666);
  if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) made = ::mknod(path.c_str(), status.st_mode, status.st_rdev);
  if (S_ISSOCK(status.st_mode)) made = (socket_fd = BindSocket(path)) >= 0 ? 0 : -1;
  if (made != 0) why = like + ": " + std::strerror(errno);
  return made == 0;
}

class NotRegularOutputTest : public OutputNameTest {
 protected:
  NotRegularOutputTest() { fs::create_directory(folder_ / "in/t"); }

  // Puts `target` in the way of each first output name, as a symbolic link
  // and as an entry of its own kind: the retry name is used, `target` keeps
  // its kind, and no run waits on it (a guard ends a run that would). A FIFO
  // is never even opened; a device may be opened by anyone on the machine
  // meanwhile, so only the FIFO, this test's own, is watched.
  void ExpectRetryUsedPast(const std::string& target) {
    for (const bool link : {true, false}) {
      for (const Direction& d : {encode_, decode_}) {
        SCOPED_TRACE(target + (link ? " through a link" : " as the entry") + ", " + d.input);
        int socket_fd = -1;
        std::string why;
        if (link) {
          fs::create_symlink(target, Path(d.first));
        } else if (!MakeEntryLike(target, Path(d.first), socket_fd, why)) {
          if (!why.empty()) std::cout << "[   NOTE   ] no entry of its own for " << why << "\n";
          continue;
        }
        const auto kind = fs::status(Path(d.first)).type();
        const int opens = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(opens, 0);
        if (kind == fs::file_type::fifo) {
          ASSERT_GE(::inotify_add_watch(opens, Path(d.first).c_str(), IN_OPEN), 0);
        }
        Launch guarded({"in/" + d.input});
        guarded.in_child = [] { ::alarm(20); };
        Finished run = RunProgram(folder_.path(), guarded);
        alignas(inotify_event) char event[sizeof(inotify_event) + NAME_MAX + 1];
        EXPECT_LT(::read(opens, event, sizeof event), 0) << "the FIFO was opened";
        ::close(opens);
        EXPECT_EQ(run.exit_code, 0);
        EXPECT_EQ(run.out, RetrySuffix(d));
        EXPECT_EQ(fs::status(Path(d.first)).type(), kind);
        EXPECT_TRUE(fs::is_regular_file(Path(d.retry)));
        if (d.input == decode_.input) {
          EXPECT_EQ(Read(d.retry), (Bytes{1, 2, 3, 4, 5}));
        }
        if (socket_fd >= 0) ::close(socket_fd);
        fs::remove(Path(d.first));
        fs::remove(Path(d.retry));
      }
    }
    ExpectInputsUnchanged();
  }
};

TEST_F(NotRegularOutputTest, DevicesPipesSocketsAndKernelFiles) {
  ASSERT_EQ(::mkfifo(Path("t/fifo").c_str(), 0600), 0);
  const int bound = BindSocket(Path("t/socket"));
  ASSERT_GE(bound, 0);
  // /dev/ptmx is a pseudo-terminal's master side: writes to it wait for a
  // reader that never comes. /proc/self/comm would swallow the picture.
  for (const std::string& target : std::vector<std::string>{"/dev/null", "/dev/zero", "/dev/full", "/dev/ptmx",
                                                            Path("t/fifo"), Path("t/socket"), "/proc/self/comm"}) {
    ExpectRetryUsedPast(target);
  }
  ::close(bound);
}

// Were the picture written to it, the disk behind the device would now begin
// with the picture's first bytes.
TEST_F(NotRegularOutputTest, BlockDevice) {
  const std::string image = Path("t/disk.img");
  Write("t/disk.img", Bytes(1 << 20));
  FILE* attach = ::popen(("losetup --find --show " + image + " 2>&1").c_str(), "r");
  char answer[256] = {};
  const bool read = attach != nullptr && std::fgets(answer, sizeof answer, attach) != nullptr;
  const std::string loop(answer, std::strcspn(answer, "\n"));
  if (attach == nullptr || ::pclose(attach) != 0 || !read) GTEST_SKIP() << "no loop device: " << loop;
  ExpectRetryUsedPast(loop);
  EXPECT_EQ(Read("t/disk.img"), Bytes(1 << 20));
  EXPECT_EQ(std::system(("losetup --detach " + loop).c_str()), 0);
}

TEST_F(OutputNameTest, FolderInTheWay) {
  for (const Direction& d : {encode_, decode_}) {
    SCOPED_TRACE(d.input);
    fs::create_directory(Path(d.first));
    Finished run = Run(d.input);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, RetrySuffix(d));
    fs::remove(Path(d.retry));
    fs::create_directory(Path(d.retry));
    run = Run(d.input);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "2");
    EXPECT_TRUE(fs::is_empty(Path(d.first)));
    EXPECT_TRUE(fs::is_empty(Path(d.retry)));
  }
  ExpectInputsUnchanged();
}

TEST_F(OutputNameTest, DecodedNameReachingThePicture) {
  fs::create_symlink("p.bmp", Path(decode_.first));
  Finished run = Run("p.bmp");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, ".bin~");
  EXPECT_EQ(Read(decode_.retry), (Bytes{1, 2, 3, 4, 5}));

  fs::remove(Path(decode_.retry));
  fs::create_hard_link(Path("p.bmp"), Path(decode_.retry));
  run = Run("p.bmp");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, "2");
  ExpectInputsUnchanged();
}

TEST_F(OutputNameTest, PictureAndOutputHeldByAnotherProcess) {
  int held = ::open(Path("p.bmp").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  Finished run = Run("p.bmp");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "1");
  EXPECT_EQ(Inside(), (Names{"data.txt", "p.bmp"}));
  ::close(held);

  Write(decode_.first, {9});
  held = ::open(Path(decode_.first).c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  run = Run("p.bmp");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, ".bin~");
  EXPECT_EQ(Read(decode_.first), Bytes{9});
  ::close(held);
  ExpectInputsUnchanged();
}

// The output goes beside the name the run was given, not beside the file a
// link leads to.
TEST_F(OutputNameTest, PictureReachedThroughALink) {
  fs::create_directory(folder_ / "in/elsewhere");
  fs::rename(Path("p.bmp"), Path("elsewhere/real.bmp"));
  fs::create_symlink("elsewhere/real.bmp", Path("link.bmp"));
  Finished run = Run("link.bmp");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, ".bin");
  EXPECT_EQ(Read("link.bmp.bin"), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(Read("elsewhere/real.bmp"), picture_);
  EXPECT_EQ(Inside(), (Names{"data.txt", "elsewhere", "link.bmp", "link.bmp.bin"}));
}

// A file size limit below the header: encoding fails in the header stage and
// keeps what was written; decoding writes nothing before its copy stage.
TEST_F(OutputNameTest, FileSizeLimitBeforeTheCopy) {
  Launch limited({"in/data.txt"});
  limited.in_child = [] {
    ::signal(SIGXFSZ, SIG_DFL);  // the program must ignore it itself
    rlimit limit{40, 40};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  };
  Finished run = RunProgram(folder_.path(), limited);
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(run.out, "3");
  const Bytes partial = Read(encode_.first).value_or(Bytes{});
  ASSERT_EQ(partial.size(), 40u);
  EXPECT_EQ(Prefix(partial, 2), (Bytes{'B', 'M'}));

  limited.arguments = {"in/p.bmp"};
  limited.in_child = [] {
    ::signal(SIGXFSZ, SIG_DFL);  // the program must ignore it itself
    rlimit limit{3, 3};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  };
  run = RunProgram(folder_.path(), limited);
  EXPECT_EQ(run.exit_code, 4);
  EXPECT_EQ(run.out, "4");
  EXPECT_LE(Read(decode_.first).value_or(Bytes(9)).size(), 3u);
  ExpectInputsUnchanged();
}

// With standard input and output closed, the next files opened take their
// descriptors; the code must still tell the outcome, and no report may land
// in a file.
TEST_F(OutputNameTest, StandardStreamsClosed) {
  ASSERT_EQ(Run("data.txt").exit_code, 0);
  const Bytes made = *Read(encode_.first);
  fs::remove(Path(encode_.first));
  Write("short.bmp", Picture("bin", 10, {1, 2, 3, 4, 5}));

  for (const std::string input : {"data.txt", "p.bmp", "short.bmp"}) {
    SCOPED_TRACE(input);
    Launch closed({"in/" + input});
    closed.in_child = [] {
      ::close(STDIN_FILENO);
      ::close(STDOUT_FILENO);
    };
    Finished run = RunProgram(folder_.path(), closed);
    EXPECT_EQ(run.exit_code, input == "short.bmp" ? 4 : 0);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_EQ(Read(encode_.first), made);
  EXPECT_EQ(Read(decode_.first), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(Read("short.bmp.bin"), Bytes{});
  ExpectInputsUnchanged();
}

}  // namespace
}  // namespace e2e
