#pragma once

// Checks of the strict execution that go beyond comparing a copy with the oracle's.

#include <optional>
#include <string>

#include "kivo/element.hpp"
#include "kivo/stress/checks.hpp"
#include "kivo/stress/operation.hpp"

namespace kivo::stress::replay::detail {

/// True when the subtree holds one uniqueId, or one idHash, twice: a copy of it keeps the value
/// twice under its new one, so the fresh-duplicate check cannot judge it.
bool holds_an_identifier_twice(const Element& subtree);

/// How the library's validation of the re-read target differs from the oracle's, and then of
/// that target given one or two defects validation must report (chosen by the operation alone,
/// so a replay makes the same choice). Changes the re-read tree.
std::optional<std::string> validation_difference(checks::RoundTrip& roundtrip,
                                                 const StressOperation& operation);

}  // namespace kivo::stress::replay::detail
