#include "kivo/stress/cli.hpp"

#include <span>

#include "kivo/stress/config.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/stress/usage.hpp"

namespace kivo::stress {
namespace {

bool asks_for_help(std::span<const std::string> args) {
  for (const auto& arg : args) {
    if (arg == "-h" || arg == "--help") return true;
  }
  return false;
}

Result<void> run_mode(const StressConfig& config, std::ostream& err) {
  auto summary = runner::run(config);
  if (!summary) return std::unexpected(std::move(summary.error()));
  err << "Stress run complete profile=" << summary->profile << " seed=" << summary->seed
      << " docs=" << summary->docs << " pairs=" << summary->pairs
      << " attempted=" << summary->attempted << " succeeded=" << summary->succeeded << '\n';
  return {};
}

Result<void> replay_mode(const std::filesystem::path& case_path, std::ostream& err) {
  auto result = replay::replay_case(case_path);
  if (!result) return std::unexpected(std::move(result.error()));
  err << "Replay reproduced=" << (result->reproduced ? "true" : "false") << " step=" << result->step
      << " comparedSteps=" << result->compared_steps << '\n'
      << result->message << '\n';
  return {};
}

}  // namespace

Result<void> cli_main(const std::vector<std::string>& argv, std::ostream& err) {
  const std::span<const std::string> args =
      argv.empty() ? std::span<const std::string>() : std::span(argv).subspan(1);
  if (asks_for_help(args)) {
    err << kUsageText;
    return {};
  }
  auto config = from_args(args);
  if (!config) return std::unexpected(std::move(config.error()));
  if (!config->replay) return run_mode(*config, err);
  return replay_mode(*config->replay, err);
}

}  // namespace kivo::stress
