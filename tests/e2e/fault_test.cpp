// SPDX-License-Identifier: MIT
// Failing disks, shared files and odd inputs: each ends with its own code, and
// nothing is lost that was not the run's own output.
#include <fcntl.h>
#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <signal.h>
#include <sys/fanotify.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "container/block_copy.h"
#include "platform/file.h"
#include "program.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class FaultTest : public ::testing::Test {
 protected:
  Finished Run(const std::string& argument) { return RunProgram(folder_.path(), Launch({argument})); }
  ScratchFolder folder_;
};

// Starts the program as `user` (with that group and no others) under `mask`.
Launch As(uid_t user, const std::string& argument, mode_t mask = 022) {
  Launch launch({argument});
  launch.in_child = [user, mask] {
    ::umask(mask);
    if (::setgroups(0, nullptr) != 0 || ::setresgid(user, user, user) != 0 || ::setresuid(user, user, user) != 0) {
      ::_exit(126);
    }
  };
  return launch;
}
constexpr uid_t kRoot = 0;
constexpr uid_t kNobody = 65534;

// A 512 KiB tmpfs mounted in a scratch folder while it lives, so a disk fills
// up during the kernel's copy (a device such as /dev/full is never copied to
// that way).
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& path) : path_(path) {
    fs::create_directory(path_);
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=512k") == 0;
    error_ = mounted_ ? "" : std::strerror(errno);
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  const std::string& error() const { return error_; }

 private:
  std::string path_, error_;
  bool mounted_ = false;
};

// A disk with no room left: encoding fails writing its header, decoding (which
// writes nothing before) in its copy.
TEST_F(FaultTest, FullDiskFailsTheStageThatWrites) {
  folder_.Write("b.bin", Pattern(100));
  ASSERT_EQ(Run("b.bin").exit_code, 0);
  SmallDisk disk(folder_ / "small");
  if (!disk.mounted()) GTEST_SKIP() << "the kernel refused to mount a tmpfs: " << disk.error();
  folder_.Write("small/a.txt", Pattern(100));
  fs::copy_file(folder_ / "b.bin.bmp", folder_ / "small/b.bin.bmp");
  std::ofstream filler(folder_ / "small/filler", std::ios::binary);
  const Bytes block(4096);
  while (filler.write(reinterpret_cast<const char*>(block.data()), 4096) && filler.flush()) {
  }
  Finished encode = Run("small/a.txt");
  EXPECT_EQ(encode.exit_code, 3);
  EXPECT_EQ(encode.out, "3");
  Finished decode = Run("small/b.bin.bmp");
  EXPECT_EQ(decode.exit_code, 4);
  EXPECT_EQ(decode.out, "4");
  EXPECT_EQ(folder_.Read("small/a.txt"), Pattern(100));
}

