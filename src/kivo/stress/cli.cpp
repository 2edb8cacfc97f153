#include "kivo/stress/cli.hpp"

#include <algorithm>
#include <csignal>
#include <span>

#include "kivo/stress/artifacts/file_io.hpp"
#include "kivo/stress/campaign.hpp"
#include "kivo/stress/campaign/merge.hpp"
#include "kivo/stress/campaign/progress.hpp"
#include "kivo/stress/campaign/records.hpp"
#include "kivo/stress/campaign/signals.hpp"
#include "kivo/stress/config.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/report.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/stress/runner/reduced_case.hpp"
#include "kivo/stress/usage.hpp"

namespace kivo::stress {
namespace {

// The project's version, given by the build.
constexpr std::string_view kVersion = KIVO_VERSION;

bool asks_for_help(std::span<const std::string> args) {
  for (const auto& arg : args) {
    if (arg == "-h" || arg == "--help") return true;
  }
  return false;
}

std::string reduce_progress_text(const reduce::Progress& done) {
  return "reducing: " + std::to_string(done.bytes_left) + " bytes left, " +
         std::to_string(done.replays) + " replays";
}

int stopping_signal(const ProgramControl& control) {
  const int signal = control.stop_signal ? control.stop_signal->load() : 0;
  return signal != 0 ? signal : SIGINT;
}

Result<std::optional<campaign::ResultsFile>> open_results(const StressConfig& config) {
  if (!config.results) return std::optional<campaign::ResultsFile>();
  auto file = campaign::ResultsFile::create(*config.results);
  if (!file) return std::unexpected(std::move(file.error()));
  return std::optional<campaign::ResultsFile>(std::move(*file));
}

bool with_results_failure(const std::optional<campaign::ResultsFile>& results) {
  return results && !results->status();
}

// A results file that could not be written fails the run after its own lines.
int with_results_status(int status, const std::optional<campaign::ResultsFile>& results,
                        std::ostream& err) {
  if (!results) return status;
  auto written = results->status();
  if (written) return status;
  err << campaign::failure_line(written.error());
  return status == 0 ? 1 : status;
}

Result<int> run_mode(const StressConfig& config, std::ostream& err, const ProgramControl& control) {
  auto results = open_results(config);
  if (!results) return std::unexpected(std::move(results.error()));
  runner::RunControl run_control;
  run_control.cancel = control.stop;
  const bool show_progress = control.err_is_terminal && !config.quiet;
  campaign::ProgressLine progress(err, show_progress);
  const auto started = std::chrono::steady_clock::now();
  if (show_progress) {
    run_control.on_progress = [&](const runner::RunProgress& done) {
      if (!progress.due()) return;
      const std::string counts =
          "pairs " + std::to_string(done.pairs_done) + "/" + std::to_string(config.pairs);
      const double fraction =
          static_cast<double>(done.pairs_done) / static_cast<double>(config.pairs);
      progress.show(campaign::progress_text(counts, fraction, done.steps_done,
                                            std::chrono::steady_clock::now() - started));
    };
    run_control.on_reduce_progress = [&](const reduce::Progress& done) {
      if (progress.due()) progress.show(reduce_progress_text(done));
    };
  }
  stats::RunStats stats;
  std::optional<std::filesystem::path> case_dir;
  campaign::watch_run(run_control, stats, case_dir, config.stats, results->has_value());
  auto summary = runner::run(config, run_control);
  progress.clear();
  const std::string stopped = "stopped by " + campaign::signal_name(stopping_signal(control));
  if (*results) {
    campaign::record_single_run(**results, config, summary, stats, case_dir,
                                std::chrono::steady_clock::now() - started, stopped);
  }
  int status = 0;
  if (!summary && runner::is_cancelled(summary.error())) {
    err << "Stress run " << stopped << '\n';
    status = 128 + stopping_signal(control);
  } else if (!summary) {
    // Without lines to follow it, the failure is the program's error, printed by the caller.
    if (!config.stats && !with_results_failure(*results)) {
      return std::unexpected(std::move(summary.error()));
    }
    err << campaign::failure_line(summary.error());
    if (config.stats) err << stats.text();
    status = 1;
  } else {
    err << campaign::closing_line(*summary) << '\n';
    if (config.stats) err << stats.text();
  }
  return with_results_status(status, *results, err);
}

Result<int> campaign_mode(const StressConfig& config, std::ostream& err,
                          const ProgramControl& control) {
  auto results = open_results(config);
  if (!results) return std::unexpected(std::move(results.error()));
  campaign::CampaignOptions options{control.stop, control.err_is_terminal && !config.quiet};
  if (*results) options.results = &**results;
  auto result = campaign::run_campaign(config, err, options);
  if (!result) {
    if (*results) {
      campaign::CampaignResult nothing;
      nothing.jobs = campaign::resolve_jobs(config.jobs);
      (*results)->write(
          campaign::campaign_record(config, nothing, "error", result.error().display_chain()));
    }
    return std::unexpected(std::move(result.error()));
  }
  int status = result->failed > 0 ? 1 : 0;
  std::string ended = "complete";
  if (result->stopped) {
    const int signal = stopping_signal(control);
    ended = "stopped by " + campaign::signal_name(signal);
    status = 128 + signal;
  }
  if (*results) (*results)->write(campaign::campaign_record(config, *result, ended));
  err << campaign::campaign_line(config, *result, ended) << '\n';
  if (config.stats) err << result->stats.text();
  return with_results_status(status, *results, err);
}

// Prints the campaign the shards' results make up, as one process running it would have.
Result<int> merge_mode(const StressConfig& config, std::ostream& err) {
  auto merged = campaign::merge_results(config.merge_results);
  if (!merged) return std::unexpected(std::move(merged.error()));
  for (const auto& seed : merged->seeds) err << seed.output;
  StressConfig whole = config;
  whole.seeds = merged->campaign.seeds;
  err << campaign::campaign_line(whole, merged->campaign.totals) << '\n';
  if (config.stats) err << merged->campaign.totals.stats.text();
  if (config.junit) {
    auto report = campaign::junit_xml(*merged);
    if (!report) return std::unexpected(std::move(report.error()));
    auto written = artifacts::write_text_file(*config.junit, *report);
    if (!written) {
      return std::unexpected(
          std::move(written.error())
              .context("Unable to write JUnit report '" + config.junit->string() + "'"));
    }
  }
  return merged->campaign.totals.failed > 0 ? 1 : 0;
}

Result<void> replay_mode(const StressConfig& config, std::ostream& err,
                         const ProgramControl& control) {
  const std::filesystem::path& case_path = *config.replay;
  // Written before the replay, so a case that no longer reproduces still gets its page.
  if (config.report) err << report::report_line(case_path) << '\n';
  auto result = replay::replay_case(case_path);
  if (!result) return std::unexpected(std::move(result.error()));
  err << "Replay reproduced=" << (result->reproduced ? "true" : "false") << " step=" << result->step
      << " comparedSteps=" << result->compared_steps << '\n'
      << result->message << '\n';
  if (!config.reduce) return {};
  campaign::ProgressLine progress(err, control.err_is_terminal && !config.quiet);
  const reduce::Options options{false, std::chrono::seconds(config.reduce_seconds),
                                [&](const reduce::Progress& done) {
                                  if (progress.due()) progress.show(reduce_progress_text(done));
                                },
                                control.stop};
  auto reduced = runner::reduce_case_file(case_path, options);
  progress.clear();
  if (!reduced) return std::unexpected(std::move(reduced.error()));
  err << "Reduced case: " << reduced->directory.string() << '\n' << reduced->summary << '\n';
  return {};
}

// The program's work; an error is what `main` prints, a value the exit status.
Result<int> dispatch(const std::vector<std::string>& argv, std::ostream& err,
                     const ProgramControl& control) {
  const std::span<const std::string> args =
      argv.empty() ? std::span<const std::string>() : std::span(argv).subspan(1);
  if (asks_for_help(args)) {
    err << kUsageText;
    return 0;
  }
  if (std::ranges::find(args, "--version") != args.end()) {
    err << "kivo_stress " << kVersion << '\n';
    return 0;
  }
  auto config = from_args(args);
  if (!config) return std::unexpected(std::move(config.error()));
  if (config->replay) {
    if (auto replayed = replay_mode(*config, err, control); !replayed) {
      return std::unexpected(std::move(replayed.error()));
    }
    return 0;
  }
  if (!config->merge_results.empty()) return merge_mode(*config, err);
  if (config->seeds) return campaign_mode(*config, err, control);
  return run_mode(*config, err, control);
}

}  // namespace

Result<void> cli_main(const std::vector<std::string>& argv, std::ostream& err) {
  auto status = dispatch(argv, err, {});
  if (!status) return std::unexpected(std::move(status.error()));
  if (*status != 0) {
    return std::unexpected(
        Error("exit status " + std::to_string(*status) + " (the failures are printed above)"));
  }
  return {};
}

int program_main(const std::vector<std::string>& argv, std::ostream& err,
                 const ProgramControl& control) {
  auto status = dispatch(argv, err, control);
  if (!status) {
    err << campaign::failure_line(status.error());
    return 1;
  }
  return *status;
}

}  // namespace kivo::stress
