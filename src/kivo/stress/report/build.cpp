// Builds a case's report: replays its trace to the failing step to get the target before, after
// and (strict cases) as the oracle expected it, then writes the page beside case.json.
#include "kivo/stress/artifacts/file_io.hpp"
#include "kivo/stress/oracle.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/report.hpp"

namespace kivo::stress::report {
namespace {

struct Replayed {
  std::vector<StepView> steps;
  Element before;
  Element after;
  std::string observed;
};

Replayed replay_to_failure(const FailureArtifact& artifact, const Element& source, Element target) {
  Replayed out;
  const std::size_t failing = artifact.failing_step_index;
  for (std::size_t i = 0; i < artifact.operation_trace.size(); ++i) {
    const OperationTraceItem& item = artifact.operation_trace[i];
    out.steps.push_back({item.index, step_words(item.operation, source, target),
                         expected_words(item.expected), item.outcome, i == failing});
    if (i > failing) continue;
    if (i == failing) out.before = target;
    std::string observed = replay::execute_checked(source, target, item.operation, artifact.strict);
    if (i == failing) out.observed = std::move(observed);
  }
  out.after = std::move(target);
  return out;
}

// The target as the oracle says the step must leave it.
Element expected_tree(const Element& source, const Element& before,
                      const StressOperation& operation) {
  oracle::Expectation expectation = oracle::expect(source, before, operation);
  Element tree = before;
  if (expectation.refusal) return tree;
  Element* parent = const_cast<Element*>(oracle::element_at(tree, expectation.parent));
  if (!parent) return tree;
  const std::size_t position = std::min(expectation.position, parent->children.size());
  XMLNode copy{std::move(expectation.subtree)};
  if (expectation.replaces && position < parent->children.size()) {
    parent->children[position] = std::move(copy);
  } else {
    parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(position),
                            std::move(copy));
  }
  return tree;
}

}  // namespace

Result<std::filesystem::path> write_case_report(const std::filesystem::path& case_path) {
  auto artifact = artifacts::load_failure_artifact(case_path);
  if (!artifact) return std::unexpected(std::move(artifact.error()));
  const std::filesystem::path directory =
      case_path.has_parent_path() ? case_path.parent_path() : std::filesystem::path(".");
  const bool strict = artifact->strict;
  auto source = artifacts::load_case_preset(directory, artifact->source_before_file, strict);
  if (!source) return std::unexpected(std::move(source.error()));
  auto target = artifacts::load_case_preset(directory, artifact->target_before_file, strict);
  if (!target) return std::unexpected(std::move(target.error()));
  if (artifact->failing_step_index >= artifact->operation_trace.size()) {
    return std::unexpected(Error("The case's failing step is not in its trace."));
  }
  Replayed replayed = replay_to_failure(*artifact, *source, std::move(*target));
  const OperationTraceItem& failing = artifact->operation_trace[artifact->failing_step_index];
  std::string note;
  if (replayed.observed != failing.outcome) {
    note = "Replaying the trace here observed " + oracle::shown(replayed.observed) +
           " at the failing step, not the recorded outcome";
    const bool last = artifact->failing_step_index + 1 == artifact->operation_trace.size();
    if (last && artifact->target_after_file) {
      if (auto recorded =
              artifacts::load_case_preset(directory, *artifact->target_after_file, strict)) {
        replayed.after = std::move(*recorded);
        note += "; \"after\" shows the case's " + *artifact->target_after_file;
      }
    }
    note += ".";
  }
  std::optional<Element> expected;
  if (strict) expected = expected_tree(*source, replayed.before, failing.operation);
  const ReportInput input{*artifact,
                          std::filesystem::absolute(case_path),
                          replayed.steps,
                          &failing.operation,
                          *source,
                          replayed.before,
                          replayed.after,
                          expected ? &*expected : nullptr,
                          note};
  const std::filesystem::path page = directory / kReportFile;
  auto written = artifacts::write_text_file(page, report_page(input));
  if (!written) return std::unexpected(std::move(written.error()));
  return page;
}

std::string report_line(const std::filesystem::path& case_path) {
  auto page = write_case_report(case_path);
  if (!page) return "error: report not written: " + page.error().display_chain();
  return "Report: " + page->string();
}

}  // namespace kivo::stress::report
