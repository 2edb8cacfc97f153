#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "kivo/stress/error.hpp"

namespace kivo::stress::artifacts {

/// The whole file as text; fails with the operating system's message, or when it is not UTF-8.
Result<std::string> read_text_file(const std::filesystem::path& path);
/// Writes `text` as the whole content of `path`, replacing any earlier file.
Result<void> write_text_file(const std::filesystem::path& path, std::string_view text);

}  // namespace kivo::stress::artifacts
