#include <system_error>

#include "kivo/stress/config.hpp"
#include "kivo/stress/text_utf8.hpp"

namespace kivo::stress {

std::filesystem::path normalize_path(std::string_view text) {
  std::filesystem::path path(text);
  if (path.is_absolute()) return path;
  std::error_code error;
  std::filesystem::path base = std::filesystem::current_path(error);
  if (error) base = ".";
  return base / path;
}

StressConfigSnapshot to_snapshot(const StressConfig& config) {
  StressConfigSnapshot snapshot;
  snapshot.profile = config.profile;
  snapshot.seed = config.seed;
  snapshot.template_path = utf8_lossy(config.template_path.native());
  snapshot.docs = config.docs;
  snapshot.pairs = config.pairs;
  snapshot.ops_per_pair = config.ops_per_pair;
  snapshot.invalid_rate = config.invalid_rate;
  snapshot.out_dir = utf8_lossy(config.out_dir.native());
  return snapshot;
}

}  // namespace kivo::stress
