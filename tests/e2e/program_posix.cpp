// Starts the program under test on POSIX systems: fork, a clean environment,
// exec, and both output streams drained through pipes.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

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

void Drain(int out_fd, int error_fd, std::string& out, std::string& error) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {error_fd, POLLIN, 0}};
  std::string* sinks[2] = {&out, &error};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

Finished RunProgram(const std::string& folder, const Launch& launch) {
  std::vector<std::string> wrapper = WrapperWords();
  int out_pipe[2], error_pipe[2];
  if (::pipe(out_pipe) != 0 || ::pipe(error_pipe) != 0) throw std::runtime_error("pipe");
  pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out_pipe[1], STDOUT_FILENO);
    ::dup2(error_pipe[1], STDERR_FILENO);
    for (int fd : {out_pipe[0], out_pipe[1], error_pipe[0], error_pipe[1]}) ::close(fd);
    if (launch.broken_stdout) {
      int broken[2];
      if (::pipe(broken) != 0) ::_exit(126);
      ::close(broken[0]);
      ::dup2(broken[1], STDOUT_FILENO);
      ::close(broken[1]);
    }
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    ::clearenv();
    ::setenv("PATH", "/usr/bin:/bin", 1);
    for (const auto& [name, value] : launch.environment) ::setenv(name.c_str(), value.c_str(), 1);
    if (launch.in_child) launch.in_child();
    // A cross-built program runs through its emulator (qemu), which comes first.
    std::vector<char*> argv;
    for (std::string& word : wrapper) argv.push_back(word.data());
    for (const char* word : kEmulator) argv.push_back(const_cast<char*>(word));
    argv.push_back(const_cast<char*>(VARNHOLD_PROGRAM));
    for (const std::string& argument : launch.arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(error_pipe[1]);
  Finished finished;
  Drain(out_pipe[0], error_pipe[0], finished.out, finished.error);
  int status = 0;
  ::waitpid(child, &status, 0);
  finished.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return finished;
}

}  // namespace e2e
