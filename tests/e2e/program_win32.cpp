// SPDX-License-Identifier: MIT
// Starts the program under test on Windows: CreateProcessW, so that names
// outside every code page reach it intact, with a clean environment block,
// pipes for both output streams, and no console window unless the launch asks
// for one. Test texts are UTF-8.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>

#include "program.h"

namespace e2e {
namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (length <= 0) throw std::invalid_argument("not UTF-8: " + utf8);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), length);
  return wide;
}

// Quotes one argument so that the C runtime's command-line splitting gives it
// back unchanged (backslashes are literal except before a quote).
std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    while (i < argument.size() && argument[i] == '\\') {
      ++backslashes;
      ++i;
    }
    if (i == argument.size()) {
      quoted.append(backslashes * 2, '\\');
      break;
    }
    if (argument[i] == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    quoted.push_back(argument[i]);
  }
  quoted.push_back('"');
  return quoted;
}

std::string WithBackslashes(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

// The program sits at VARNHOLD_PROGRAM relative to this test program's folder,
// which keeps the path valid however the build tree is mapped to drives.
std::wstring ProgramPath() {
  wchar_t own[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, own, MAX_PATH);
  if (length == 0 || length == MAX_PATH) throw std::runtime_error("GetModuleFileNameW");
  std::wstring folder(own, length);
  folder.resize(folder.find_last_of(L"\\/") + 1);
  return Wide(WithBackslashes(VARNHOLD_PROGRAM)).insert(0, folder);
}

// "NAME=value\0" entries sorted by name, then one more "\0". SystemRoot and
// PATH come from this process: Windows programs may fail to start without them.
std::wstring EnvironmentBlock(const std::map<std::string, std::string>& extra) {
  std::map<std::wstring, std::wstring> variables;
  for (const wchar_t* inherited : {L"SystemRoot", L"PATH"}) {
    wchar_t value[32768];
    DWORD length = ::GetEnvironmentVariableW(inherited, value, 32768);
    if (length > 0 && length < 32768) variables[inherited] = std::wstring(value, length);
  }
  for (const auto& [name, value] : extra) variables[Wide(name)] = Wide(value);
  std::wstring block;
  for (const auto& [name, value] : variables) {
    block += name + L"=" + value;
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

struct Pipe {
  HANDLE read = nullptr, write = nullptr;
  Pipe() {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!::CreatePipe(&read, &write, &inheritable, 0)) throw std::runtime_error("CreatePipe");
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);  // only the child's end is inherited
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  void CloseRead() {
    if (read != nullptr) ::CloseHandle(read);
    read = nullptr;
  }
  void CloseWrite() {
    if (write != nullptr) ::CloseHandle(write);
    write = nullptr;
  }
};

// Moves what `pipe` holds into `sink` without waiting; false once every
// writer has closed it and nothing is left.
bool Take(HANDLE pipe, std::string& sink) {
  DWORD available = 0;
  if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
  while (available > 0) {
    char buffer[4096];
    DWORD got = 0;
    if (!::ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &got, nullptr) || got == 0) return false;
    sink.append(buffer, got);
    available -= got;
  }
  return true;
}

// A console window made for one run. This process leaves it before the
// program starts, so that the program is alone there, as after a drop, and
// keeps handles to read the window and its input. A key waits in the input
// from the start: a program that waits for a key takes it at once.
class RunConsole {
 public:
  RunConsole() {
    ::FreeConsole();
    if (!::AllocConsole()) throw std::runtime_error("AllocConsole");
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    output_ = Open(L"CONOUT$", nullptr);
    input_ = Open(L"CONIN$", nullptr);
    inheritable_input_ = Open(L"CONIN$", &inheritable);
    INPUT_RECORD key{};
    key.EventType = KEY_EVENT;
    key.Event.KeyEvent.bKeyDown = TRUE;
    key.Event.KeyEvent.wRepeatCount = 1;
    key.Event.KeyEvent.wVirtualKeyCode = VK_SPACE;
    key.Event.KeyEvent.uChar.UnicodeChar = L' ';
    DWORD written = 0;
    if (!::WriteConsoleInputW(input_, &key, 1, &written)) throw std::runtime_error("WriteConsoleInputW");
  }
  RunConsole(const RunConsole&) = delete;
  RunConsole& operator=(const RunConsole&) = delete;
  ~RunConsole() {
    for (HANDLE handle : {output_, input_, inheritable_input_}) ::CloseHandle(handle);
    ::FreeConsole();
  }

  HANDLE inheritable_input() const { return inheritable_input_; }
  void Leave() const { ::FreeConsole(); }
  bool KeyTaken() const {
    DWORD events = 0;
    return ::GetNumberOfConsoleInputEvents(input_, &events) && events == 0;
  }
  // The rows down to the cursor, each without its trailing blanks and ended
  // by "\n".
  std::string Screen() const {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(output_, &info)) throw std::runtime_error("GetConsoleScreenBufferInfo");
    std::wstring text;
    for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
      std::wstring line(static_cast<std::size_t>(info.dwSize.X), L' ');
      DWORD got = 0;
      ::ReadConsoleOutputCharacterW(output_, line.data(), static_cast<DWORD>(line.size()), COORD{0, row}, &got);
      line.resize(std::min<std::size_t>(got, line.find_last_not_of(L' ') + 1));
      text += line + L"\n";
    }
    const std::u8string utf8 = std::filesystem::path(text).u8string();
    return std::string(utf8.begin(), utf8.end());
  }

 private:
  static HANDLE Open(const wchar_t* name, SECURITY_ATTRIBUTES* security) {
    HANDLE handle = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, security,
                                  OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open the console");
    return handle;
  }
  HANDLE output_, input_, inheritable_input_;
};

}  // namespace

