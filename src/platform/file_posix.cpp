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
  mode_t permissions() const { return permissions_; }

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

std::unique_ptr<PosixFile> OpenLocked(const std::string& name, int flags) {
  return Hold(::open(name.c_str(), flags | kOpenFlags));
}

// The folder that holds the entry `name`.
std::string FolderOf(const std::string& name) {
  const std::size_t slash = name.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : name.substr(0, slash);
}

// True when `fd`, reached through an entry of `folder`, may have been put
// there by another user for this run to fill: a sticky folder that others may
// write, and a file that belongs to someone else. The kernel's
// fs.protected_regular guards only opens that may create, and only when
// enabled; this holds whatever the system's setting.
bool PlantedByAnother(const std::string& folder, int fd) {
  struct stat file, parent;
  if (::fstat(fd, &file) != 0 || ::stat(folder.c_str(), &parent) != 0) return true;
  const bool shared = (parent.st_mode & S_ISVTX) != 0 && (parent.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  return shared && file.st_uid != ::geteuid();
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
    struct stat status;
    // Only regular files are read: a device or FIFO could block or never end.
    if (::stat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
    auto file = OpenLocked(name, O_RDONLY);
    if (file == nullptr || !file->LengthIsKnown()) return nullptr;
    return file;
  }

  OutputOpening OpenForWriting(const std::string& name, const File& like) override {
    const auto* model = dynamic_cast<const PosixFile*>(&like);
    const mode_t permissions = model != nullptr ? model->permissions() : 0600;
    const std::string folder = FolderOf(name);
    // O_EXCL also refuses a symbolic link under the name, dangling or not; the
    // second open then follows it, and fails for a dangling one. The mode
    // given to open() is masked by the umask, and the file is never wider.
    int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | kOpenFlags, permissions);
    if (fd >= 0) return {Hold(fd), true};
    if (errno != EEXIST) return {};
    fd = ::open(name.c_str(), O_RDWR | kOpenFlags);
    if (fd >= 0 && (OnPseudoFileSystem(fd) || PlantedByAnother(folder, fd))) {
      ::close(fd);
      return {};
    }
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
