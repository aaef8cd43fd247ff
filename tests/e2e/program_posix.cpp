// SPDX-License-Identifier: MIT
// Starts the program under test on POSIX systems: fork, a clean environment,
// exec, and both output streams drained through pipes.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <initializer_list>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "program.h"

namespace e2e {
namespace {

#ifdef VARNHOLD_EMULATOR
constexpr const char* kEmulator[] = {VARNHOLD_EMULATOR};
#else
constexpr std::initializer_list<const char*> kEmulator = {};
#endif

// Words put before the program (and its emulator), taken from the variable
// VARNHOLD_E2E_WRAPPER and split at spaces, so that a test stage can run every
// program under a checker such as valgrind. The first word is an absolute path.
std::vector<std::string> WrapperWords() {
  const char* wrapper = std::getenv("VARNHOLD_E2E_WRAPPER");
  std::istringstream in(wrapper != nullptr ? wrapper : "");
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Reads both streams until the error stream closes, which happens when the
// child exits, or until `deadline`: false then. A terminal never signals its
// end while this process holds its other side open, so whatever it still
// holds is read once more at the end.
bool Drain(int out_fd, int error_fd, std::string& out, std::string& error,
           std::chrono::steady_clock::time_point deadline) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {error_fd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &error};
  while (fds[1].fd >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      for (const pollfd& open : fds) {
        if (open.fd >= 0) ::close(open.fd);
      }
      return false;
    }
    if (::poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
      }
    }
  }
  if (fds[0].fd >= 0) {
    // The terminal hands bytes over a little later than a pipe: wait until it
    // has been quiet for a moment.
    char buffer[4096];
    ssize_t got = 0;
    while (::poll(fds, 1, 200) > 0 && (got = ::read(fds[0].fd, buffer, sizeof buffer)) > 0) {
      out.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0].fd);
  }
  return true;
}

// A terminal in raw mode, so the bytes arrive as the program wrote them.
struct Terminal {
  int main_side = -1;
  int program_side = -1;
};

Terminal OpenTerminal() {
  Terminal terminal;
  terminal.main_side = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (terminal.main_side < 0 || ::grantpt(terminal.main_side) != 0 || ::unlockpt(terminal.main_side) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  terminal.program_side = ::open(::ptsname(terminal.main_side), O_RDWR | O_NOCTTY);
  termios mode;
  if (terminal.program_side < 0 || ::tcgetattr(terminal.program_side, &mode) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  ::cfmakeraw(&mode);
  ::tcsetattr(terminal.program_side, TCSANOW, &mode);
  return terminal;
}

}  // namespace

Finished RunProgram(const std::string& folder, const Launch& launch) {
  if (launch.window != Window::kNone) throw std::logic_error("Launch::window needs Windows");
  std::vector<std::string> wrapper = WrapperWords();
  int out_pipe[2], error_pipe[2];
  if (::pipe(out_pipe) != 0 || ::pipe(error_pipe) != 0) throw std::runtime_error("pipe");
  Terminal terminal;
  if (launch.terminal_stdout) terminal = OpenTerminal();
  pid_t child = ::fork();
  if (child == 0) {
    ::dup2(launch.terminal_stdout ? terminal.program_side : out_pipe[1], STDOUT_FILENO);
    ::dup2(error_pipe[1], STDERR_FILENO);
    for (int fd : {out_pipe[0], out_pipe[1], error_pipe[0], error_pipe[1], terminal.main_side, terminal.program_side}) {
      if (fd >= 0) ::close(fd);
    }
    if (launch.broken_stdout) {
      int broken[2];
      if (::pipe(broken) != 0) ::_exit(126);
      ::close(broken[0]);
      ::dup2(broken[1], STDOUT_FILENO);
      ::close(broken[1]);
    }
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    // The program is started through a descriptor opened while the child
    // still has the test's rights: a run as another user then needs no right
    // to the build folder (a clone under /root, say). It stays open across
    // exec, for a checker or an emulator that opens the program itself, on a
    // number far from those the program's own files take.
    const int opened = ::open(VARNHOLD_PROGRAM, O_RDONLY);
    const int program = opened < 0 ? -1 : ::fcntl(opened, F_DUPFD, 100);
    if (program < 0) ::_exit(126);
    ::close(opened);
    std::string program_path = "/proc/self/fd/" + std::to_string(program);
    ::clearenv();
    ::setenv("PATH", "/usr/bin:/bin", 1);
    for (const auto& [name, value] : launch.environment) ::setenv(name.c_str(), value.c_str(), 1);
    if (launch.in_child) launch.in_child();
    // A checker such as valgrind is killed by SIGXFSZ itself, whatever the
    // program it runs does with the signal; the runs without a checker test
    // the program's own disposition.
    if (!wrapper.empty()) ::signal(SIGXFSZ, SIG_IGN);
    // A cross-built program runs through its emulator (qemu), which comes first.
    std::vector<char*> argv;
    for (std::string& word : wrapper) argv.push_back(word.data());
    for (const char* word : kEmulator) argv.push_back(const_cast<char*>(word));
    argv.push_back(program_path.data());
    for (const std::string& argument : launch.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(error_pipe[1]);
  if (launch.terminal_stdout) ::close(out_pipe[0]);
  Finished finished;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(launch.limit_seconds);
  bool ended = Drain(launch.terminal_stdout ? terminal.main_side : out_pipe[0], error_pipe[0], finished.out,
                     finished.error, deadline);
  if (terminal.program_side >= 0) ::close(terminal.program_side);
  int status = 0;
  while (ended && ::waitpid(child, &status, WNOHANG) == 0) {
    ended = std::chrono::steady_clock::now() < deadline;
    ::usleep(1000);
  }
  if (!ended) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    throw std::runtime_error(DidNotEnd(launch));
  }
  finished.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return finished;
}

}  // namespace e2e
