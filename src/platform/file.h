// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_PLATFORM_FILE_H_
#define VARNHOLD_PLATFORM_FILE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// Names one file on one volume, whatever name or link reached it.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

/// What a name denotes once symbolic links are followed.
enum class NameKind {
  kMissing,  ///< no such file, or a link that ends in none (dangling, or a loop)
  kDirectory,
  kRegularFile,
  kOtherFile,  ///< anything else, or a name whose status cannot be read (no rights, too long, I/O error)
};

/// An open file, read and written at one running position.
class File {
 public:
  virtual ~File() = default;

  /// The identity taken when the file was opened.
  virtual FileIdentity Identity() const = 0;
  /// The permission bits (0777 at most) that a file made in this one's image
  /// takes on POSIX, as they were when it was opened; 0 where a new file takes
  /// its folder's permissions instead (Windows).
  virtual std::uint32_t PermissionBits() const = 0;
  /// True while the file's length and last-modified time (on POSIX also its
  /// status-change time) are still those it had when it was opened; false
  /// once another process changed it, or when they cannot be read.
  [[nodiscard]] virtual bool Unchanged() = 0;
  /// The file's current length, or nothing when it cannot be queried.
  [[nodiscard]] virtual std::optional<std::uint64_t> Length() = 0;
  /// The running position, or nothing when it cannot be queried.
  [[nodiscard]] virtual std::optional<std::uint64_t> Position() = 0;
  /// Reads at most `size` bytes at the position in one request to the system,
  /// which may deliver fewer; how many it read, 0 when the file ends or
  /// reading fails (the position is then unspecified).
  [[nodiscard]] virtual std::size_t ReadSome(void* data, std::size_t size) = 0;
  /// Reads `size` bytes at the position, fewer only when the file ends or
  /// reading fails first; how many it read.
  [[nodiscard]] std::size_t ReadUpTo(void* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
      const std::size_t got = ReadSome(static_cast<char*>(data) + done, size - done);
      if (got == 0) break;
      done += got;
    }
    return done;
  }
  /// Reads exactly `size` bytes at the position; false when the file ends first
  /// or reading fails (the position is then unspecified).
  [[nodiscard]] bool ReadExact(void* data, std::size_t size) { return ReadUpTo(data, size) == size; }
  /// Writes all `size` bytes at the position; false on any failure.
  [[nodiscard]] virtual bool WriteAll(const void* data, std::size_t size) = 0;
  /// Moves the position to `position`; false when it cannot be moved.
  [[nodiscard]] virtual bool Seek(std::uint64_t position) = 0;
  /// Cuts or extends the file to `length` bytes and moves the position there.
  [[nodiscard]] virtual bool Resize(std::uint64_t length) = 0;
  /// Releases the file; false when written data may not have reached it.
  [[nodiscard]] virtual bool Close() = 0;
};

/// What opening an output name did.
struct OutputOpening {
  std::unique_ptr<File> file;  ///< open and held; nothing when the name cannot be used
  bool created = false;        ///< this call made the file: the name did not exist before
};

/// The file services a run needs. Tests substitute a double.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  [[nodiscard]] virtual NameKind KindOf(const std::string& name) = 0;
  /// Opens an existing regular file for reading only, held while open (see
  /// docs/reliability.md for what holding means on each platform). Nothing
  /// when it cannot be opened, is not a regular file on a disk (devices,
  /// FIFOs, sockets, files of kernel pseudo file systems such as proc or
  /// sysfs: those are looked at, never opened for reading), another process
  /// holds it, or its length is unknown: it reports 0 bytes yet yields some
  /// (some FUSE files). Never blocks.
  [[nodiscard]] virtual std::unique_ptr<File> OpenForReading(const std::string& name) = 0;
  /// Opens a file for reading and writing, held while open as inputs are. A
  /// missing name is created exclusively, so a file another process makes at
  /// the same moment is never taken for a new one, and takes `like`'s
  /// permission bits, masked by the umask (POSIX). An existing name is opened
  /// without creating anything and its contents and permissions are left in
  /// place (so the caller can check what it is before emptying it); it is
  /// looked at first, and opened only when it is a regular file on a disk and,
  /// (POSIX) in a sticky folder that others may write, the runner's own file
  /// under that one name (no symbolic or hard link).
  /// `created` is also true when the file was made but another process took
  /// hold of it first: the caller then removes it. Never blocks, and writes
  /// nothing to a name it does not use.
  [[nodiscard]] virtual OutputOpening OpenForWriting(const std::string& name, const File& like) = 0;
  /// Removes the name `name`; false when it cannot be removed.
  [[nodiscard]] virtual bool Remove(const std::string& name) = 0;
  /// A name part written by a program that kept names in the system's
  /// single-byte (ANSI) code page, in the form this file system takes names:
  /// UTF-8 where the system converts names, the bytes unchanged where names
  /// are plain bytes.
  [[nodiscard]] virtual std::string NameFromAnsi(std::string_view bytes) = 0;
};

/// The operating system's file services.
FileSystem& RealFileSystem();

/// True for a byte that separates folders in a path on this platform.
bool IsPathSeparator(char c);

}  // namespace platform

#endif  // VARNHOLD_PLATFORM_FILE_H_
