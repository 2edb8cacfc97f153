#pragma once

// The duplicate-identity invariant, shared by the ordinary and the strict checked execution.

#include <array>
#include <optional>
#include <string>
#include <unordered_set>

#include "kivo/element.hpp"

namespace kivo::stress::replay::detail {

/// The duplicated identifiers a target had before an operation, which it may keep but not add to.
struct DuplicatesBefore {
  std::array<std::unordered_set<std::string>, 2> sets;
  explicit DuplicatesBefore(const Element& target);
};

/// The message of the first fresh-duplicate check that fails.
std::optional<std::string> fresh_duplicate(const DuplicatesBefore& before, const Element& after);

}  // namespace kivo::stress::replay::detail
