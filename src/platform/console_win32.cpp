// SPDX-License-Identifier: MIT
// Win32 standard streams: bytes go out through WriteFile unchanged; only a
// text for a person on a real console goes through the wide console API.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <algorithm>
#include <string>

#include "platform/console.h"
#include "platform/wide_win32.h"

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
  std::optional<std::wstring> text = WideFromUtf8(utf8);
  if (!text || text->empty()) return false;
  const std::wstring& wide = *text;
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

// True when the console has a window a person can see. IsWindowVisible lives
// in user32, which is loaded only here: every other run, and every run from
// a script, starts without the windowing library.
bool ConsoleWindowVisible() {
  HWND window = ::GetConsoleWindow();
  if (window == nullptr) return false;
  HMODULE user32 = ::LoadLibraryW(L"user32.dll");
  if (user32 == nullptr) return false;
  using IsWindowVisibleFunction = BOOL(WINAPI*)(HWND);
  auto is_visible =
      reinterpret_cast<IsWindowVisibleFunction>(reinterpret_cast<void*>(::GetProcAddress(user32, "IsWindowVisible")));
  return is_visible != nullptr && is_visible(window);
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

class Win32Console final : public Console {
 public:
  void WriteOut(std::string_view bytes) override { WriteToHandle(STD_OUTPUT_HANDLE, bytes); }
  void WriteError(std::string_view bytes) override { WriteToHandle(STD_ERROR_HANDLE, bytes); }
  void WriteText(std::string_view cp866, std::string_view utf8) override {
    if (!WriteToConsoleWindow(utf8)) WriteOut(cp866);
  }

  // `for /F` reads what it captures in the console's output code page; a
  // process without a console (and a console set to 65001) takes UTF-8.
  void WriteName(std::string_view utf8) override {
    const UINT code_page = IsAscii(utf8) ? 0 : ::GetConsoleOutputCP();
    if (code_page == 0 || code_page == CP_UTF8) {
      WriteOut(utf8);
    } else {
      WriteOut(CodePageFromUtf8(utf8, code_page));
    }
  }

  // A console that serves this process alone was made for it, so its window
  // closes as the run ends. A redirected stream, a hidden window (a launcher
  // that hides it would wait for ever) or another process on the console
  // (cmd, a script) means someone else reads the text.
  void HoldWindowOpen(std::string_view prompt) override {
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0, processes[2];
    if (!::GetConsoleMode(input, &mode) || !::GetConsoleMode(output, &mode)) return;
    if (::GetConsoleProcessList(processes, 2) != 1 || !ConsoleWindowVisible()) return;
    if (!WriteToConsoleWindow(prompt)) return;
    INPUT_RECORD record;
    DWORD got = 0;
    while (::ReadConsoleInputW(input, &record, 1, &got) && got == 1) {
      if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
    }
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
