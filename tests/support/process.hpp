#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include "support/presets.hpp"
#include "support/temp_dir.hpp"

// Runs the real kivo_stress executable: with its output in files, on a pipe or on a terminal.
// Every wait has a deadline, and every process a test starts dies with the test.
namespace kivo::test {

struct ProcessResult {
  int exit_status = -1;
  std::string out;
  std::string err;
};

// No wait on a child may outlast this; a child still running then is killed.
inline constexpr std::chrono::seconds kChildDeadline{120};

// In the child: its own process group (so that it and anything it starts can be killed at once),
// and death with the test process, which may be killed before it can clean up.
inline void detach_as_group() {
  ::setpgid(0, 0);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

[[noreturn]] inline void exec_program(const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(KIVO_STRESS_EXE)};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execv(KIVO_STRESS_EXE, argv.data());
  _exit(127);
}

/// The exit status of `pid`, waiting until `deadline`; past it the child's group is killed and
/// -1 returned. A child killed by a signal gives -1 too.
inline int wait_status(pid_t pid, std::chrono::steady_clock::time_point deadline =
                                      std::chrono::steady_clock::now() + kChildDeadline) {
  if (pid <= 0) return -1;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      ADD_FAILURE() << "a child process outlived its deadline and was killed";
      return -1;
    }
    ::usleep(2000);
  }
}

/// Runs the program with `args`, standard input empty, both output streams captured.
inline ProcessResult run_program(const std::vector<std::string>& args) {
  const TempDir scratch;
  const auto out_path = scratch.path() / "out", err_path = scratch.path() / "err";
  const pid_t pid = ::fork();
  if (pid == 0) {
    detach_as_group();
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

/// A running program whose output streams both go to `fd`; killed, with anything it started,
/// when it goes out of scope still running (a failing test leaves no process behind).
struct Child {
  pid_t pid = -1;
  int fd = -1;
  std::chrono::steady_clock::time_point deadline =
      std::chrono::steady_clock::now() + kChildDeadline;

  Child() = default;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  Child(Child&& other) noexcept
      : pid(std::exchange(other.pid, -1)), fd(std::exchange(other.fd, -1)) {}
  ~Child() {
    if (fd >= 0) ::close(fd);
    if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
};

inline Child spawn_on_terminal(const std::vector<std::string>& args) {
  termios raw{};
  ::cfmakeraw(&raw);
  Child child;
  child.pid = ::forkpty(&child.fd, nullptr, &raw, nullptr);
  if (child.pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // forkpty made it a session (and group) leader already
    exec_program(args);
  }
  return child;
}

inline Child spawn_on_pipe(const std::vector<std::string>& args) {
  int ends[2];
  if (::pipe(ends) != 0) return {};
  Child child;
  child.pid = ::fork();
  if (child.pid == 0) {
    detach_as_group();
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

/// Reads from the child until `done` holds for what was read, the child closes its output, or
/// its deadline passes; true when `done` held.
template <class Done>
bool read_child_until(const Child& child, std::string& text, Done done) {
  char buffer[4096];
  while (!done(text)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        child.deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{child.fd, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
    const ssize_t got = ::read(child.fd, buffer, sizeof buffer);
    if (got <= 0) return false;  // a pseudo-terminal reports EIO once the child is gone
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

/// Reads from the child until `until` appears in what was read; true when it did.
inline bool read_child(const Child& child, std::string& text, const std::string& until) {
  return read_child_until(child, text,
                          [&](const std::string& t) { return t.find(until) != std::string::npos; });
}

/// Reads the rest of the child's output and returns its exit status.
inline int finish_child(Child& child, std::string& text) {
  read_child_until(child, text, [](const std::string&) { return false; });
  ::close(std::exchange(child.fd, -1));
  return wait_status(std::exchange(child.pid, -1), child.deadline);
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
