#include "kivo/stress/config/campaign_flags.hpp"

#include "kivo/number_text.hpp"

namespace kivo::stress {
namespace {

// The same causes as the other integer flags give, in the same order of checks.
Error unsigned_cause(std::string_view text) {
  if (text.empty()) return Error("cannot parse integer from empty string");
  std::string_view digits = text;
  if (digits.front() == '+') digits.remove_prefix(1);
  if (digits.empty()) return Error("invalid digit found in string");
  for (char c : digits) {
    if (c < '0' || c > '9') return Error("invalid digit found in string");
  }
  return Error("number too large to fit in target type");
}

Result<std::uint64_t> parse_seed(std::string_view text) {
  if (auto value = parse_u64(text)) return *value;
  return std::unexpected(unsigned_cause(text));
}

}  // namespace

Result<std::pair<std::uint64_t, std::uint64_t>> parse_seed_range(std::string_view text) {
  const std::string context = "Invalid --seeds value '" + std::string(text) + "'.";
  const auto dots = text.find("..");
  if (dots == std::string_view::npos) {
    return std::unexpected(Error("expected two seeds joined by '..', as in 1..8").context(context));
  }
  auto first = parse_seed(text.substr(0, dots));
  if (!first) return std::unexpected(std::move(first.error()).context(context));
  auto last = parse_seed(text.substr(dots + 2));
  if (!last) return std::unexpected(std::move(last.error()).context(context));
  if (*first > *last) {
    return std::unexpected(Error("the first seed " + std::to_string(*first) +
                                 " is above the last seed " + std::to_string(*last))
                               .context(context));
  }
  return std::pair{*first, *last};
}

Result<std::pair<std::uint64_t, std::uint64_t>> parse_shard(std::string_view text) {
  const std::string context = "Invalid --shard value '" + std::string(text) + "'.";
  const auto slash = text.find('/');
  if (slash == std::string_view::npos) {
    return std::unexpected(
        Error("expected the shard index and count joined by '/', as in 0/4").context(context));
  }
  auto index = parse_seed(text.substr(0, slash));
  if (!index) return std::unexpected(std::move(index.error()).context(context));
  auto count = parse_seed(text.substr(slash + 1));
  if (!count) return std::unexpected(std::move(count.error()).context(context));
  if (*count == 0) {
    return std::unexpected(Error("the shard count must be at least 1").context(context));
  }
  if (*index >= *count) {
    return std::unexpected(Error("the shard index " + std::to_string(*index) +
                                 " must be below the shard count " + std::to_string(*count))
                               .context(context));
  }
  return std::pair{*index, *count};
}

bool is_campaign_flag(std::string_view flag) {
  for (std::string_view known :
       {"--seeds", "--jobs", "--stop-on-failure", "--quiet", "--stats", "--shard", "--results"}) {
    if (flag == known) return true;
  }
  return false;
}

Result<std::size_t> apply_campaign_flag(StressConfig& config, std::span<const std::string> args,
                                        std::size_t position) {
  const std::string& flag = args[position];
  if (flag == "--stop-on-failure") config.stop_on_failure = true;
  if (flag == "--quiet") config.quiet = true;
  if (flag == "--stats") config.stats = true;
  if (flag != "--seeds" && flag != "--jobs" && flag != "--shard" && flag != "--results") return 1;
  auto value = next_value(args, position, flag);
  if (!value) return std::unexpected(std::move(value.error()));
  if (flag == "--results") {
    config.results = normalize_path(*value);
    return 2;
  }
  if (flag == "--shard") {
    auto shard = parse_shard(*value);
    if (!shard) return std::unexpected(std::move(shard.error()));
    config.shard = *shard;
    return 2;
  }
  if (flag == "--seeds") {
    auto range = parse_seed_range(*value);
    if (!range) return std::unexpected(std::move(range.error()));
    config.seeds = *range;
    return 2;
  }
  auto jobs = parse_u64(*value);
  if (!jobs) {
    return std::unexpected(
        unsigned_cause(*value).context("Invalid --jobs value '" + *value + "'."));
  }
  config.jobs = *jobs;
  return 2;
}

Result<void> validate_campaign(const StressConfig& config, bool seed_given) {
  if (seed_given && config.seeds) {
    return std::unexpected(Error("--seed and --seeds cannot be used together"));
  }
  if (config.shard && !config.seeds) return std::unexpected(Error("--shard needs --seeds"));
  if (config.jobs > kMaxJobs) {
    return std::unexpected(Error("--jobs must be at most " + std::to_string(kMaxJobs)));
  }
  return {};
}

}  // namespace kivo::stress
