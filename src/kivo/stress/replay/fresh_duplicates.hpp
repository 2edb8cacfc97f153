#pragma once

// The duplicate-identity invariant, shared by the ordinary and the strict checked execution.

#include <optional>
#include <string>

#include "kivo/stress/checks.hpp"
#include "kivo/stress/replay.hpp"

namespace kivo::stress::replay::detail {

/// The message of the first identity whose duplicates in `after` are not all in `before`: a
/// target may keep the duplicates it had, but not add to them.
std::optional<std::string> fresh_duplicate(const checks::IdentityDuplicates& before,
                                           const checks::IdentityDuplicates& after);

/// The target's duplicates `carried` holds (leaving none), or those of a walk of `target`.
checks::IdentityDuplicates take_or_walk(Carried* carried, const Element& target);

}  // namespace kivo::stress::replay::detail
