#include "kivo/stress/artifacts/file_io.hpp"

#include "kivo/stress/text_file.hpp"

namespace kivo::stress::artifacts {

Result<std::string> read_text_file(const std::filesystem::path& path) {
  auto text = read_utf8_file(path);
  if (!text) return std::unexpected(Error(std::move(text.error())));
  return std::move(*text);
}

Result<void> write_text_file(const std::filesystem::path& path, std::string_view text) {
  auto written = write_whole_file(path, text);
  if (!written) return std::unexpected(Error(std::move(written.error())));
  return {};
}

}  // namespace kivo::stress::artifacts
