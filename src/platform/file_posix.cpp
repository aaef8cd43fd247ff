// POSIX file services: descriptors, advisory locks for exclusive use, and the
// kernel's file-to-file copy.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/file.h"

namespace platform {
namespace {

class PosixFile final : public File {
 public:
  PosixFile(int fd, const struct stat& status)
      : fd_(fd),
        identity_{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)},
        regular_(S_ISREG(status.st_mode)) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  FileIdentity Identity() const override { return identity_; }

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

  bool ReadExact(void* data, std::size_t size) override {
    auto* at = static_cast<char*>(data);
    while (size > 0) {
      ssize_t got = ::read(fd_, at, size);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      at += got;
      size -= static_cast<std::size_t>(got);
    }
    return true;
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

  KernelCopy CopyInKernel(File& target, std::uint64_t count) override {
#if defined(__linux__)
    auto* to = dynamic_cast<PosixFile*>(&target);
    if (to == nullptr) return KernelCopy::kUnavailable;
    bool moved_any = false;
    while (count > 0) {
      std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count, 1u << 30));
      ssize_t copied = ::copy_file_range(fd_, nullptr, to->fd_, nullptr, chunk, 0);
      if (copied < 0 && errno == EINTR) continue;
      if (copied < 0 && !moved_any &&
          (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
           errno == EBADF || errno == EPERM)) {
        // Devices, pipes, some file systems and older kernels refuse; the
        // buffered copy handles them and reports their real errors.
        return KernelCopy::kUnavailable;
      }
      if (copied <= 0) return KernelCopy::kFailed;
      moved_any = true;
      count -= static_cast<std::uint64_t>(copied);
    }
    return KernelCopy::kDone;
#else
    (void)target;
    (void)count;
    return KernelCopy::kUnavailable;
#endif
  }

  bool Resize(std::uint64_t length) override {
    // Like O_TRUNC, resizing leaves devices alone: writing to one is still
    // meaningful (and fails where the device does).
    if (regular_) {
      std::optional<std::uint64_t> current = Length();
      if (!current) return false;
      // A file that already has the length is not truncated: on ext4 a
      // truncation to zero makes the next close wait for the data to be
      // written back, which would double the time of a whole run.
      if (*current != length && ::ftruncate(fd_, static_cast<off_t>(length)) != 0) return false;
    }
    return ::lseek(fd_, static_cast<off_t>(length), SEEK_SET) >= 0 || !regular_;
  }

  bool Close() override {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
  FileIdentity identity_;
  bool regular_;
};

// Opens `name` without blocking (a FIFO must not hang the run) and takes an
// exclusive advisory lock, so two runs never share a file.
std::unique_ptr<PosixFile> OpenLocked(const std::string& name, int flags) {
  int fd = ::open(name.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return nullptr;
  struct stat status;
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode) || S_ISFIFO(status.st_mode) ||
      S_ISSOCK(status.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  int status_flags = ::fcntl(fd, F_GETFL);
  if (status_flags >= 0) ::fcntl(fd, F_SETFL, status_flags & ~O_NONBLOCK);
  return std::make_unique<PosixFile>(fd, status);
}

class PosixFileSystem final : public FileSystem {
 public:
  NameKind KindOf(const std::string& name) override {
    struct stat status;
    if (::stat(name.c_str(), &status) != 0) return NameKind::kMissing;
    if (S_ISDIR(status.st_mode)) return NameKind::kDirectory;
    if (S_ISREG(status.st_mode)) return NameKind::kRegularFile;
    return NameKind::kOtherFile;
  }

  std::unique_ptr<File> OpenForReading(const std::string& name) override {
    struct stat status;
    // Only regular files are read: a device or FIFO could block or never end.
    if (::stat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
    auto file = OpenLocked(name, O_RDONLY);
    if (file == nullptr || !file->Length()) return nullptr;
    return file;
  }

  std::unique_ptr<File> OpenForWriting(const std::string& name) override {
    return OpenLocked(name, O_RDWR | O_CREAT);
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem file_system;
  return file_system;
}

bool IsPathSeparator(char c) { return c == '/'; }

}  // namespace platform
