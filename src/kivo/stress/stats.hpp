#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "kivo/stress/error.hpp"
#include "kivo/stress/operation.hpp"

namespace kivo::stress::stats {

/// The kinds of operation a run plans, told apart by what is copied and what is expected.
enum class Family : std::uint8_t {
  CopyScreen,
  CopySlice,
  CopyMask,
  InputMask,
  InputMaskOverwrite,
  InputMaskAspect,
  InputMaskRefusal,
};
inline constexpr std::size_t kFamilyCount = 7;

/// "copy-screen", "copy-slice", "copy-mask", "input-mask", "input-mask-overwrite",
/// "input-mask-aspect" or "input-mask-refusal".
std::string_view family_name(Family family);
/// The family named `name` (as `family_name` spells it), or nothing.
std::optional<Family> family_named(std::string_view name);
/// The family of a planned operation; nothing for a copy of an unknown kind.
std::optional<Family> family_of(const StressOperation& operation, const ExpectedOutcome& expected);

/// Where a step ran: seed, pair and slot.
struct StepPlace {
  std::uint64_t seed = 0;
  std::uint64_t pair = 0;
  std::uint64_t step = 0;
};

struct FamilyStats {
  std::uint64_t planned = 0;
  std::uint64_t succeeded = 0;
  /// Steps that passed with a refusal of the engine as their outcome.
  std::uint64_t refused = 0;
  std::uint64_t failed = 0;
  std::chrono::nanoseconds slowest{0};
  std::optional<StepPlace> slowest_at;
};

/// Per-family counts of one run or of a whole campaign.
class RunStats {
 public:
  /// Counts one executed step with its outcome text, verdict and duration.
  void record(const StressOperation& operation, const ExpectedOutcome& expected,
              std::string_view outcome, bool passed, std::chrono::nanoseconds duration,
              const StepPlace& place);
  /// Adds `other`; on equal slowest durations the step already held stays.
  void merge(const RunStats& other);
  const FamilyStats& of(Family family) const { return families_[static_cast<std::size_t>(family)]; }
  /// Replaces the counts of `family` (a run's statistics read back from a results file).
  void set(Family family, const FamilyStats& stats) {
    families_[static_cast<std::size_t>(family)] = stats;
  }

  /// One "Stats <family> planned=… succeeded=… refused=… failed=… slowest=…" line per family,
  /// each ended by a newline.
  std::string text() const;
  /// The pretty JSON form written as stats.json.
  std::string json() const;

 private:
  std::array<FamilyStats, kFamilyCount> families_{};
};

/// Writes `stats` as "stats.json" into `dir`.
Result<void> write_stats_json(const std::filesystem::path& dir, const RunStats& stats);

}  // namespace kivo::stress::stats
