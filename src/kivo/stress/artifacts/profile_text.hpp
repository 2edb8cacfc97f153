#pragma once

#include <optional>
#include <string_view>

#include "kivo/stress/config.hpp"

namespace kivo::stress::artifacts {

/// "fast", "balanced" or "deep", as the case file spells a profile.
std::string_view profile_text(StressProfile profile);
/// The profile spelled exactly `text` in a case file.
std::optional<StressProfile> profile_from_text(std::string_view text);

}  // namespace kivo::stress::artifacts
