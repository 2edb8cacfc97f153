#include "kivo/stress/text_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "kivo/stress/text_utf8.hpp"

namespace kivo::stress {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, reporting a failed close (which may be the first sign of a lost write).
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

std::unexpected<std::string> os_failure() { return std::unexpected(os_error_message(errno)); }

}  // namespace

std::string os_error_message(int code) {
  return std::system_category().message(code) + " (os error " + std::to_string(code) + ")";
}

std::expected<std::string, std::string> read_utf8_file(const std::filesystem::path& path) {
  // Non-blocking, so that a FIFO where a file belongs cannot hang the harness.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return os_failure();
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return os_failure();
  if (S_ISDIR(info.st_mode)) return std::unexpected(os_error_message(EISDIR));
  if (!S_ISREG(info.st_mode)) return std::unexpected("not a regular file");
  std::string text;
  text.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return os_failure();
    if (count == 0) break;
    text.append(buffer, static_cast<std::size_t>(count));
  }
  if (!is_valid_utf8(text)) return std::unexpected("file is not valid UTF-8 text");
  return text;
}

std::expected<void, std::string> write_whole_file(const std::filesystem::path& path,
                                                  std::string_view text) {
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (file.get() < 0) return os_failure();
  while (!text.empty()) {
    const ssize_t count = ::write(file.get(), text.data(), text.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return os_failure();
    text.remove_prefix(static_cast<std::size_t>(count));
  }
  if (file.close() != 0) return os_failure();
  return {};
}

}  // namespace kivo::stress
