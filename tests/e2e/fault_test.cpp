// Failing disks, shared files and odd inputs: each ends with its own code, and
// nothing is lost that was not the run's own output.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/fanotify.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include <gtest/gtest.h>

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

// A mapped source cut short by another process must fail the copy, not raise
// SIGBUS (which would end this test program).
TEST(KernelCopyTest, SourceCutShortMeanwhileFailsWithoutASignal) {
  ScratchFolder folder;
  const Bytes data = Pattern(3'000'000);
  folder.Write("in", data);
  platform::FileSystem& files = platform::RealFileSystem();
  std::unique_ptr<platform::File> in = files.OpenForReading(folder / "in");
  std::unique_ptr<platform::File> out = files.OpenForWriting(folder / "out", *in).file;
  ASSERT_TRUE(in && out);
  fs::resize_file(folder / "in", 1'000'000);
  EXPECT_EQ(in->CopyInKernel(*out, data.size()), platform::KernelCopy::kFailed);
  const std::optional<std::uint64_t> reached = out->Position();
  ASSERT_TRUE(reached.has_value());
  EXPECT_EQ(in->Position(), reached);  // both moved by what was copied
  EXPECT_LT(*reached, data.size());
  EXPECT_EQ(folder.Read("out")->size(), *reached);
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

// Another process that locks each of `names` in `folder` the moment it is
// opened for the first time, before that open returns, and holds the lock while
// it lives: the race between creating an output and locking it, made certain.
// The kernel holds each open in the folder until this answers it (fanotify's
// permission events, which need CAP_SYS_ADMIN).
class LockerOnOpen {
 public:
  LockerOnOpen(const std::string& folder, std::set<std::string> names) : names_(std::move(names)) {
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
        const bool lock = names_.erase(NameOf(event->fd)) == 1 && ::flock(event->fd, LOCK_EX | LOCK_NB) == 0;
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

  std::set<std::string> names_;  // not yet locked
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

  const auto start = std::chrono::steady_clock::now();
  for (const char* name : {"pipe.txt", "pipe.bmp", "sock.txt", "/dev/zero", "/dev/null"}) {
    Finished run = Run(name);
    EXPECT_EQ(run.exit_code, 1) << name;
    EXPECT_EQ(run.out, "1") << name;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(folder_.Names(), (Names{"pipe.bmp", "pipe.txt", "sock.txt"}));
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

}  // namespace
}  // namespace e2e
