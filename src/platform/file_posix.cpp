// POSIX file services: descriptors and advisory locks for exclusive use.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

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

  bool Seek(std::uint64_t position) override { return ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0; }

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

// Files are opened without blocking (a FIFO must not hang the run).
constexpr int kOpenFlags = O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

// Takes an exclusive advisory lock on `fd`, so two runs never share a file;
// closes it and gives nothing when the file is not one to use. Nothing here
// throws: `fd` may be a file this run has just created, which its caller must
// be able to remove again.
std::unique_ptr<PosixFile> Hold(int fd) {
  if (fd < 0) return nullptr;
  struct stat status;
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode) || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) ||
      ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
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

  OutputOpening OpenForWriting(const std::string& name) override {
    // O_EXCL also refuses a symbolic link under the name, dangling or not; the
    // second open then follows it, and fails for a dangling one.
    int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | kOpenFlags, 0666);
    if (fd >= 0) return {Hold(fd), true};
    if (errno != EEXIST) return {};
    return {OpenLocked(name, O_RDWR), false};
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
