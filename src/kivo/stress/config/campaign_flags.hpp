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

/// Whether `flag` is one of --seeds, --jobs, --stop-on-failure, --quiet, --stats, --shard,
/// --results.
bool is_campaign_flag(std::string_view flag);
/// Applies the campaign flag at `position` (taking its value when it has one); returns how many
/// elements it used.
Result<std::size_t> apply_campaign_flag(StressConfig& config, std::span<const std::string> args,
                                        std::size_t position);
/// Refuses campaign settings that cannot go together; `seed_given` tells whether --seed was used.
Result<void> validate_campaign(const StressConfig& config, bool seed_given);
/// The inclusive range "A..B" of two unsigned decimal seeds with A <= B.
Result<std::pair<std::uint64_t, std::uint64_t>> parse_seed_range(std::string_view text);
/// The shard "K/N" as (K, N), with N >= 1 and K < N.
Result<std::pair<std::uint64_t, std::uint64_t>> parse_shard(std::string_view text);

/// Whether `flag` is --merge-results or --junit.
bool is_merge_flag(std::string_view flag);
/// Applies --junit with its value, or --merge-results with every following word up to the next
/// flag; returns how many elements it used.
Result<std::size_t> apply_merge_flag(StressConfig& config, std::span<const std::string> args,
                                     std::size_t position);
/// Refuses --junit without --merge-results, and run flags beside --merge-results;
/// `flags_given` holds every flag of the command line.
Result<void> validate_merge(const StressConfig& config, std::span<const std::string> flags_given);

}  // namespace kivo::stress
