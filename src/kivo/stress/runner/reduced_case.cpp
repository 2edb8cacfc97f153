#include "kivo/stress/runner/reduced_case.hpp"

#include <cstdio>

#include "kivo/stress/checks.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/runner.hpp"

namespace kivo::stress::runner {
namespace {

std::string with_thousands(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string grouped;
  for (std::size_t at = 0; at < digits.size(); ++at) {
    if (at > 0 && (digits.size() - at) % 3 == 0) grouped += ',';
    grouped += digits[at];
  }
  return grouped;
}

std::string bytes_change(const char* file, const Element& before, const Element& after,
                         bool strict) {
  return std::string(file) + " " + std::to_string(reduce::case_bytes(before, strict)) + " -> " +
         std::to_string(reduce::case_bytes(after, strict)) + " bytes";
}

std::string summary_line(const artifacts::CaseContent& unreduced,
                         const reduce::Reduction& reduction) {
  const bool strict = unreduced.artifact.strict;
  const double seconds = std::chrono::duration<double>(reduction.elapsed).count();
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1f", seconds);
  return "Reduced " +
         bytes_change("source_before.xml", unreduced.source_before, reduction.reduced.source,
                      strict) +
         ", " +
         bytes_change("target_before.xml", unreduced.target_before, reduction.reduced.target,
                      strict) +
         ", trace " + std::to_string(unreduced.artifact.operation_trace.size()) + " -> " +
         std::to_string(reduction.reduced.trace.size()) + " steps in " + elapsed + " s (" +
         with_thousands(reduction.replays) + " replays" +
         (reduction.complete ? ")" : "; time budget reached)");
}

FailureArtifact reduced_artifact(const FailureArtifact& unreduced,
                                 const std::vector<OperationTraceItem>& trace) {
  FailureArtifact artifact = unreduced;
  artifact.operation_trace = trace;
  const OperationTraceItem& last = trace.back();
  artifact.failing_step_index = trace.size() - 1;
  artifact.failure_message = derive_failure_message(last.index, last.expected, last.outcome);
  artifact.trace_hash = checks::trace_hash(trace);
  return artifact;
}

// The target after the reduced trace, as the failing run left it.
Element target_after(const reduce::FailingCase& reduced, bool strict) {
  const Element source = reduced.source;
  Element target = reduced.target;
  replay::Carried carried;
  for (const OperationTraceItem& item : reduced.trace) {
    (void)replay::execute_checked(source, target, item.operation, strict, &carried);
  }
  return target;
}

}  // namespace

Result<WrittenCase> write_reduced_case(const std::filesystem::path& out_dir,
                                       const artifacts::CaseContent& unreduced,
                                       const reduce::Options& options) {
  const reduce::FailingCase failing{unreduced.source_before, unreduced.target_before,
                                    unreduced.artifact.operation_trace};
  const reduce::Reduction reduction = reduce::reduce_case(failing, options);
  if (!reduction.reproduced) {
    auto directory =
        artifacts::persist_failure_artifact(out_dir, unreduced.artifact, unreduced.source_before,
                                            unreduced.target_before, unreduced.target_after);
    if (!directory) return std::unexpected(std::move(directory.error()));
    return WrittenCase{*directory,
                       "Not reduced: the case does not fail the same way when replayed "
                       "from its own files"};
  }
  const FailureArtifact artifact = reduced_artifact(unreduced.artifact, reduction.reduced.trace);
  const Element after = target_after(reduction.reduced, options.strict);
  auto directory = artifacts::persist_reduced_case(
      out_dir, {artifact, reduction.reduced.source, reduction.reduced.target, &after}, unreduced);
  if (!directory) return std::unexpected(std::move(directory.error()));
  return WrittenCase{*directory, summary_line(unreduced, reduction)};
}

Result<WrittenCase> reduce_case_file(const std::filesystem::path& case_path,
                                     reduce::Options options) {
  auto artifact = artifacts::load_failure_artifact(case_path);
  if (!artifact) return std::unexpected(std::move(artifact.error()));
  if (artifact->operation_trace.empty()) {
    return std::unexpected(Error("Replay case contains empty operation trace."));
  }
  const std::filesystem::path directory = std::filesystem::absolute(case_path).parent_path();
  auto source =
      artifacts::load_case_preset(directory, artifact->source_before_file, artifact->strict);
  if (!source) return std::unexpected(std::move(source.error()));
  auto target =
      artifacts::load_case_preset(directory, artifact->target_before_file, artifact->strict);
  if (!target) return std::unexpected(std::move(target.error()));
  std::optional<Element> after;
  if (artifact->target_after_file) {
    auto read =
        artifacts::load_case_preset(directory, *artifact->target_after_file, artifact->strict);
    if (!read) return std::unexpected(std::move(read.error()));
    after = std::move(*read);
  }
  options.strict = artifact->strict;
  return write_reduced_case(directory.parent_path(),
                            {*artifact, *source, *target, after ? &*after : nullptr}, options);
}

}  // namespace kivo::stress::runner