TEST_F(FaultTest, DiskFillingDuringTheCopyLeavesWholeBlocks) {
  const Bytes data = Pattern(300'000);
  folder_.Write("d.bin", data);
  ASSERT_EQ(Run("d.bin").exit_code, 0);
  const Bytes picture = *folder_.Read("d.bin.bmp");
  SmallDisk disk(folder_ / "small");
  if (!disk.mounted()) GTEST_SKIP() << "the kernel refused to mount a tmpfs: " << disk.error();
  struct Row {
    std::string input, output;
    const Bytes& input_bytes;
    const Bytes& complete;  // what the output would have been
    std::size_t record;     // bytes before the first copied block
  } rows[] = {
      {"small/d.bin", "small/d.bin.bmp", data, picture, 62},
      {"small/d.bin.bmp", "small/d.bin.bmp.bin", picture, data, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    for (const auto& entry : fs::directory_iterator(folder_ / "small")) fs::remove(entry.path());
    folder_.Write(row.input, row.input_bytes);
    Finished run = Run(row.input);
    EXPECT_EQ(run.exit_code, 4);
    EXPECT_EQ(run.out, "4");
    const Bytes left = folder_.Read(row.output).value_or(Bytes{});
    ASSERT_GT(left.size(), row.record);
    EXPECT_EQ((left.size() - row.record) % 61'440, 0u);
    EXPECT_EQ(left, Bytes(row.complete.begin(), row.complete.begin() + static_cast<long>(left.size())));
  }
}

// A source another process cuts short after it was opened fails the copy
// without a signal (which would end this test program), keeping the whole
// blocks it could still read.
TEST(CopyBlocksTest, SourceCutShortMeanwhileFailsWithoutASignal) {
  ScratchFolder folder;
  folder.Write("in", Pattern(3'000'000));
  platform::FileSystem& files = platform::RealFileSystem();
  std::unique_ptr<platform::File> in = files.OpenForReading(folder / "in");
  std::unique_ptr<platform::File> out = files.OpenForWriting(folder / "out", *in).file;
  ASSERT_TRUE(in && out);
  fs::resize_file(folder / "in", 1'000'000);
  EXPECT_FALSE(container::CopyBlocks(*in, *out, 3'000'000));
  EXPECT_EQ(folder.Read("out"), Pattern(1'000'000 / 61'440 * 61'440));
}

// The limit is set with SIGXFSZ at its default disposition, which would end
// the run without its code unless the program itself ignores the signal.
Launch UnderFileSizeLimit(const std::string& argument, rlim_t bytes) {
  Launch limited({argument});
  limited.in_child = [bytes] {
    ::signal(SIGXFSZ, SIG_DFL);
    rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  };
  return limited;
}

TEST_F(FaultTest, FileSizeLimitFailsTheStageItInterrupts) {
  const Bytes big = Pattern(300'000);
  folder_.Write("big.bin", big);
  folder_.Write("small.mp3", Pattern(17));  // a 102-byte picture whose last 23 bytes are zero fill
  ASSERT_EQ(Run("big.bin").exit_code, 0);
  ASSERT_EQ(Run("small.mp3").exit_code, 0);
  const Bytes big_picture = *folder_.Read("big.bin.bmp");
  const Bytes small_picture = *folder_.Read("small.mp3.bmp");
  fs::remove(folder_ / "small.mp3.bmp");
  struct Row {
    std::string input, output;
    rlim_t limit;
    Bytes left;  // the output afterwards
  } rows[] = {
      {"big.bin.bmp", "big.bin.bmp.bin", 100'000, Bytes(big.begin(), big.begin() + 61'440)},  // whole blocks
      {"big.bin", "big.bin.bmp", 100'000, Bytes(big_picture.begin(), big_picture.begin() + 62 + 61'440)},
      {"small.mp3", "small.mp3.bmp", 90, Bytes(small_picture.begin(), small_picture.begin() + 90)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    fs::remove(folder_ / row.output);
    Finished run = RunProgram(folder_.path(), UnderFileSizeLimit(row.input, row.limit));
    EXPECT_EQ(run.exit_code, 4);
    EXPECT_EQ(run.out, "4");
    EXPECT_EQ(folder_.Read(row.output), row.left);
  }
  EXPECT_EQ(folder_.Read("big.bin"), big);
}

TEST_F(FaultTest, OutputNameReachingTheInputNeverTruncatesIt) {
  const Bytes data = Pattern(1'000);
  folder_.Write("s.txt", data);
  fs::create_symlink("s.txt", folder_ / "s.txt.bmp");
  Finished soft = Run("s.txt");
  EXPECT_EQ(soft.out, ".bmp~");
  EXPECT_EQ(folder_.Read("s.txt"), data);

  folder_.Write("h.txt", data);
  fs::create_hard_link(folder_ / "h.txt", folder_ / "h.txt.bmp");
  fs::create_hard_link(folder_ / "h.txt", folder_ / "h.txt.bmp~");
  Finished hard = Run("h.txt");
  EXPECT_EQ(hard.exit_code, 2);
  EXPECT_EQ(hard.out, "2");
  EXPECT_EQ(folder_.Read("h.txt"), data);
}

TEST_F(FaultTest, FilesHeldByAnotherProcess) {
  folder_.Write("held.txt", {1, 2, 3});
  int fd = ::open((folder_ / "held.txt").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  Finished input = Run("held.txt");
  EXPECT_EQ(input.exit_code, 1);
  EXPECT_EQ(input.out, "1");
  EXPECT_EQ(folder_.Names(), Names{"held.txt"});
  ::close(fd);

  folder_.Write("free.txt", {4});
  folder_.Write("free.txt.bmp", {5});
  fd = ::open((folder_ / "free.txt.bmp").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(Run("free.txt").out, ".bmp~");
  EXPECT_EQ(folder_.Read("free.txt.bmp"), Bytes{5});
  ::close(fd);
}

// Another process that acts the moment each of `names` in `folder` is opened
// for the first time, before that open returns: by default it locks the file
// and holds the lock while it lives (the race between creating an output and
// locking it, made certain). `act` gets the opened file and tells whether to
// hold it. The kernel holds each open in the folder until this answers it
// (fanotify's permission events, which need CAP_SYS_ADMIN).
class LockerOnOpen {
 public:
  using Act = std::function<bool(int fd)>;
  LockerOnOpen(
      const std::string& folder, std::set<std::string> names,
      Act act = [](int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; })
      : names_(std::move(names)), act_(std::move(act)) {
    listener_ = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_CLOEXEC);
    if (listener_ >= 0 &&
        ::fanotify_mark(listener_, FAN_MARK_ADD, FAN_OPEN_PERM | FAN_EVENT_ON_CHILD, AT_FDCWD, folder.c_str()) != 0) {
      ::close(listener_);
      listener_ = -1;
    }
    if (listener_ < 0 || ::pipe2(stop_, O_CLOEXEC) != 0) {
      error_ = std::strerror(errno);
      return;
    }
    answering_ = std::thread([this] { Answer(); });
  }
  ~LockerOnOpen() {
    if (listener_ < 0) return;
    ::close(stop_[1]);
    answering_.join();
    for (int fd : held_) ::close(fd);
    ::close(stop_[0]);
  }
  bool listening() const { return listener_ >= 0; }
  const std::string& error() const { return error_; }

 private:
  void Answer() {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    alignas(fanotify_event_metadata) char buffer[4096];
    bool answering = true;
    while (answering && ::poll(fds, 2, -1) >= 0 && fds[1].revents == 0) {
      const ssize_t got = ::read(listener_, buffer, sizeof buffer);
      auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
      for (ssize_t left = got; FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
        if (event->fd < 0) continue;
        const bool lock = names_.erase(NameOf(event->fd)) == 1 && act_(event->fd);
        const fanotify_response response{event->fd, FAN_ALLOW};
        answering = answering && ::write(listener_, &response, sizeof response) == sizeof response;
        if (lock) {
          held_.push_back(event->fd);
        } else {
          ::close(event->fd);
        }
      }
    }
    ::close(listener_);  // lets through whatever is still waiting
  }

  static std::string NameOf(int fd) {
    char target[4096];
    const ssize_t length = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target);
    if (length <= 0) return "";
    return fs::path(std::string(target, static_cast<std::size_t>(length))).filename();
  }

  std::set<std::string> names_;  // not yet acted on
  Act act_;
  std::vector<int> held_;
  int listener_ = -1;
  int stop_[2] = {-1, -1};
  std::string error_;
  std::thread answering_;
};

TEST_F(FaultTest, NewOutputLockedByAnotherProcessIsRemoved) {
  folder_.Write("new.txt", Pattern(100));
  struct Row {
    std::set<std::string> locked;
    int exit_code;
    std::string out;
    Names left;
  } rows[] = {
      {{"new.txt.bmp"}, 0, ".bmp~", {"new.txt", "new.txt.bmp~"}},
      {{"new.txt.bmp", "new.txt.bmp~"}, 2, "2", {"new.txt"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.exit_code);
    Finished run;
    {
      LockerOnOpen locker(folder_.path(), row.locked);
      if (!locker.listening())
        GTEST_SKIP() << "no fanotify permission events (they need CAP_SYS_ADMIN; qemu-user has none): "
                     << locker.error();
      run = Run("new.txt");
    }
    EXPECT_EQ(run.exit_code, row.exit_code);
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(folder_.Names(), row.left);
    for (const std::string& name : folder_.Names()) {
      if (name != "new.txt") fs::remove(folder_ / name);
    }
  }
}

// Locks are advisory on POSIX: another process may rewrite an input the run
// holds. Here it does so the moment the run opens its output, after the input's
// length was taken and before the copy; a picture that may mix two versions
// is never reported as success.
TEST_F(FaultTest, InputChangedDuringTheRunFailsTheCopy) {
  folder_.Write("p.bin", Pattern(100));
  ASSERT_EQ(Run("p.bin").exit_code, 0);
  struct Row {
    std::string input, output;
    off_t grown_by;  // 0: 16 carried bytes rewritten in place, keeping the length
  } rows[] = {{"g.bin", "g.bin.bmp", 1'000}, {"w.bin", "w.bin.bmp", 0}, {"p.bin.bmp", "p.bin.bmp.bin", 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    if (row.input != "p.bin.bmp") folder_.Write(row.input, Pattern(100'000));
    // An old modification time, so a rewrite within the same clock tick shows.
    const timespec old[2] = {{1'000'000, 0}, {1'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (folder_ / row.input).c_str(), old, 0), 0);
    const int writer = ::open((folder_ / row.input).c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    const off_t at = row.grown_by > 0 ? static_cast<off_t>(fs::file_size(folder_ / row.input)) + row.grown_by : 100;
    Finished run;
    {
      LockerOnOpen changer(folder_.path(), {row.output}, [writer, at](int) {
        const Bytes other(16, 0xEE);
        EXPECT_EQ(::pwrite(writer, other.data(), other.size(), at), 16);
        return false;
      });
      if (!changer.listening()) GTEST_SKIP() << "no fanotify permission events: " << changer.error();
      run = Run(row.input);
    }
    ::close(writer);
    EXPECT_EQ(run.exit_code, 4);
    EXPECT_EQ(run.out, "4");
  }
}

// Only a name that leads to no file gives the usage text; one that exists but
// cannot be looked at is an input that cannot be opened.
TEST_F(FaultTest, InputsThatExistButCannotBeReached) {
  folder_.Write("x.txt", Pattern(10));
  std::string long_path;
  while (long_path.size() <= PATH_MAX) long_path += "./";
  fs::create_directory(folder_ / "locked");
  folder_.Write("locked/x.txt", Pattern(10));
  fs::permissions(folder_ / "locked", fs::perms::owner_all);
  fs::permissions(folder_.path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
  for (const Launch& launch : {Launch({long_path + "x.txt"}), As(kNobody, "locked/x.txt")}) {
    SCOPED_TRACE(launch.arguments[0].substr(0, 20));
    Finished run = RunProgram(folder_.path(), launch);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "1");
  }
  EXPECT_EQ(folder_.Names(), (Names{"locked", "x.txt"}));
}

// A new file takes its source's permission bits, masked by the umask; an
// existing output keeps its own.
TEST_F(FaultTest, NewFilesTakeTheSourcesPermissions) {
  struct Row {
    fs::perms input;
    mode_t mask;
    fs::perms made;  // the picture's and then the restored file's
  } rows[] = {
      {fs::perms(0600), 022, fs::perms(0600)},  // a private file stays private
      {fs::perms(0666), 022, fs::perms(0644)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.input));
    folder_.Write("m.txt", Pattern(10));
    fs::permissions(folder_ / "m.txt", row.input);
    ASSERT_EQ(RunProgram(folder_.path(), As(kRoot, "m.txt", row.mask)).exit_code, 0);
    ASSERT_EQ(RunProgram(folder_.path(), As(kRoot, "m.txt.bmp", row.mask)).exit_code, 0);
    EXPECT_EQ(fs::status(folder_ / "m.txt.bmp").permissions(), row.made);
    EXPECT_EQ(fs::status(folder_ / "m.txt.bmp.txt").permissions(), row.made);
    fs::permissions(folder_ / "m.txt", fs::perms(0600));
    ASSERT_EQ(RunProgram(folder_.path(), As(kRoot, "m.txt")).out, ".bmp");  // over the existing picture
    EXPECT_EQ(fs::status(folder_ / "m.txt.bmp").permissions(), row.made);
    fs::remove(folder_ / "m.txt.bmp");
    fs::remove(folder_ / "m.txt.bmp.txt");
  }
}

// In a folder that others may write and that has the sticky bit (as /tmp),
// an entry under the output name may have been put there to receive the
// output: only the runner's own file under that one name is used, whoever
// runs the program. The folder belongs to the other user, where
// fs.protected_symlinks does not stop a link either.
TEST_F(FaultTest, SharedStickyFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as two users needs root";
  fs::create_directory(folder_ / "shared");
  fs::permissions(folder_ / "shared", fs::perms(01777));
  ASSERT_EQ(::chown((folder_ / "shared").c_str(), kNobody, kNobody), 0);
  fs::permissions(folder_.path(), fs::perms(0755));
  enum Entry { kFile, kSymbolicLink, kHardLink };  // a link leads to "victim", the runner's own file
  struct Row {
    uid_t runner, planter;
    Entry entry;
    fs::perms planted;
    std::string out;
  } rows[] = {
      {kRoot, kNobody, kFile, fs::perms(0600), ".bmp~"},   // root's file would become the other's
      {kNobody, kRoot, kFile, fs::perms(0666), ".bmp~"},   // open to all, still someone else's
      {kNobody, kNobody, kFile, fs::perms(0600), ".bmp"},  // the runner's own file is used
      {kRoot, kNobody, kSymbolicLink, fs::perms(0600), ".bmp~"},
      {kNobody, kNobody, kSymbolicLink, fs::perms(0600), ".bmp~"},  // whoever made the link
      {kRoot, kRoot, kHardLink, fs::perms(0600), ".bmp~"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.runner) + " " + std::to_string(row.planter) + " " + std::to_string(row.entry));
    const std::string planted = folder_ / "shared/s.txt.bmp";
    folder_.Write("shared/s.txt", Pattern(10));
    folder_.Write("victim", {7});
    ASSERT_EQ(::chown((folder_ / "shared/s.txt").c_str(), row.runner, row.runner), 0);
    ASSERT_EQ(::chown((folder_ / "victim").c_str(), row.runner, row.runner), 0);
    if (row.entry == kFile) folder_.Write("shared/s.txt.bmp", {7});
    if (row.entry == kSymbolicLink) fs::create_symlink(folder_ / "victim", planted);
    if (row.entry == kHardLink) fs::create_hard_link(folder_ / "victim", planted);
    ASSERT_EQ(::lchown(planted.c_str(), row.planter, row.planter), 0);
    fs::permissions(planted, row.planted);
    Finished run = RunProgram(folder_.path(), As(row.runner, "shared/s.txt"));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, row.out);
    if (row.out == ".bmp~") {
      EXPECT_EQ(folder_.Read("shared/s.txt.bmp"), Bytes{7});
    }
    for (const auto& entry : fs::directory_iterator(folder_ / "shared")) fs::remove(entry.path());
  }
}

// A filter in the program's process makes flock answer as NFS does for a
// descriptor opened for reading (an exclusive lock gives EBADF, a shared one
// works), or as a file system without locks does (ENOLCK for both).
Launch WithLocksRefused(const std::string& argument, int error, unsigned refused) {
  Launch launch({argument});
  launch.in_child = [error, refused] {
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_flock, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[1])),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, refused, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<unsigned>(error)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
      ::_exit(126);
    }
  };
  return launch;
}

TEST_F(FaultTest, FileSystemsThatRefuseExclusiveLocks) {
#ifdef VARNHOLD_EMULATOR
  GTEST_SKIP() << "the filter names the host's system calls, which an emulated program does not make itself";
#endif
  folder_.Write("n.txt", Pattern(100));
  for (const auto& [error, refused] :
       {std::pair{EBADF, unsigned{LOCK_EX}}, std::pair{ENOLCK, unsigned{LOCK_EX | LOCK_SH}}}) {
    for (const char* argument : {"n.txt", "n.txt.bmp"}) {
      EXPECT_EQ(RunProgram(folder_.path(), WithLocksRefused(argument, error, refused)).exit_code, 0) << error;
    }
    EXPECT_EQ(folder_.Read("n.txt.bmp.txt"), Pattern(100));
    fs::remove(folder_ / "n.txt.bmp");
    fs::remove(folder_ / "n.txt.bmp.txt");
  }
  // The shared lock still keeps out a file another process holds.
  const int held = ::open((folder_ / "n.txt").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  Finished run = RunProgram(folder_.path(), WithLocksRefused("n.txt", EBADF, LOCK_EX));
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "1");
  ::close(held);
}

TEST_F(FaultTest, InputsThatAreNotRegularFilesAreRefusedWithoutBlocking) {
  ASSERT_EQ(::mkfifo((folder_ / "pipe.txt").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((folder_ / "pipe.bmp").c_str(), 0600), 0);
  int socket_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string socket_path = folder_ / "sock.txt";
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  std::copy(socket_path.begin(), socket_path.end(), address.sun_path);
  ASSERT_EQ(::bind(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  // /proc/cpuinfo reports 0 bytes and yields thousands; a sysfs file reports
  // 4,096 and yields a few, and through a link here its picture would land here.
  Names inputs{"pipe.txt", "pipe.bmp", "sock.txt", "/dev/zero", "/dev/null", "/proc/cpuinfo"};
  Names left{"pipe.bmp", "pipe.txt", "sock.txt"};
  const char* const kernel_file = "/sys/kernel/uevent_seqnum";
  if (fs::exists(kernel_file)) {
    fs::create_symlink(kernel_file, folder_ / "kernel.txt");
    inputs.push_back("kernel.txt");
    left.insert(left.begin(), "kernel.txt");
  } else {
    std::cout << "[   NOTE   ] no " << kernel_file << ": no sysfs input is tried\n";
  }
  for (const std::string& name : inputs) {
    Launch guarded({name});
    guarded.in_child = [] { ::alarm(20); };  // ends a run that waits, which then fails
    Finished run = RunProgram(folder_.path(), guarded);
    EXPECT_EQ(run.exit_code, 1) << name;
    EXPECT_EQ(run.out, "1") << name;
  }
  EXPECT_EQ(folder_.Names(), left);
  ::close(socket_fd);
}

TEST_F(FaultTest, LargestAcceptedInputAndOneByteMore) {
  constexpr std::uintmax_t kLimit = 268'435'456;
  // Sparse files: the size is real, the disk use is not.
  {
    std::ofstream(folder_ / "over.bin").put('x');
    fs::resize_file(folder_ / "over.bin", kLimit + 1);
  }
  Finished over = Run("over.bin");
  EXPECT_EQ(over.exit_code, 1);
  EXPECT_EQ(over.out, "1");
  EXPECT_EQ(folder_.Names(), Names{"over.bin"});
  fs::remove(folder_ / "over.bin");

  {
    std::ofstream edge(folder_ / "edge.bin", std::ios::binary);
    edge << "first";
  }
  fs::resize_file(folder_ / "edge.bin", kLimit);
  {
    std::fstream edge(folder_ / "edge.bin", std::ios::binary | std::ios::in | std::ios::out);
    edge.seekp(kLimit - 4);
    edge << "last";
  }
  Finished encode = Run("edge.bin");
  ASSERT_EQ(encode.exit_code, 0);
  Finished decode = Run("edge.bin.bmp");
  ASSERT_EQ(decode.exit_code, 0);
  EXPECT_EQ(decode.out, ".bin");
  ASSERT_EQ(fs::file_size(folder_ / "edge.bin.bmp.bin"), kLimit);
  Launch compare_files;
  compare_files.in_child = [] { ::execl("/usr/bin/cmp", "cmp", "-s", "edge.bin", "edge.bin.bmp.bin", nullptr); };
  Finished compare = RunProgram(folder_.path(), compare_files);
  EXPECT_EQ(compare.exit_code, 0);
}

// The harness itself: a run that never ends is ended at its limit, and the
// failure names it, instead of the test waiting for CTest's limit.
TEST_F(FaultTest, HarnessEndsARunThatOutlastsItsLimit) {
  Launch endless({"n.txt"});
  endless.limit_seconds = 1;
  endless.in_child = [] { ::execl("/bin/sleep", "sleep", "60", nullptr); };
  const auto start = std::chrono::steady_clock::now();
  try {
    RunProgram(folder_.path(), endless);
    ADD_FAILURE() << "the run was not ended";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "the program did not end within 1 s (run with \"n.txt\")");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace e2e
