#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kivo/stress/error.hpp"

namespace kivo::stress {

/// One of the three run profiles: fast, balanced, deep.
class StressProfile {
 public:
  enum Value : std::uint8_t { Fast = 0, Balanced = 1, Deep = 2 };

  constexpr StressProfile(Value value) : value_(value) {}
  /// Parses "fast", "balanced" or "deep" in any ASCII letter case.
  static Result<StressProfile> from_str(std::string_view text);
  /// "fast", "balanced" or "deep".
  std::string_view name() const;
  constexpr Value value() const { return value_; }

  friend bool operator==(StressProfile, StressProfile) = default;

 private:
  Value value_;
};

/// A complete, validated configuration of a run or a replay.
struct StressConfig {
  StressProfile profile = StressProfile::Fast;
  std::uint64_t seed = 0;
  std::filesystem::path template_path;
  std::uint64_t docs = 0;
  std::uint64_t pairs = 0;
  std::uint64_t ops_per_pair = 0;
  double invalid_rate = 0;
  std::filesystem::path out_dir;
  std::optional<std::filesystem::path> replay;
  bool minimize = false;
  /// Also shrink a failing case's presets and trace to what the failure needs (sets `minimize`).
  bool reduce = false;
  /// The time one reduction may take.
  std::uint64_t reduce_seconds = 60;
  /// Judge every operation against the strict oracle and widen the corpus and the plans.
  bool strict = false;
  /// Campaign settings: an inclusive seed range run seed by seed instead of `seed` alone.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> seeds;
  /// Seeds run at once; 0 means one per core.
  std::uint64_t jobs = 1;
  bool stop_on_failure = false;
  /// No progress line even on a terminal.
  bool quiet = false;
  /// Per-family statistics after the closing line, and stats.json beside a failure case.
  bool stats = false;
  /// This process's share of `seeds`: shard K of N takes the seeds A+K, A+K+N, … (K < N).
  std::optional<std::pair<std::uint64_t, std::uint64_t>> shard;
  /// JSON Lines: one object per finished seed, then one for the whole run.
  std::optional<std::filesystem::path> results;
  /// Merge mode: the results files of a campaign's shards, printed as one campaign.
  std::vector<std::filesystem::path> merge_results;
  /// Merge mode: also write a JUnit XML report here.
  std::optional<std::filesystem::path> junit;
  /// Also write report.html beside every case written, or beside the replayed case.
  bool report = false;
};

/// The part of a configuration stored in a failure case.
struct StressConfigSnapshot {
  StressProfile profile = StressProfile::Fast;
  std::uint64_t seed = 0;
  std::string template_path;
  std::uint64_t docs = 0;
  std::uint64_t pairs = 0;
  std::uint64_t ops_per_pair = 0;
  double invalid_rate = 0;
  std::string out_dir;

  friend bool operator==(const StressConfigSnapshot&, const StressConfigSnapshot&) = default;
};

/// Absolute path of the program's `app/` directory, fixed at build time.
std::string_view project_dir();
/// The defaults of `profile`.
StressConfig default_for_profile(StressProfile profile);
/// The configuration described by `args` (program name removed).
Result<StressConfig> from_args(std::span<const std::string> args);
/// The element after the flag at `position`, or "Missing value for <flag>".
Result<std::string> next_value(std::span<const std::string> args, std::size_t position,
                               std::string_view flag);
/// `text` made absolute against the working directory (nothing resolved).
std::filesystem::path normalize_path(std::string_view text);
/// The snapshot of `config`.
StressConfigSnapshot to_snapshot(const StressConfig& config);

}  // namespace kivo::stress
