#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "kivo/stress/error.hpp"
#include "kivo/stress/reduce.hpp"

namespace kivo::stress::stats {
class RunStats;
}

namespace kivo::stress::runner {

/// How far a run has got; reported after every pair, skipped ones included.
struct RunProgress {
  std::uint64_t pairs_done = 0;
  /// Executed operations so far, the failing one included.
  std::uint64_t steps_done = 0;
};

/// What a caller may watch or steer in a run. The default watches nothing and never stops, so a
/// run with it is exactly a plain run.
struct RunControl {
  /// Checked before every pair and every slot; once true the run ends with `kRunCancelled`.
  const std::atomic<bool>* cancel = nullptr;
  std::function<void(const RunProgress&)> on_progress;
  /// Receives every executed step, timed; the steps are only timed when this is set.
  stats::RunStats* stats = nullptr;
  /// Called with the case directory once a failure case is completely written.
  std::function<void(const std::filesystem::path&)> on_case_written;
  /// Strict runs only: called at the end with how often the planned operations made each of the
  /// oracle's decisions (indexed by `oracle::Decision`).
  std::function<void(const std::vector<std::uint64_t>&)> on_decisions;
  /// With `reduce`: called as the reduction of a failing case gets on.
  std::function<void(const reduce::Progress&)> on_reduce_progress;
};

/// The message of a run that ended because its cancellation flag was raised.
inline constexpr std::string_view kRunCancelled = "Stress run cancelled";

/// Whether `error` is the end of a cancelled run rather than a failure.
inline bool is_cancelled(const Error& error) {
  return error.chain().size() == 1 && error.message() == kRunCancelled;
}

}  // namespace kivo::stress::runner
