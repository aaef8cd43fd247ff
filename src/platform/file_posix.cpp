// POSIX file services: descriptors, advisory locks for exclusive use, and
// copies that leave the bytes to the kernel.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
    std::uint64_t written = 0;
    return WriteCounted(data, size, written);
  }

  KernelCopy CopyInKernel(File& target, std::uint64_t count) override {
    auto* to = dynamic_cast<PosixFile*>(&target);
    if (to == nullptr) return KernelCopy::kUnavailable;
    std::uint64_t copied = 0;
    KernelCopy mapped = CopyThroughMapping(*to, count, copied);
    if (mapped != KernelCopy::kUnavailable) return mapped;
    return CopyFileRange(*to, count - copied, copied > 0);
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
  // Writes all `size` bytes, adding to `written` what reached the file, so a
  // caller can tell how far a failed write got.
  bool WriteCounted(const void* data, std::size_t size, std::uint64_t& written) {
    const auto* at = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t put = ::write(fd_, at, size);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) return false;
      at += put;
      size -= static_cast<std::size_t>(put);
      written += static_cast<std::uint64_t>(put);
    }
    return true;
  }

  // Maps the source a window at a time and hands each window to write(): the
  // kernel copies once, from the source's page cache into the target's, and
  // lays out the target's pages as an ordinary write does. (copy_file_range
  // between offsets that differ within a page, as the picture's record forces,
  // takes about 1.4 times as long.) Only the kernel touches the mapping, so a
  // source that another process cuts short makes write() fail with EFAULT
  // rather than raise SIGBUS. Adds what reached the target to `copied` and
  // leaves the source's position after it; kUnavailable when a window cannot
  // be mapped (no memory, or a file system without mappings).
  KernelCopy CopyThroughMapping(PosixFile& to, std::uint64_t count, std::uint64_t& copied) {
#if defined(MAP_POPULATE)
    // A 1 MiB window keeps the resident set near 2 MiB; larger ones add
    // resident pages and save no measurable time.
    constexpr std::uint64_t kWindow = std::uint64_t{1} << 20;
    const long page_size = ::sysconf(_SC_PAGESIZE);
    const off_t start = ::lseek(fd_, 0, SEEK_CUR);
    if (page_size <= 0 || start < 0) return KernelCopy::kUnavailable;
    const auto page = static_cast<std::uint64_t>(page_size);
    KernelCopy result = KernelCopy::kDone;
    while (copied < count) {
      const std::uint64_t at = static_cast<std::uint64_t>(start) + copied;
      const std::uint64_t lead = at % page;
      const std::uint64_t piece = std::min(count - copied, kWindow - lead);
      const auto span = static_cast<std::size_t>(lead + piece);
      void* window = ::mmap(nullptr, span, PROT_READ, MAP_SHARED | MAP_POPULATE, fd_, static_cast<off_t>(at - lead));
      if (window == MAP_FAILED) {
        result = KernelCopy::kUnavailable;
        break;
      }
      const bool written =
          to.WriteCounted(static_cast<const char*>(window) + lead, static_cast<std::size_t>(piece), copied);
      ::munmap(window, span);
      if (!written) {
        result = KernelCopy::kFailed;
        break;
      }
    }
    // The source's position follows what reached the target, as if read.
    if (::lseek(fd_, start + static_cast<off_t>(copied), SEEK_SET) < 0) return KernelCopy::kFailed;
    return result;
#else
    (void)to;
    (void)count;
    (void)copied;
    return KernelCopy::kUnavailable;
#endif
  }

  // The kernel's file-to-file copy; `moved_any` tells whether an earlier way
  // already copied part of the run, after which a refusal is a failure.
  KernelCopy CopyFileRange(PosixFile& to, std::uint64_t count, bool moved_any) {
#if defined(__linux__)
    while (count > 0) {
      std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(count, 1u << 30));
      ssize_t copied = ::copy_file_range(fd_, nullptr, to.fd_, nullptr, chunk, 0);
      if (copied < 0 && errno == EINTR) continue;
      if (copied < 0 && !moved_any &&
          (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF ||
           errno == EPERM)) {
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
    (void)to;
    (void)count;
    return moved_any ? KernelCopy::kFailed : KernelCopy::kUnavailable;
#endif
  }

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
