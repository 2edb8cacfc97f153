#include "kivo/stress/cli.hpp"

#include <csignal>
#include <span>

#include "kivo/stress/campaign.hpp"
#include "kivo/stress/campaign/progress.hpp"
#include "kivo/stress/campaign/signals.hpp"
#include "kivo/stress/config.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/stress/runner/reduced_case.hpp"
#include "kivo/stress/usage.hpp"

namespace kivo::stress {
namespace {

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

Result<int> run_mode(const StressConfig& config, std::ostream& err, const ProgramControl& control) {
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
  if (config.stats) campaign::attach_stats(run_control, stats);
  auto summary = runner::run(config, run_control);
  progress.clear();
  if (!summary) {
    if (runner::is_cancelled(summary.error())) {
      const int signal = stopping_signal(control);
      err << "Stress run stopped by " << campaign::signal_name(signal) << '\n';
      return 128 + signal;
    }
    if (!config.stats) return std::unexpected(std::move(summary.error()));
    err << campaign::failure_line(summary.error()) << stats.text();
    return 1;
  }
  err << campaign::closing_line(*summary) << '\n';
  if (config.stats) err << stats.text();
  return 0;
}

Result<int> campaign_mode(const StressConfig& config, std::ostream& err,
                          const ProgramControl& control) {
  const campaign::CampaignOptions options{control.stop, control.err_is_terminal && !config.quiet};
  auto result = campaign::run_campaign(config, err, options);
  if (!result) return std::unexpected(std::move(result.error()));
  int status = result->failed > 0 ? 1 : 0;
  if (result->stopped) {
    const int signal = stopping_signal(control);
    err << campaign::campaign_line(config, *result, "stopped by " + campaign::signal_name(signal))
        << '\n';
    status = 128 + signal;
  } else {
    err << campaign::campaign_line(config, *result) << '\n';
  }
  if (config.stats) err << result->stats.text();
  return status;
}

Result<void> replay_mode(const StressConfig& config, std::ostream& err,
                         const ProgramControl& control) {
  const std::filesystem::path& case_path = *config.replay;
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
  auto config = from_args(args);
  if (!config) return std::unexpected(std::move(config.error()));
  if (config->replay) {
    if (auto replayed = replay_mode(*config, err, control); !replayed) {
      return std::unexpected(std::move(replayed.error()));
    }
    return 0;
  }
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
