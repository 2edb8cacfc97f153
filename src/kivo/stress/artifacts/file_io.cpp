#include "kivo/stress/artifacts/file_io.hpp"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace kivo::stress::artifacts {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

Error os_error() { return Error(std::error_code(errno, std::system_category()).message()); }

/// Length of the UTF-8 sequence led by `lead`, 0 when it cannot lead one.
int sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

/// Whether the continuation byte at `position` of a sequence led by `lead` is allowed
/// (refuses overlong forms, surrogates and values above U+10FFFF).
bool valid_continuation(unsigned char lead, unsigned char byte, int position) {
  if ((byte & 0xC0) != 0x80) return false;
  if (position != 1) return true;
  if (lead == 0xE0) return byte >= 0xA0;
  if (lead == 0xED) return byte <= 0x9F;
  if (lead == 0xF0) return byte >= 0x90;
  if (lead == 0xF4) return byte <= 0x8F;
  return true;
}

}  // namespace

bool is_utf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = sequence_length(lead);
    if (length == 0 || i + length > text.size()) return false;
    for (int k = 1; k < length; ++k) {
      if (!valid_continuation(lead, static_cast<unsigned char>(text[i + k]), k)) return false;
    }
    i += length;
  }
  return true;
}

Result<std::string> read_text_file(const std::filesystem::path& path) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::unexpected(os_error());
  std::string text;
  char buffer[1 << 16];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, count);
  if (std::ferror(file.get())) return std::unexpected(os_error());
  if (!is_utf8(text)) return std::unexpected(Error("file is not valid UTF-8 text"));
  return text;
}

Result<void> write_text_file(const std::filesystem::path& path, std::string_view text) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) return std::unexpected(os_error());
  if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) {
    return std::unexpected(os_error());
  }
  if (std::fclose(file.release()) != 0) return std::unexpected(os_error());
  return {};
}

}  // namespace kivo::stress::artifacts
