#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kivo::test {

struct ProcessResult {
  int exit_status = -1;
  std::string out;
  std::string err;
};

inline std::string read_whole_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs `program` with `args` in `working_dir`, capturing both output streams through files.
inline ProcessResult run_process(const std::string& program, const std::vector<std::string>& args,
                                 const std::filesystem::path& working_dir = ".") {
  const auto scratch = std::filesystem::temp_directory_path() /
                       ("kivo_proc_" + std::to_string(::getpid()) + "_" +
                        std::to_string(reinterpret_cast<std::uintptr_t>(&args)));
  std::filesystem::create_directories(scratch);
  const auto out_path = scratch / "out";
  const auto err_path = scratch / "err";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out_fd = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null_fd = ::open("/dev/null", O_RDONLY);
    if (out_fd < 0 || err_fd < 0 || null_fd < 0 || ::chdir(working_dir.c_str()) != 0) _exit(127);
    ::dup2(null_fd, 0);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    _exit(127);
  }
  ProcessResult result;
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    result.exit_status = WEXITSTATUS(status);
  }
  result.out = read_whole_file(out_path);
  result.err = read_whole_file(err_path);
  std::filesystem::remove_all(scratch);
  return result;
}

}  // namespace kivo::test
