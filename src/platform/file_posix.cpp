// SPDX-License-Identifier: MIT
// POSIX file services: descriptors and advisory locks for exclusive use.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/magic.h>
#include <sys/vfs.h>
#endif

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

#include "platform/file.h"

namespace platform {
namespace {

// What tells one version of a file from another: a rewrite in place changes
// the modification time even where the length comes out the same, and the
// status-change time also moves when the modification time is set back.
struct Version {
  off_t length;
  struct timespec modified, changed;
  explicit Version(const struct stat& status)
      : length(status.st_size), modified(status.st_mtim), changed(status.st_ctim) {}
  friend bool operator==(const Version& a, const Version& b) {
    return a.length == b.length && a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec &&
           a.changed.tv_sec == b.changed.tv_sec && a.changed.tv_nsec == b.changed.tv_nsec;
  }
};

class PosixFile final : public File {
 public:
  PosixFile(int fd, const struct stat& status)
      : fd_(fd),
        identity_{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)},
        permissions_(status.st_mode & 0777),
        version_(status) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  FileIdentity Identity() const override { return identity_; }
  std::uint32_t PermissionBits() const override { return permissions_; }

  bool Unchanged() override {
    struct stat status;
    return ::fstat(fd_, &status) == 0 && Version(status) == version_;
  }

  // False for a file that reports 0 bytes yet yields some (proc, some FUSE
  // files): there is no telling how many bytes it holds.
  bool LengthIsKnown() {
    std::optional<std::uint64_t> length = Length();
    char byte;
    return length && (*length > 0 || ::pread(fd_, &byte, 1, 0) == 0);
  }

  std::optional<std::uint64_t> Length() override {
    struct stat status;
    if (::fstat(fd_, &status) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
  }

  std::optional<std::uint64_t> Position() override {
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    if (at < 0) return std::nullopt;
    return static_cast<std::uint64_t>(at);
  }

  std::size_t ReadSome(void* data, std::size_t size) override {
    for (;;) {
      const ssize_t got = ::read(fd_, data, size);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) return 0;
    }
  }

  bool WriteAll(const void* data, std::size_t size) override {
    const auto* at = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t put = ::write(fd_, at, size);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      at += put;
      size -= static_cast<std::size_t>(put);
    }
    return true;
  }

  bool Seek(std::uint64_t position) override { return ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0; }

  bool Resize(std::uint64_t length) override {
    std::optional<std::uint64_t> current = Length();
    if (!current) return false;
    // A file that already has the length is not truncated: on ext4 a
    // truncation to zero makes the next close wait for the data to be
    // written back, which would double the time of a whole run.
    if (*current != length && ::ftruncate(fd_, static_cast<off_t>(length)) != 0) return false;
    return ::lseek(fd_, static_cast<off_t>(length), SEEK_SET) >= 0;
  }

  bool Close() override {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
  FileIdentity identity_;
  mode_t permissions_;
  Version version_;
};

// Files are opened without blocking (a FIFO, a terminal or a device must not
// hang the run); the flag is cleared once the file is known to be regular.
constexpr int kOpenFlags = O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

// Kernel pseudo file systems show regular files that are no place to store
// anything, and writing some of them acts on the system (/proc/sysrq-trigger).
bool OnPseudoFileSystem(int fd) {
#if defined(__linux__)
  constexpr std::uint32_t kPseudo[] = {PROC_SUPER_MAGIC,    SYSFS_MAGIC,
                                       DEBUGFS_MAGIC,       TRACEFS_MAGIC,
                                       SECURITYFS_MAGIC,    CGROUP_SUPER_MAGIC,
                                       CGROUP2_SUPER_MAGIC, BPF_FS_MAGIC,
                                       PSTOREFS_MAGIC,      EFIVARFS_MAGIC,
                                       SELINUX_MAGIC,       SMACK_MAGIC,
                                       BINFMTFS_MAGIC,      0x62656570 /* configfs */,
                                       0x65735543 /* fusectl */};
  struct statfs volume;
  if (::fstatfs(fd, &volume) != 0) return true;
  const auto type = static_cast<std::uint32_t>(volume.f_type);
  return std::find(std::begin(kPseudo), std::end(kPseudo), type) != std::end(kPseudo);
#else
  (void)fd;
  return false;
#endif
}

// Takes an advisory lock, so that two runs never share a file: exclusive where
// the file system gives one, else shared (NFS emulates flock with byte-range
// locks, and a descriptor opened for reading can take only a shared one).
// False only when another process holds the file: where the file system has
// no locks at all, the file is used unlocked.
bool Lock(int fd) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  if (errno == EBADF && ::flock(fd, LOCK_SH | LOCK_NB) == 0) return true;
  return errno == EBADF || errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOTSUP;
}

