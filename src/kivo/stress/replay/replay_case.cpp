#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/independent.hpp"
#include "kivo/stress/preset_file.hpp"
#include "kivo/stress/text_file.hpp"
#include "kivo/stress/replay.hpp"

namespace kivo::stress::replay {
namespace {

std::unexpected<Error> fail(std::string message) {
  return std::unexpected(Error(std::move(message)));
}

// A strict case was written by the harness, so its presets are what the independent reader reads:
// they replay even when the library's reader misreads them, and the steps show it.
Result<Element> load_preset_independently(const std::filesystem::path& path) {
  auto text = read_utf8_file(path);
  if (!text) return with_context("Failed to parse " + path.string(), AppError::io(text.error()));
  auto tree = independent::read_tree(*text);
  if (!tree) {
    return std::unexpected(Error::from_chain({"Failed to parse " + path.string(), tree.error()}));
  }
  return std::move(*tree);
}

// Case files may come from elsewhere: their preset names must stay inside the case directory.
bool is_plain_file_name(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

Result<Element> load_case_preset(const std::filesystem::path& directory, const std::string& name,
                                 bool strict) {
  if (!is_plain_file_name(name)) {
    return fail("Replay case names preset file '" + name +
                "', which is not a plain file name in the case directory.");
  }
  const std::filesystem::path path = directory / name;
  if (strict) return load_preset_independently(path);
  auto root = load_preset(path);
  if (!root) return with_context("Failed to parse " + path.string(), root.error());
  return std::move(*root);
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
  for (std::size_t step = 0; step < artifact.operation_trace.size(); ++step) {
    const OperationTraceItem& item = artifact.operation_trace[step];
    const std::string observed = execute_checked(source, target, item.operation, artifact.strict);
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
  auto source = load_case_preset(directory, artifact->source_before_file, artifact->strict);
  if (!source) return std::unexpected(std::move(source.error()));
  auto target = load_case_preset(directory, artifact->target_before_file, artifact->strict);
  if (!target) return std::unexpected(std::move(target.error()));
  if (artifact->operation_trace.empty()) {
    return fail("Replay case contains empty operation trace.");
  }
  return replay_trace(*artifact, *source, *target);
}

}  // namespace kivo::stress::replay
