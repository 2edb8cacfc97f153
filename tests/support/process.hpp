#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/presets.hpp"
#include "support/temp_dir.hpp"

// Runs the real kivo_stress executable: with its output in files, on a pipe or on a terminal.
namespace kivo::test {

struct ProcessResult {
  int exit_status = -1;
  std::string out;
  std::string err;
};

[[noreturn]] inline void exec_program(const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(KIVO_STRESS_EXE)};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execv(KIVO_STRESS_EXE, argv.data());
  _exit(127);
}

inline int wait_status(pid_t pid) {
  int status = 0;
  if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

/// Runs the program with `args`, standard input empty, both output streams captured.
inline ProcessResult run_program(const std::vector<std::string>& args) {
  const TempDir scratch;
  const auto out_path = scratch.path() / "out", err_path = scratch.path() / "err";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out_fd = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null_fd = ::open("/dev/null", O_RDONLY);
    if (out_fd < 0 || err_fd < 0 || null_fd < 0) _exit(127);
    ::dup2(null_fd, 0);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    exec_program(args);
  }
  const int status = wait_status(pid);
  return {status, read_whole_file(out_path), read_whole_file(err_path)};
}

/// A running program whose output streams both go to `fd`.
struct Child {
  pid_t pid = -1;
  int fd = -1;
};

inline Child spawn_on_terminal(const std::vector<std::string>& args) {
  termios raw{};
  ::cfmakeraw(&raw);
  Child child;
  child.pid = ::forkpty(&child.fd, nullptr, &raw, nullptr);
  if (child.pid == 0) exec_program(args);
  return child;
}

inline Child spawn_on_pipe(const std::vector<std::string>& args) {
  int ends[2];
  if (::pipe(ends) != 0) return {};
  Child child;
  child.pid = ::fork();
  if (child.pid == 0) {
    ::dup2(ends[1], 1);
    ::dup2(ends[1], 2);
    ::close(ends[0]);
    ::close(ends[1]);
    exec_program(args);
  }
  ::close(ends[1]);
  child.fd = ends[0];
  return child;
}

/// Reads from the child until `until` appears in what was read (or, when empty, to the end).
inline void read_child(const Child& child, std::string& text, const std::string& until = "") {
  char buffer[4096];
  while (until.empty() || text.find(until) == std::string::npos) {
    pollfd ready{child.fd, POLLIN, 0};
    if (::poll(&ready, 1, 60000) <= 0) return;
    const ssize_t got = ::read(child.fd, buffer, sizeof buffer);
    if (got <= 0) return;  // a pseudo-terminal reports EIO once the child is gone
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

/// Reads the rest of the child's output and returns its exit status.
inline int finish_child(const Child& child, std::string& text) {
  read_child(child, text);
  ::close(child.fd);
  return wait_status(child.pid);
}

/// The text without the progress line's drawings and erasures.
inline std::string without_progress(const std::string& text) {
  std::string kept;
  for (std::size_t at = 0; at < text.size();) {
    const auto erase_end = text.find("\x1b[K", at);
    const auto line_start = text.find('\r', at);
    if (line_start == std::string::npos || erase_end == std::string::npos) {
      kept += text.substr(at);
      break;
    }
    kept += text.substr(at, line_start - at);
    at = erase_end + 3;
  }
  return kept;
}

}  // namespace kivo::test