// Locks `fd` (see Lock) and makes it blocking again; closes it and gives
// nothing when the file is not a regular file, or another process holds it.
// Nothing here throws: `fd` may be a file this run has just created, which
// its caller must be able to remove again.
std::unique_ptr<PosixFile> Hold(int fd) {
  if (fd < 0) return nullptr;
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || !Lock(fd)) {
    ::close(fd);
    return nullptr;
  }
  int status_flags = ::fcntl(fd, F_GETFL);
  if (status_flags >= 0) ::fcntl(fd, F_SETFL, status_flags & ~O_NONBLOCK);
  std::unique_ptr<PosixFile> file(new (std::nothrow) PosixFile(fd, status));
  if (file == nullptr) ::close(fd);
  return file;
}

// Opens `leaf` in the folder `at` for `access` only once a look that opens
// nothing for reading or writing has seen a regular file outside the kernel's
// pseudo file systems, and only when the file opened is the one looked at: a
// name swapped in between is refused, not used. With `own_only`, a symbolic
// link is not followed, and only the runner's own file under no other name is
// taken. -1 when refused.
int OpenAsLooked(int at, const char* leaf, int access, bool own_only) {
  const int no_follow = own_only ? O_NOFOLLOW : 0;
  // fstatat opens nothing at all, so a device, FIFO or socket is refused
  // before any open; an O_PATH descriptor reaches no driver, and tells the
  // file system of exactly the file the name led to.
  struct stat seen;
  if (::fstatat(at, leaf, &seen, own_only ? AT_SYMLINK_NOFOLLOW : 0) != 0 || !S_ISREG(seen.st_mode) ||
      (own_only && (seen.st_uid != ::geteuid() || seen.st_nlink != 1))) {
    return -1;
  }
  const auto same = [&seen](int fd) {
    struct stat status;
    return fd >= 0 && ::fstat(fd, &status) == 0 && status.st_dev == seen.st_dev && status.st_ino == seen.st_ino;
  };
  const int path = ::openat(at, leaf, O_PATH | O_CLOEXEC | no_follow);
  const bool on_disk = same(path) && !OnPseudoFileSystem(path);
  if (path >= 0) ::close(path);
  if (!on_disk) return -1;
  const int fd = ::openat(at, leaf, access | kOpenFlags | no_follow);
  if (fd >= 0 && !same(fd)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The folder that holds the entry `name`, and the entry's name in it.
std::pair<std::string, const char*> Split(const std::string& name) {
  const std::size_t slash = name.find_last_of('/');
  if (slash == std::string::npos) return {".", name.c_str()};
  return {slash == 0 ? "/" : name.substr(0, slash), name.c_str() + slash + 1};
}

// True for a sticky folder that others may write (as /tmp): anyone may have
// put an entry there under the output's name for this run to fill.
bool SharedSticky(int folder) {
  struct stat status;
  if (::fstat(folder, &status) != 0) return true;
  return (status.st_mode & S_ISVTX) != 0 && (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

class PosixFileSystem final : public FileSystem {
 public:
  NameKind KindOf(const std::string& name) override {
    struct stat status;
    if (::stat(name.c_str(), &status) != 0) {
      // Only a name that leads to no file is missing; one that cannot be
      // looked at (no rights, too long, an I/O error) fails when opened.
      const bool no_file = errno == ENOENT || errno == ENOTDIR || errno == ELOOP;
      return no_file ? NameKind::kMissing : NameKind::kOtherFile;
    }
    if (S_ISDIR(status.st_mode)) return NameKind::kDirectory;
    if (S_ISREG(status.st_mode)) return NameKind::kRegularFile;
    return NameKind::kOtherFile;
  }

  std::unique_ptr<File> OpenForReading(const std::string& name) override {
    // Only regular files on a disk are read: a device or FIFO could block or
    // never end, and a kernel file's stated length is not what it yields.
    auto file = Hold(OpenAsLooked(AT_FDCWD, name.c_str(), O_RDONLY, false));
    if (file == nullptr || !file->LengthIsKnown()) return nullptr;
    return file;
  }

  OutputOpening OpenForWriting(const std::string& name, const File& like) override {
    const auto [folder_name, leaf] = Split(name);
    const int folder = ::open(folder_name.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return {};
    // O_EXCL refuses every existing entry, a symbolic link too, dangling or
    // not, and opens none of them. The mode given to open() is masked by the
    // umask, and the file is never wider.
    int fd = ::openat(folder, leaf, O_RDWR | O_CREAT | O_EXCL | kOpenFlags,
                      static_cast<mode_t>(like.PermissionBits() & 0777));
    if (fd >= 0 || errno != EEXIST) {
      ::close(folder);
      return {Hold(fd), fd >= 0};
    }
    // In a shared sticky folder only the runner's own file, under no other
    // name, can be meant for this run: a link there, of either kind, may lead
    // to any file the runner may write, whoever made it. The kernel's
    // fs.protected_* settings guard some of this, and only when enabled.
    fd = OpenAsLooked(folder, leaf, O_RDWR, SharedSticky(folder));
    ::close(folder);
    return {Hold(fd), false};
  }

  // Names here are bytes; none of them is ever converted.
  std::string NameFromAnsi(std::string_view bytes) override { return std::string(bytes); }

  bool Remove(const std::string& name) override { return ::unlink(name.c_str()) == 0; }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem file_system;
  return file_system;
}

bool IsPathSeparator(char c) { return c == '/'; }

}  // namespace platform
