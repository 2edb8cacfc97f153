#pragma once

#include <optional>
#include <string_view>

#include "kivo/stress/config.hpp"

namespace kivo::stress::artifacts {

/// The profile whose name is exactly `text` (a case file spells it as written, in lower case).
std::optional<StressProfile> profile_from_text(std::string_view text);

}  // namespace kivo::stress::artifacts
