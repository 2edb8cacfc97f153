#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace kivo::stress {

/// The operating system's message for `code`, e.g. "No such file or directory (os error 2)".
std::string os_error_message(int code);
/// The whole regular file at `path` as UTF-8 text, or why it cannot be had.
std::expected<std::string, std::string> read_utf8_file(const std::filesystem::path& path);
/// Replaces the file at `path` with `text`, or says why it cannot.
std::expected<void, std::string> write_whole_file(const std::filesystem::path& path,
                                                  std::string_view text);

}  // namespace kivo::stress
