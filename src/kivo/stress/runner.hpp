#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/config.hpp"
#include "kivo/stress/error.hpp"
#include "kivo/stress/operation.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/rng.hpp"
#include "kivo/stress/runner/control.hpp"

namespace kivo::stress::runner {

/// The counts of a run that found no failure.
struct StressRunSummary {
  std::string profile;
  std::uint64_t seed = 0;
  std::uint64_t docs = 0;
  std::uint64_t pairs = 0;
  std::uint64_t attempted = 0;
  std::uint64_t succeeded = 0;
};

/// Runs the stress loop described by `config`; a failing step is an error naming its case.
/// `control` may watch the run or cancel it between steps.
Result<StressRunSummary> run(const StressConfig& config, const RunControl& control = {});

/// One slice of a document as the planner sees it.
struct SliceInfo {
  std::optional<double> input_aspect;
  std::string unique_id;
  bool has_mask = false;
};

/// An operation with the outcome it is held to.
struct PlannedOperation {
  StressOperation operation;
  ExpectedOutcome expected;
};

/// Plans one operation for the pair, or nothing; reads both documents only.
std::optional<PlannedOperation> plan_operation(const Element& source, const Element& target,
                                               Rng& rng);
/// The slices under the screens list of a root's children, in document order.
std::vector<SliceInfo> collect_slices(std::span<const XMLNode> root_children);
/// Appends the uniqueId of every `Screen` in the subtree, pre-order.
void collect_screen_ids_rec(const Element& element, std::vector<std::string>& out);
/// An input-mask copy between a masked source slice and any target slice, accepting any outcome.
std::optional<PlannedOperation> plan_input_mask_generic(std::span<const XMLNode> source_children,
                                                        std::span<const XMLNode> target_children,
                                                        Rng& rng);
// Failure messages are worded where steps are replayed; runs word them the same way.
using replay::derive_failure_message;
using replay::expectation_debug;

}  // namespace kivo::stress::runner
