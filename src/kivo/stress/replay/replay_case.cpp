#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/replay.hpp"

namespace kivo::stress::replay {
namespace {

std::unexpected<Error> fail(std::string message) {
  return std::unexpected(Error(std::move(message)));
}

// The failure message of the failing step, or the error saying it did not fail.
Result<std::string> reproduced_message(std::size_t step, const OperationTraceItem& item,
                                       const std::string& observed) {
  if (is_fault(observed)) return observed;
  if (satisfies(observed, item.expected)) {
    return fail("Replay reached failing step " + std::to_string(step) +
                " but operation did not fail.");
  }
  // Worded with the recorded step number, exactly as the run worded it.
  return derive_failure_message(item.index, item.expected, observed);
}

Result<ReplayResult> replay_trace(const FailureArtifact& artifact, const Element& source,
                                  Element& target) {
  const std::uint64_t failing = artifact.failing_step_index;
  Carried carried;
  for (std::size_t step = 0; step < artifact.operation_trace.size(); ++step) {
    const OperationTraceItem& item = artifact.operation_trace[step];
    const std::string observed =
        execute_checked(source, target, item.operation, artifact.strict, &carried);
    if (observed != item.outcome) {
      return fail("Replay diverged at step " + std::to_string(step) + ". expected='" +
                  item.outcome + "' observed='" + observed + "'");
    }
    if (step < failing) {
      if (is_fault(observed) || !satisfies(observed, item.expected)) {
        return fail("Replay failed early at step " + std::to_string(step) +
                    ". expected case to fail at step " + std::to_string(failing) + ".");
      }
      continue;
    }
    auto message = reproduced_message(step, item, observed);
    if (!message) return std::unexpected(std::move(message.error()));
    if (message->find(artifact.failure_message) == std::string::npos) {
      return fail("Replay failure message changed. expected fragment='" + artifact.failure_message +
                  "' actual='" + *message + "'");
    }
    return ReplayResult{true, step, step + 1, std::move(*message)};
  }
  return fail("Replay completed without reaching failing step " + std::to_string(failing) + ".");
}

}  // namespace

Result<ReplayResult> replay_case(const std::filesystem::path& case_path) {
  auto artifact = artifacts::load_failure_artifact(case_path);
  if (!artifact) return std::unexpected(std::move(artifact.error()));
  if (!case_path.has_relative_path()) return fail("Replay case path has no parent directory.");
  const std::filesystem::path directory = case_path.parent_path();
  auto source =
      artifacts::load_case_preset(directory, artifact->source_before_file, artifact->strict);
  if (!source) return std::unexpected(std::move(source.error()));
  auto target =
      artifacts::load_case_preset(directory, artifact->target_before_file, artifact->strict);
  if (!target) return std::unexpected(std::move(target.error()));
  if (artifact->operation_trace.empty()) {
    return fail("Replay case contains empty operation trace.");
  }
  return replay_trace(*artifact, *source, *target);
}

}  // namespace kivo::stress::replay
