#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "kivo/stress/config.hpp"
#include "kivo/stress/error.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/stress/stats.hpp"

namespace kivo::stress::campaign {

class ResultsFile;

/// "Stress run complete profile=… seed=… docs=… pairs=… attempted=… succeeded=…", no newline.
std::string closing_line(const runner::StressRunSummary& summary);
/// What the program prints for an error: "kivo_stress failed: " and the chain, with a newline.
std::string failure_line(const Error& error);

/// What the caller lets a campaign see of the outside world.
struct CampaignOptions {
  /// Raised from outside (a signal) to stop every worker between steps.
  const std::atomic<bool>* stop = nullptr;
  /// Draw the self-rewriting progress line on the output stream.
  bool progress = false;
  /// Where each finished seed is recorded as it finishes, when given.
  ResultsFile* results = nullptr;
};

/// The seeds of a range one shard runs: `first`, `first + step`, … up to index `last_index`.
struct ShardSeeds {
  bool empty = false;
  std::uint64_t first = 0;
  std::uint64_t step = 1;
  std::uint64_t last_index = 0;

  std::uint64_t seed(std::uint64_t index) const { return first + index * step; }
};

/// The share of `config.seeds` that `config.shard` (K/N) runs: every N-th seed from the range's
/// first plus K; the whole range without a shard. Empty when K is past the range's end.
ShardSeeds shard_seeds(const StressConfig& config);

/// What a campaign did; its lines are already printed.
struct CampaignResult {
  std::uint64_t jobs = 0;
  /// Seeds that finished, passing or failing; cancelled ones are not counted.
  std::uint64_t runs = 0;
  std::uint64_t failed = 0;
  /// Sums over the passing seeds, as their closing lines show them.
  std::uint64_t attempted = 0;
  std::uint64_t succeeded = 0;
  std::chrono::duration<double> elapsed{0};
  /// Ended by `CampaignOptions::stop` before every seed had run.
  bool stopped = false;
  stats::RunStats stats;
};

/// The number of seeds run at once for `jobs` (0 means one per core).
std::uint64_t resolve_jobs(std::uint64_t jobs);

/// Runs every seed of `config.seeds` as its own run of `config`, up to `config.jobs` at once, and
/// prints one result per finished seed in seed order on `out`: its closing line, or its failure as
/// `failure_line` words it. An error that does not depend on the seed (an unreadable template,
/// too few documents) ends the campaign and is returned instead. Needs `config.seeds`; with
/// `config.shard` only that shard's seeds run.
Result<CampaignResult> run_campaign(const StressConfig& config, std::ostream& out,
                                    const CampaignOptions& options);
/// "Stress campaign complete seeds=A..B jobs=… runs=… failed=… attempted=… succeeded=…
/// elapsed=…s", no newline, with " shard=K/N" after the seeds of a shard; `ended` replaces
/// "complete" (e.g. "stopped by SIGINT").
std::string campaign_line(const StressConfig& config, const CampaignResult& result,
                          std::string_view ended = "complete");

}  // namespace kivo::stress::campaign
