#include <optional>

#include "kivo/stress/checks.hpp"
#include "kivo/stress/guard.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/replay/fresh_duplicates.hpp"

namespace kivo::stress::replay {
namespace detail {

// Taking the sets up front spares a deep copy of the target on every step.
DuplicatesBefore::DuplicatesBefore(const Element& target)
    : sets(checks::duplicate_identities(target)) {}

std::optional<std::string> fresh_duplicate(const DuplicatesBefore& before, const Element& after) {
  const auto after_sets = checks::duplicate_identities(after);
  for (std::size_t i = 0; i < 2; ++i) {
    auto fresh = checks::ensure_no_fresh_duplicates(before.sets[i], after_sets[i],
                                                    checks::kIdentityAttributes[i]);
    if (!fresh) return fresh.error().message();
  }
  return std::nullopt;
}

}  // namespace detail

std::string execute_with_invariants(const Element& source, Element& target,
                                    const StressOperation& operation) {
  const detail::DuplicatesBefore before(target);
  auto engine = guard::call_engine(source, target, operation);
  if (engine.failure) return *engine.failure;
  if (auto duplicate = detail::fresh_duplicate(before, target)) return "invariant:" + *duplicate;
  // Validation messages never fail an operation; only the round trip and structure do.
  if (auto roundtrip = checks::roundtrip_parse_and_validate(target); !roundtrip) {
    return "invariant:" + roundtrip.error().message();
  }
  return "success";
}

std::string execute_checked(const Element& source, Element& target,
                            const StressOperation& operation, bool strict) {
  return strict ? execute_strict(source, target, operation)
                : execute_with_invariants(source, target, operation);
}

}  // namespace kivo::stress::replay