Finished RunProgram(const std::string& folder, const Launch& launch) {
  if (launch.in_child || launch.terminal_stdout) {
    throw std::logic_error("Launch::in_child and Launch::terminal_stdout need a POSIX system");
  }
  // Before any inheritable handle exists: the console's host process would
  // inherit it, and a pipe would then never end.
  std::optional<RunConsole> console;
  if (launch.window != Window::kNone) console.emplace();
  Pipe out, error;
  if (launch.broken_stdout) out.CloseRead();  // nobody will ever read it

  const bool piped = launch.window == Window::kNone || launch.window == Window::kOwnOutputPiped;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE nothing_in =
      ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (piped) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = console ? console->inheritable_input() : nothing_in;
    startup.hStdOutput = out.write;
    startup.hStdError = error.write;
  }

  const std::wstring program = ProgramPath();
  std::wstring command_line = L"\"" + program + L"\"";
  for (const std::string& argument : launch.arguments) command_line += L" " + Wide(QuoteArgument(argument));
  const wchar_t* application = program.c_str();
  if (launch.window == Window::kSharedWithCmd) {
    command_line = L"cmd.exe /d /c \"" + command_line + L"\"";  // cmd drops the outer quotes
    application = nullptr;
  }
  std::wstring environment = EnvironmentBlock(launch.environment);
  const std::wstring directory = Wide(WithBackslashes(folder));

  PROCESS_INFORMATION process{};
  // The program starts once it is in its job (whatever it starts joins it:
  // a run that outlasts its limit is ended whole) and, in a window, once this
  // process has left that window.
  const DWORD window = console ? 0 : CREATE_NO_WINDOW;
  BOOL started = ::CreateProcessW(application, command_line.data(), nullptr, nullptr, piped,
                                  window | CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                                  directory.c_str(), &startup, &process);
  const DWORD create_error = ::GetLastError();
  if (nothing_in != INVALID_HANDLE_VALUE) ::CloseHandle(nothing_in);
  out.CloseWrite();  // the pipes end when the child's copies close
  error.CloseWrite();
  if (!started) {
    throw std::runtime_error("CreateProcessW failed for " + std::string(VARNHOLD_PROGRAM) + " with error " +
                             std::to_string(create_error));
  }
  HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  if (job != nullptr) ::AssignProcessToJobObject(job, process.hProcess);
  if (console) console->Leave();
  ::ResumeThread(process.hThread);
  if (!piped) {
    out.CloseRead();
    error.CloseRead();
  }

  // Both pipes are read as they fill, without a thread: under an emulator
  // every thread is a risk of its own.
  Finished finished;
  bool out_open = out.read != nullptr;
  bool error_open = error.read != nullptr;
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(launch.limit_seconds) * 1000;
  bool ended = false;
  for (DWORD pause = 1; !ended && ::GetTickCount64() < deadline; pause = std::min<DWORD>(pause * 2, 20)) {
    if (out_open) out_open = Take(out.read, finished.out);
    if (error_open) error_open = Take(error.read, finished.error);
    ended = ::WaitForSingleObject(process.hProcess, pause) == WAIT_OBJECT_0 && !out_open && !error_open;
  }
  if (!ended) {
    if (job != nullptr) ::TerminateJobObject(job, 1);
    ::TerminateProcess(process.hProcess, 1);
  }
  if (job != nullptr) ::CloseHandle(job);
  if (!ended) {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    throw std::runtime_error(DidNotEnd(launch));
  }
  DWORD code = 0;
  finished.exit_code = ::GetExitCodeProcess(process.hProcess, &code) ? static_cast<int>(code) : -1;
  if (console) {
    finished.waited_for_key = console->KeyTaken();
    if (!piped) finished.out = console->Screen();
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return finished;
}

}  // namespace e2e
