#include "kivo/stress/campaign/records.hpp"

namespace kivo::stress::campaign {

bool is_stress_failure(const Error& error) {
  return error.message().starts_with("Stress failure on pair ");
}

void watch_run(runner::RunControl& control, stats::RunStats& stats,
               std::optional<std::filesystem::path>& case_dir, bool stats_beside_case,
               bool keep_stats) {
  if (stats_beside_case || keep_stats) control.stats = &stats;
  control.on_case_written = [&stats, &case_dir,
                             stats_beside_case](const std::filesystem::path& dir) {
    case_dir = dir;
    // The case itself is complete; statistics that cannot be written do not hide the failure.
    if (stats_beside_case) (void)stats::write_stats_json(dir, stats);
  };
}

SeedRecord seed_record(std::uint64_t seed, const Result<runner::StressRunSummary>& summary,
                       stats::RunStats stats, std::optional<std::filesystem::path> case_dir,
                       std::chrono::duration<double> elapsed) {
  SeedRecord record;
  record.seed = seed;
  record.elapsed = elapsed;
  if (summary) {
    record.output = closing_line(*summary) + "\n";
    record.attempted = summary->attempted;
    record.succeeded = summary->succeeded;
  } else {
    record.failed = true;
    record.output = failure_line(summary.error());
    record.message = summary.error().display_chain();
    record.case_dir = std::move(case_dir);
    // A failing run has no closing line; its steps are what its statistics counted.
    for (std::size_t i = 0; i < stats::kFamilyCount; ++i) {
      const stats::FamilyStats& family = stats.of(static_cast<stats::Family>(i));
      record.attempted += family.planned;
      record.succeeded += family.succeeded;
    }
  }
  record.stats = std::move(stats);
  return record;
}

void add_seed(CampaignResult& result, const SeedRecord& record) {
  ++result.runs;
  if (record.failed) {
    ++result.failed;
  } else {
    // The totals sum the closing lines, which only passing seeds print.
    result.attempted += record.attempted;
    result.succeeded += record.succeeded;
  }
  result.stats.merge(record.stats);
}

CampaignRecord campaign_record(const StressConfig& config, const CampaignResult& result,
                               std::string ended, std::string error) {
  CampaignRecord record;
  record.seeds = config.seeds.value_or(std::pair{config.seed, config.seed});
  record.shard = config.shard;
  record.profile = config.profile.name();
  record.strict = config.strict;
  record.totals = result;
  record.totals.stats = {};
  record.ended = std::move(ended);
  record.error = std::move(error);
  return record;
}

void record_single_run(ResultsFile& file, const StressConfig& config,
                       const Result<runner::StressRunSummary>& summary, stats::RunStats stats,
                       std::optional<std::filesystem::path> case_dir,
                       std::chrono::duration<double> elapsed, const std::string& stopped) {
  CampaignResult result;
  result.jobs = 1;
  result.elapsed = elapsed;
  std::string ended = "complete";
  std::string error;
  if (!summary && runner::is_cancelled(summary.error())) {
    ended = stopped;
  } else if (!summary && !is_stress_failure(summary.error())) {
    ended = "error";
    error = summary.error().display_chain();
  } else {
    const SeedRecord seed =
        seed_record(config.seed, summary, std::move(stats), std::move(case_dir), elapsed);
    add_seed(result, seed);
    file.write(seed);
  }
  file.write(campaign_record(config, result, std::move(ended), std::move(error)));
}

}  // namespace kivo::stress::campaign
