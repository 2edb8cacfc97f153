#include <iostream>
#include <limits>

#include "kivo/number_text.hpp"
#include "kivo/stress/config.hpp"
#include "kivo/stress/config/campaign_flags.hpp"
#include "kivo/stress/usage.hpp"

namespace kivo::stress {
namespace {

// The cause texts name the three ways a strict unsigned decimal can fail, checked left to right.
Result<std::uint64_t> parse_unsigned(std::string_view text) {
  if (text.empty()) return std::unexpected(Error("cannot parse integer from empty string"));
  std::string_view digits = text;
  if (digits.front() == '+') digits.remove_prefix(1);
  if (digits.empty()) return std::unexpected(Error("invalid digit found in string"));
  std::uint64_t value = 0;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  for (char c : digits) {
    if (c < '0' || c > '9') return std::unexpected(Error("invalid digit found in string"));
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (kMax - digit) / 10) {
      return std::unexpected(Error("number too large to fit in target type"));
    }
    value = value * 10 + digit;
  }
  return value;
}

Result<std::uint64_t> parse_count(std::string_view flag, std::string_view text) {
  auto value = parse_unsigned(text);
  if (!value) {
    return std::unexpected(
        std::move(value.error())
            .context("Invalid " + std::string(flag) + " value '" + std::string(text) + "'."));
  }
  return value;
}

Result<double> parse_rate(std::string_view text) {
  const std::string context = "Invalid --invalid-rate value '" + std::string(text) + "'.";
  if (text.empty()) {
    return std::unexpected(Error("cannot parse float from empty string").context(context));
  }
  auto value = parse_f64(text);
  if (!value) return std::unexpected(Error("invalid float literal").context(context));
  return *value;
}

Result<void> validate(const StressConfig& config) {
  if (config.docs == 0) return std::unexpected(Error("--docs must be > 0"));
  if (config.pairs == 0) return std::unexpected(Error("--pairs must be > 0"));
  if (config.ops_per_pair == 0) return std::unexpected(Error("--ops-per-pair must be > 0"));
  if (config.reduce_seconds == 0) return std::unexpected(Error("--reduce-seconds must be > 0"));
  if (!(config.invalid_rate >= 0.0) || !(config.invalid_rate <= 1.0)) {
    return std::unexpected(Error("--invalid-rate must be in the range 0..=1"));
  }
  return {};
}

void apply_profile(StressConfig& config, StressProfile profile) {
  const StressConfig defaults = default_for_profile(profile);
  config.profile = profile;
  config.docs = defaults.docs;
  config.pairs = defaults.pairs;
  config.ops_per_pair = defaults.ops_per_pair;
  config.invalid_rate = defaults.invalid_rate;
}

// Applies the flag `flag` with its value; the caller has already fetched the value.
Result<void> apply_valued_flag(StressConfig& config, std::string_view flag,
                               const std::string& value) {
  if (flag == "--profile") {
    auto profile = StressProfile::from_str(value);
    if (!profile) return std::unexpected(std::move(profile.error()));
    apply_profile(config, *profile);
    return {};
  }
  if (flag == "--template" || flag == "--out-dir" || flag == "--replay") {
    auto path = normalize_path(value);
    if (flag == "--template") config.template_path = std::move(path);
    if (flag == "--out-dir") config.out_dir = std::move(path);
    if (flag == "--replay") config.replay = std::move(path);
    return {};
  }
  if (flag == "--invalid-rate") {
    auto rate = parse_rate(value);
    if (!rate) return std::unexpected(std::move(rate.error()));
    config.invalid_rate = *rate;
    return {};
  }
  auto count = parse_count(flag, value);
  if (!count) return std::unexpected(std::move(count.error()));
  if (flag == "--seed") config.seed = *count;
  if (flag == "--docs") config.docs = *count;
  if (flag == "--pairs") config.pairs = *count;
  if (flag == "--ops-per-pair") config.ops_per_pair = *count;
  if (flag == "--reduce-seconds") config.reduce_seconds = *count;
  return {};
}

bool takes_value(std::string_view flag) {
  for (std::string_view known :
       {"--profile", "--seed", "--template", "--docs", "--pairs", "--ops-per-pair",
        "--invalid-rate", "--out-dir", "--replay", "--reduce-seconds"}) {
    if (flag == known) return true;
  }
  return false;
}

}  // namespace

Result<std::string> next_value(std::span<const std::string> args, std::size_t position,
                               std::string_view flag) {
  if (position + 1 >= args.size()) {
    return std::unexpected(Error("Missing value for " + std::string(flag)));
  }
  return args[position + 1];
}

Result<StressConfig> from_args(std::span<const std::string> args) {
  StressConfig config = default_for_profile(StressProfile::Fast);
  bool seed_given = false;
  std::vector<std::string> flags_given;
  for (std::size_t position = 0; position < args.size();) {
    const std::string& flag = args[position];
    seed_given = seed_given || flag == "--seed";
    flags_given.push_back(flag);
    if (flag == "--minimize") {
      config.minimize = true;
      position += 1;
    } else if (flag == "--strict") {
      config.strict = true;
      position += 1;
    } else if (flag == "--reduce") {
      config.reduce = true;
      config.minimize = true;
      position += 1;
    } else if (flag == "--report") {
      config.report = true;
      position += 1;
    } else if (flag == "--version") {
      // The program answers it before the rest of the line is read.
      position += 1;
    } else if (flag == "-h" || flag == "--help") {
      std::cerr << kUsageText;
      return std::unexpected(Error("help requested"));
    } else if (takes_value(flag)) {
      auto value = next_value(args, position, flag);
      if (!value) return std::unexpected(std::move(value.error()));
      if (auto applied = apply_valued_flag(config, flag, *value); !applied) {
        return std::unexpected(std::move(applied.error()));
      }
      position += 2;
    } else if (is_campaign_flag(flag)) {
      auto used = apply_campaign_flag(config, args, position);
      if (!used) return std::unexpected(std::move(used.error()));
      position += *used;
    } else if (is_merge_flag(flag)) {
      auto used = apply_merge_flag(config, args, position);
      if (!used) return std::unexpected(std::move(used.error()));
      position += *used;
    } else {
      return std::unexpected(
          Error("Unknown flag '" + flag + "'. Use --help to see supported flags."));
    }
  }
  if (auto valid = validate(config); !valid) return std::unexpected(std::move(valid.error()));
  if (auto valid = validate_campaign(config, seed_given); !valid) {
    return std::unexpected(std::move(valid.error()));
  }
  if (auto valid = validate_merge(config, flags_given); !valid) {
    return std::unexpected(std::move(valid.error()));
  }
  return config;
}

}  // namespace kivo::stress
