#pragma once

// The guarded copy-engine call and the duplicate-identity invariant, shared by the ordinary and
// the strict checked execution.

#include <optional>
#include <string>
#include <unordered_set>

#include "kivo/element.hpp"
#include "kivo/model.hpp"
#include "kivo/stress/operation.hpp"

namespace kivo::stress::replay::detail {

/// What the engine did: a result, or the outcome text of a refusal or a fault.
struct EngineOutcome {
  std::optional<model::CopyResult> result;
  std::optional<std::string> failure;
  bool faulted = false;
};

/// Runs the copy engine on `operation` under the fault guard.
EngineOutcome call_engine(const Element& source, Element& target, const StressOperation& operation);

/// The duplicated identifiers a target had before an operation, which it may keep but not add to.
struct DuplicatesBefore {
  std::unordered_set<std::string> sets[2];
  explicit DuplicatesBefore(const Element& target);
};

/// The message of the first fresh-duplicate check that fails.
std::optional<std::string> fresh_duplicate(const DuplicatesBefore& before, const Element& after);

}  // namespace kivo::stress::replay::detail
