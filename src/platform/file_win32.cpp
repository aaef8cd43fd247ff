// Win32 file services. Files are opened with share mode 0, so while a run
// holds a file no other process can open it, and a file another process holds
// cannot be opened here (a sharing violation, reported as "cannot open").
// Names arrive as UTF-8 and reach Windows through the wide API.
#include <windows.h>

#include <algorithm>
#include <new>

#include "platform/file.h"
#include "platform/wide_win32.h"

namespace platform {
namespace {

// ReadFile and WriteFile take 32-bit counts; larger requests are split.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

class Win32File final : public File {
 public:
  Win32File(HANDLE handle, FileIdentity identity, bool on_disk)
      : handle_(handle), identity_(identity), on_disk_(on_disk) {}
  ~Win32File() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }

  FileIdentity Identity() const override { return identity_; }

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

  bool ReadExact(void* data, std::size_t size) override {
    auto* at = static_cast<char*>(data);
    while (size > 0) {
      DWORD got = 0;
      DWORD wanted = static_cast<DWORD>(std::min(size, kLargestTransfer));
      if (!::ReadFile(handle_, at, wanted, &got, nullptr) || got == 0) return false;
      at += got;
      size -= got;
    }
    return true;
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
    // Devices such as NUL have no length; writing to them still means something.
    if (!on_disk_) return true;
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
  bool on_disk_;
};

std::optional<FileIdentity> IdentityOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!::GetFileInformationByHandle(handle, &information)) return std::nullopt;
  return FileIdentity{information.dwVolumeSerialNumber,
                      (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

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

// Opens `name` with share mode 0. A disk file must tell its identity, or the
// check that keeps the input from being overwritten could not be made.
// `opened` tells whether the name was reached at all, even if it is then refused;
// from then on nothing throws, so that a file just created can be removed.
std::unique_ptr<File> OpenUnshared(const std::string& name, DWORD access, DWORD disposition, bool allow_devices,
                                   bool* opened = nullptr) {
  std::optional<std::wstring> system_name = SystemName(name);
  if (!system_name) return nullptr;
  HANDLE handle = ::CreateFileW(system_name->c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened != nullptr) *opened = handle != INVALID_HANDLE_VALUE;
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  bool on_disk = ::GetFileType(handle) == FILE_TYPE_DISK;
  std::optional<FileIdentity> identity = on_disk ? IdentityOf(handle) : FileIdentity{};
  if (!identity || (!on_disk && !allow_devices)) {
    ::CloseHandle(handle);
    return nullptr;
  }
  std::unique_ptr<File> file(new (std::nothrow) Win32File(handle, *identity, on_disk));
  if (file == nullptr) ::CloseHandle(handle);
  return file;
}

class Win32FileSystem final : public FileSystem {
 public:
  NameKind KindOf(const std::string& name) override {
    std::optional<std::wstring> system_name = SystemName(name);
    if (!system_name) return NameKind::kMissing;
    DWORD attributes = ::GetFileAttributesW(system_name->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return NameKind::kMissing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return NameKind::kDirectory;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return NameKind::kOtherFile;
    return NameKind::kRegularFile;
  }

  std::unique_ptr<File> OpenForReading(const std::string& name) override {
    // Only disk files are read: a pipe or console could block or never end.
    auto file = OpenUnshared(name, GENERIC_READ, OPEN_EXISTING, /*allow_devices=*/false);
    if (file == nullptr || !file->Length()) return nullptr;
    return file;
  }

  OutputOpening OpenForWriting(const std::string& name) override {
    // CREATE_NEW tells a name this run made from one that was there, and share
    // mode 0 holds the new file from the moment it exists. OPEN_EXISTING keeps
    // an existing file's bytes until the caller has checked what it is.
    OutputOpening opening;
    opening.file =
        OpenUnshared(name, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, /*allow_devices=*/true, &opening.created);
    if (opening.created || ::GetLastError() != ERROR_FILE_EXISTS) return opening;
    opening.file = OpenUnshared(name, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, /*allow_devices=*/true);
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
