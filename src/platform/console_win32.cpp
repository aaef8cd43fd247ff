// Win32 standard streams: bytes go out through WriteFile unchanged; only a
// text for a person on a real console goes through the wide console API.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <algorithm>
#include <string>

#include "platform/console.h"

namespace platform {
namespace {

void WriteToHandle(DWORD which, std::string_view bytes) {
  HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  while (!bytes.empty()) {
    DWORD put = 0;
    DWORD offered = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    // A closed pipe fails the write; the text is lost and the exit code still tells.
    if (!::WriteFile(handle, bytes.data(), offered, &put, nullptr) || put == 0) return;
    bytes.remove_prefix(put);
  }
}

// True and the text written when standard output is a console window, which
// shows UTF-16 whatever the console's code page.
bool WriteToConsoleWindow(std::string_view utf8) {
  HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) return false;
  int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (length <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  const wchar_t* at = wide.data();
  DWORD left = static_cast<DWORD>(wide.size());
  while (left > 0) {
    DWORD put = 0;
    if (!::WriteConsoleW(handle, at, left, &put, nullptr) || put == 0) return true;
    at += put;
    left -= put;
  }
  return true;
}

class Win32Console final : public Console {
 public:
  void WriteOut(std::string_view bytes) override { WriteToHandle(STD_OUTPUT_HANDLE, bytes); }
  void WriteError(std::string_view bytes) override { WriteToHandle(STD_ERROR_HANDLE, bytes); }
  void WriteText(std::string_view cp866, std::string_view utf8) override {
    if (!WriteToConsoleWindow(utf8)) WriteOut(cp866);
  }
};

}  // namespace

Console& RealConsole() {
  static Win32Console console;
  return console;
}

void PrepareProcess() {
  // No "cannot read drive" or crash dialog may wait for a click: a script
  // calling the program needs its exit code.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace platform
