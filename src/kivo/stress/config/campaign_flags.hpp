#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "kivo/stress/config.hpp"
#include "kivo/stress/error.hpp"

namespace kivo::stress {

/// The most seeds one campaign may run at once.
inline constexpr std::uint64_t kMaxJobs = 1024;

/// Whether `flag` is one of --seeds, --jobs, --stop-on-failure, --quiet, --stats.
bool is_campaign_flag(std::string_view flag);
/// Applies the campaign flag at `position` (taking its value when it has one); returns how many
/// elements it used.
Result<std::size_t> apply_campaign_flag(StressConfig& config, std::span<const std::string> args,
                                        std::size_t position);
/// Refuses campaign settings that cannot go together; `seed_given` tells whether --seed was used.
Result<void> validate_campaign(const StressConfig& config, bool seed_given);
/// The inclusive range "A..B" of two unsigned decimal seeds with A <= B.
Result<std::pair<std::uint64_t, std::uint64_t>> parse_seed_range(std::string_view text);

}  // namespace kivo::stress
