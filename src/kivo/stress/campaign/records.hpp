#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "kivo/stress/campaign.hpp"
#include "kivo/stress/campaign/results.hpp"

namespace kivo::stress::campaign {

/// Whether `error` ends a run at a failing step (rather than before any step could run).
bool is_stress_failure(const Error& error);

/// Makes `control` count the steps into `stats` (when `stats_beside_case` or `keep_stats`) and
/// note the case directory a failure writes; with `stats_beside_case` the case gets stats.json.
/// `stats` and `case_dir` must outlive the run.
void watch_run(runner::RunControl& control, stats::RunStats& stats,
               std::optional<std::filesystem::path>& case_dir, bool stats_beside_case,
               bool keep_stats);

/// The record of a finished run of `seed`: its summary or its failure, as a campaign prints it.
SeedRecord seed_record(std::uint64_t seed, const Result<runner::StressRunSummary>& summary,
                       stats::RunStats stats, std::optional<std::filesystem::path> case_dir,
                       std::chrono::duration<double> elapsed);

/// Counts `record` into the totals of `result`, as the campaign line shows them.
void add_seed(CampaignResult& result, const SeedRecord& record);

/// The closing record of a run or campaign of `config`; `ended` as the campaign line says it, or
/// "error" with the chain that ended the run in `error`.
CampaignRecord campaign_record(const StressConfig& config, const CampaignResult& result,
                               std::string ended, std::string error = {});

/// Records a single run of `config` in `file`: its seed, unless the run was cancelled or ended
/// before any step, then the closing record (`stopped` words a cancellation, e.g. "stopped by
/// SIGINT").
void record_single_run(ResultsFile& file, const StressConfig& config,
                       const Result<runner::StressRunSummary>& summary, stats::RunStats stats,
                       std::optional<std::filesystem::path> case_dir,
                       std::chrono::duration<double> elapsed, const std::string& stopped);

}  // namespace kivo::stress::campaign
