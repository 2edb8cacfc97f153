#pragma once

#include <string>
#include <vector>

namespace kivo::stress::reduce::detail {

/// Shorter stand-ins for `value`, most wanted first: small integers for a number, the empty
/// text and the first half (whole characters) for any other text.
std::vector<std::string> shorter_values(const std::string& value);

}  // namespace kivo::stress::reduce::detail
