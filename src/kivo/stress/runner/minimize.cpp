#include "kivo/stress/runner/minimize.hpp"

#include "kivo/stress/replay.hpp"

namespace kivo::stress::runner {
namespace {

struct SuffixRun {
  std::vector<OperationTraceItem> trace;
  bool failed = false;
};

SuffixRun replay_suffix(const std::vector<OperationTraceItem>& trace, std::size_t start,
                        const Element& source_before, const Element& target_before, bool strict) {
  SuffixRun result;
  // Fresh copies each time: a faulty engine may have changed either document.
  const Element source = source_before;
  Element target = target_before;
  replay::Carried carried;
  for (std::size_t at = start; at < trace.size(); ++at) {
    const OperationTraceItem& item = trace[at];
    std::string outcome = replay::execute_checked(source, target, item.operation, strict, &carried);
    const bool passed = replay::satisfies(outcome, item.expected);
    result.trace.push_back(
        {result.trace.size(), item.operation, item.expected, std::move(outcome)});
    if (!passed) {
      result.failed = true;
      break;
    }
  }
  return result;
}

// A fault must still show its text; a mismatch must recur with exactly the same outcome, since
// no outcome text contains a mismatch message.
bool fails_the_same_way(const SuffixRun& run, const FirstFailure& failure) {
  if (!run.failed) return false;
  const std::string& outcome = run.trace.back().outcome;
  if (replay::is_fault(failure.outcome)) return outcome.find(failure.message) != std::string::npos;
  return outcome == failure.outcome;
}

}  // namespace

std::optional<std::vector<OperationTraceItem>> shorten_trace(
    const std::vector<OperationTraceItem>& trace, const Element& source_before,
    const Element& target_before, const FirstFailure& failure, bool strict) {
  for (std::size_t start = 1; start < trace.size(); ++start) {
    SuffixRun run = replay_suffix(trace, start, source_before, target_before, strict);
    if (fails_the_same_way(run, failure)) return std::move(run.trace);
  }
  return std::nullopt;
}

}  // namespace kivo::stress::runner
