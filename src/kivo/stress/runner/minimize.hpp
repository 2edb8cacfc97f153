#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/operation.hpp"

namespace kivo::stress::runner {

/// What the first failure looked like, so a shorter trace can be told to fail the same way.
struct FirstFailure {
  std::string message;
  std::string outcome;
};

/// The shortest suffix of `trace` that, replayed from the pair's starting documents, still
/// fails the same way; nothing when no suffix does.
std::optional<std::vector<OperationTraceItem>> shorten_trace(
    const std::vector<OperationTraceItem>& trace, const Element& source_before,
    const Element& target_before, const FirstFailure& failure, bool strict);

}  // namespace kivo::stress::runner
