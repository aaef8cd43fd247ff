// SPDX-License-Identifier: MIT
// Win32 file services. Files are opened with share mode 0, so while a run
// holds a file no other process can open it, and a file another process holds
// cannot be opened here (a sharing violation, reported as "cannot open").
// Names arrive as UTF-8 and reach Windows through the wide API.
#include <windows.h>

#include <algorithm>
#include <new>
#include <utility>

#include "platform/file.h"
#include "platform/wide_win32.h"

namespace platform {
namespace {

// ReadFile and WriteFile take 32-bit counts; larger requests are split.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

// What tells one version of a file from another: its length and the time it
// was last written.
struct Version {
  std::uint64_t length = 0;
  std::uint64_t written = 0;
  friend bool operator==(const Version&, const Version&) = default;
};

// The file's identity and version; nothing when they cannot be read.
std::optional<std::pair<FileIdentity, Version>> Describe(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!::GetFileInformationByHandle(handle, &information)) return std::nullopt;
  return std::pair{FileIdentity{information.dwVolumeSerialNumber,
                                (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow},
                   Version{(std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow,
                           (std::uint64_t{information.ftLastWriteTime.dwHighDateTime} << 32) |
                               information.ftLastWriteTime.dwLowDateTime}};
}

class Win32File final : public File {
 public:
  Win32File(HANDLE handle, FileIdentity identity, Version version)
      : handle_(handle), identity_(identity), version_(version) {}
  ~Win32File() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }

  FileIdentity Identity() const override { return identity_; }
  std::uint32_t PermissionBits() const override { return 0; }

  bool Unchanged() override {
    std::optional<std::pair<FileIdentity, Version>> now = Describe(handle_);
    return now && now->second == version_;
  }

  // False for a file that reports 0 bytes yet yields some: there is no
  // telling how many bytes it holds.
  bool LengthIsKnown() {
    std::optional<std::uint64_t> length = Length();
    if (!length || *length > 0) return length.has_value();
    char byte;
    DWORD got = 0;
    return ::ReadFile(handle_, &byte, 1, &got, nullptr) && got == 0;
  }

  std::optional<std::uint64_t> Length() override {
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle_, &size) || size.QuadPart < 0) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  std::optional<std::uint64_t> Position() override {
    LARGE_INTEGER zero{}, at;
    if (!::SetFilePointerEx(handle_, zero, &at, FILE_CURRENT) || at.QuadPart < 0) return std::nullopt;
    return static_cast<std::uint64_t>(at.QuadPart);
  }

  std::size_t ReadSome(void* data, std::size_t size) override {
    DWORD got = 0;
    const auto wanted = static_cast<DWORD>(std::min(size, kLargestTransfer));
    return ::ReadFile(handle_, data, wanted, &got, nullptr) ? got : 0;
  }

  bool WriteAll(const void* data, std::size_t size) override {
    const auto* at = static_cast<const char*>(data);
    while (size > 0) {
      DWORD put = 0;
      DWORD offered = static_cast<DWORD>(std::min(size, kLargestTransfer));
      if (!::WriteFile(handle_, at, offered, &put, nullptr) || put == 0) return false;
      at += put;
      size -= put;
    }
    return true;
  }

  bool Seek(std::uint64_t position) override {
    LARGE_INTEGER target;
    target.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(handle_, target, nullptr, FILE_BEGIN) != 0;
  }

  bool Resize(std::uint64_t length) override {
    LARGE_INTEGER target;
    target.QuadPart = static_cast<LONGLONG>(length);
    return ::SetFilePointerEx(handle_, target, nullptr, FILE_BEGIN) && ::SetEndOfFile(handle_);
  }

