#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kivo/stress/campaign/results.hpp"

namespace kivo::stress::campaign {
namespace {

Error file_error(const std::filesystem::path& path, int error_number) {
  return Error("Unable to write results file '" + path.string() +
               "': " + std::strerror(error_number));
}

}  // namespace

Result<ResultsFile> ResultsFile::create(const std::filesystem::path& path) {
  // Append mode: each line goes out in one write at the end, whatever else writes the file.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return std::unexpected(file_error(path, errno));
  return ResultsFile(fd, path);
}

ResultsFile::ResultsFile(ResultsFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      error_(std::move(other.error_)) {}

ResultsFile::~ResultsFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ResultsFile::write(const ResultsRecord& record) {
  if (error_) return;
  const std::string line = to_json_line(record);
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t written = ::write(fd_, line.data() + done, line.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error_ = file_error(path_, written < 0 ? errno : ENOSPC);
      return;
    }
    done += static_cast<std::size_t>(written);
  }
}

Result<void> ResultsFile::status() const {
  if (error_) return std::unexpected(*error_);
  return {};
}

}  // namespace kivo::stress::campaign
