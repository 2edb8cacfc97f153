#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/reduce.hpp"
#include "kivo/stress/replay.hpp"

namespace kivo::stress::reduce {

std::optional<std::vector<OperationTraceItem>> fails_alike(
    const Element& source, const Element& target, const std::vector<OperationTraceItem>& trace,
    const FailureSignature& signature, bool strict) {
  if (trace.empty()) return std::nullopt;
  // The engine gets copies: a faulty one may change either document.
  const Element working_source = source;
  Element working_target = target;
  std::vector<OperationTraceItem> observed;
  replay::Carried carried;
  for (const OperationTraceItem& item : trace) {
    std::string outcome =
        replay::execute_checked(working_source, working_target, item.operation, strict, &carried);
    observed.push_back({observed.size(), item.operation, item.expected, std::move(outcome)});
    const bool met = replay::satisfies(observed.back().outcome, item.expected);
    if (observed.size() < trace.size()) {
      if (!met) return std::nullopt;
    } else if (met || signature_of(observed.back()) != signature) {
      return std::nullopt;
    }
  }
  return observed;
}

std::uint64_t case_bytes(const Element& root, bool strict) {
  auto text = artifacts::case_preset_text(root, strict);
  return text ? text->size() : 0;
}

}  // namespace kivo::stress::reduce
