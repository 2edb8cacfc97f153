#pragma once

#include <string>
#include <string_view>

namespace kivo::stress {

/// `bytes` with every invalid UTF-8 sequence replaced by U+FFFD.
std::string utf8_lossy(std::string_view bytes);
/// True when `bytes` is well-formed UTF-8.
bool is_valid_utf8(std::string_view bytes);

}  // namespace kivo::stress
