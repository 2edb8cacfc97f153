#include <algorithm>

#include "kivo/stress/config/campaign_flags.hpp"

namespace kivo::stress {

bool is_merge_flag(std::string_view flag) { return flag == "--merge-results" || flag == "--junit"; }

Result<std::size_t> apply_merge_flag(StressConfig& config, std::span<const std::string> args,
                                     std::size_t position) {
  const std::string& flag = args[position];
  if (flag == "--junit") {
    auto value = next_value(args, position, flag);
    if (!value) return std::unexpected(std::move(value.error()));
    config.junit = normalize_path(*value);
    return 2;
  }
  // Every following word up to the next flag is a results file, as a shell glob expands them.
  std::size_t used = 1;
  while (position + used < args.size() && !args[position + used].starts_with("--")) {
    config.merge_results.push_back(normalize_path(args[position + used]));
    ++used;
  }
  if (used == 1) return std::unexpected(Error("Missing value for --merge-results"));
  return used;
}

Result<void> validate_merge(const StressConfig& config, std::span<const std::string> flags_given) {
  if (config.merge_results.empty()) {
    if (config.junit) return std::unexpected(Error("--junit needs --merge-results"));
    return {};
  }
  for (const std::string& flag : flags_given) {
    if (flag != "--merge-results" && flag != "--junit" && flag != "--stats" && flag != "--quiet") {
      return std::unexpected(Error("--merge-results cannot be combined with " + flag +
                                   "; it takes only --junit, --stats and --quiet"));
    }
  }
  return {};
}

}  // namespace kivo::stress