  bool Close() override {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return ::CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
  FileIdentity identity_;
  Version version_;
};

// The name handed to the wide API. A full name that reaches MAX_PATH only
// opens through its "\\?\" form, which Windows takes literally; it is built
// from GetFullPathNameW, which folds trailing dots and spaces and resolves
// "." and ".." as Windows does for every ordinary name, so a long name means
// what the same name would mean if it were short. Short names stay as given:
// their meaning, devices such as NUL included, is the system's own.
std::optional<std::wstring> SystemName(const std::string& name) {
  std::optional<std::wstring> wide = WideFromUtf8(name);
  if (!wide || wide->empty() || wide->find(L'\0') != std::wstring::npos) return std::nullopt;
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = ::GetFullPathNameW(wide->c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.assign(length, L'\0');
    length = ::GetFullPathNameW(wide->c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) return wide;  // left for the system to refuse
  full.resize(length);
  if (full.size() < MAX_PATH) return wide;
  if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// Looks at `name` through a handle that may read attributes and nothing else,
// shared with every other: the identity of the disk file it names; nothing
// when it names none (`error` then says why) or anything but a disk file. A
// device sees such a handle made, but no byte moves to or from it.
std::optional<FileIdentity> LookAt(const std::wstring& name, DWORD& error) {
  HANDLE handle =
      ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
  error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::pair<FileIdentity, Version>> description;
  if (::GetFileType(handle) == FILE_TYPE_DISK) description = Describe(handle);
  ::CloseHandle(handle);
  if (!description) return std::nullopt;
  return description->first;
}

// Opens `name` with share mode 0, as a disk file only: a console, printer,
// serial port, NUL or pipe could block, never end, or take the bytes away.
// A disk file must tell its identity, or the check that keeps the input from
// being overwritten could not be made. `made` tells whether a file was
// reached on disk at all, even if it is then refused; from then on nothing
// throws, so that a file just created can be removed.
std::unique_ptr<Win32File> OpenUnshared(const std::wstring& name, DWORD access, DWORD disposition,
                                        bool* made = nullptr) {
  HANDLE handle = ::CreateFileW(name.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const bool on_disk = ::GetFileType(handle) == FILE_TYPE_DISK;
  if (made != nullptr) *made = on_disk;
  std::optional<std::pair<FileIdentity, Version>> description;
  if (on_disk) description = Describe(handle);
  if (!description) {
    ::CloseHandle(handle);
    return nullptr;
  }
  std::unique_ptr<Win32File> file(new (std::nothrow) Win32File(handle, description->first, description->second));
  if (file == nullptr) ::CloseHandle(handle);
  return file;
}

// Opens the existing file `name` for `access` only once a look has seen a
// disk file there, and only when the file opened is the one looked at.
std::unique_ptr<Win32File> OpenAsLooked(const std::wstring& name, DWORD access, DWORD& error) {
  const std::optional<FileIdentity> seen = LookAt(name, error);
  if (!seen) return nullptr;
  std::unique_ptr<Win32File> file = OpenUnshared(name, access, OPEN_EXISTING);
  if (file != nullptr && file->Identity() != *seen) file.reset();
  return file;
}

class Win32FileSystem final : public FileSystem {
 public:
  NameKind KindOf(const std::string& name) override {
    std::optional<std::wstring> system_name = SystemName(name);
    if (!system_name) return NameKind::kMissing;
    DWORD attributes = ::GetFileAttributesW(system_name->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      // Only a name that leads to no file is missing; one that cannot be
      // looked at (no rights, an I/O error) fails when opened.
      const DWORD error = ::GetLastError();
      const bool no_file = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                           error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME || error == ERROR_INVALID_DRIVE ||
                           error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME || error == ERROR_NOT_READY;
      return no_file ? NameKind::kMissing : NameKind::kOtherFile;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NameKind::kDirectory;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return NameKind::kOtherFile;
    return NameKind::kRegularFile;
  }

  std::unique_ptr<File> OpenForReading(const std::string& name) override {
    std::optional<std::wstring> system_name = SystemName(name);
    DWORD error = ERROR_SUCCESS;
    auto file = system_name ? OpenAsLooked(*system_name, GENERIC_READ, error) : nullptr;
    if (file == nullptr || !file->LengthIsKnown()) return nullptr;
    return file;
  }

  // A new file takes its permissions from the folder, as every new file
  // there does; `like` has nothing to add.
  OutputOpening OpenForWriting(const std::string& name, const File&) override {
    // OPEN_EXISTING keeps an existing file's bytes until the caller has
    // checked what it is. CREATE_NEW, only for a name the look found free,
    // tells a name this run made from one that appeared meanwhile, and share
    // mode 0 holds the new file from the moment it exists.
    OutputOpening opening;
    std::optional<std::wstring> system_name = SystemName(name);
    if (!system_name) return opening;
    DWORD error = ERROR_SUCCESS;
    opening.file = OpenAsLooked(*system_name, GENERIC_READ | GENERIC_WRITE, error);
    if (error == ERROR_FILE_NOT_FOUND) {
      opening.file = OpenUnshared(*system_name, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, &opening.created);
    }
    return opening;
  }

  std::string NameFromAnsi(std::string_view bytes) override {
    return Utf8FromCodePage(bytes, CP_ACP).value_or(std::string(bytes));
  }

  bool Remove(const std::string& name) override {
    std::optional<std::wstring> system_name = SystemName(name);
    return system_name && ::DeleteFileW(system_name->c_str()) != 0;
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static Win32FileSystem file_system;
  return file_system;
}

bool IsPathSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

}  // namespace platform
