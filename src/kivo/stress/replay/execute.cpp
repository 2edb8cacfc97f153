#include <optional>

#include "kivo/stress/checks.hpp"
#include "kivo/stress/guard.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/replay/fresh_duplicates.hpp"

namespace kivo::stress::replay {
namespace detail {

std::optional<std::string> fresh_duplicate(const checks::IdentityDuplicates& before,
                                           const checks::IdentityDuplicates& after) {
  for (std::size_t i = 0; i < before.size(); ++i) {
    auto fresh =
        checks::ensure_no_fresh_duplicates(before[i], after[i], checks::kIdentityAttributes[i]);
    if (!fresh) return fresh.error().message();
  }
  return std::nullopt;
}

checks::IdentityDuplicates take_or_walk(Carried* carried, const Element& target) {
  if (carried == nullptr || !carried->target_duplicates) {
    return checks::duplicate_identities(target);
  }
  checks::IdentityDuplicates taken = std::move(*carried->target_duplicates);
  carried->target_duplicates.reset();
  return taken;
}

}  // namespace detail

std::string execute_with_invariants(const Element& source, Element& target,
                                    const StressOperation& operation, Carried* carried) {
  const checks::IdentityDuplicates before = detail::take_or_walk(carried, target);
  auto engine = guard::call_engine(source, target, operation);
  if (engine.failure) return *engine.failure;
  checks::IdentityDuplicates after = checks::duplicate_identities(target);
  auto duplicate = detail::fresh_duplicate(before, after);
  if (carried != nullptr) carried->target_duplicates = std::move(after);
  if (duplicate) return "invariant:" + *duplicate;
  // Validation messages never fail an operation; only the round trip and structure do.
  if (auto roundtrip = checks::roundtrip_parse_and_validate(target); !roundtrip) {
    return "invariant:" + roundtrip.error().message();
  }
  return "success";
}

std::string execute_checked(const Element& source, Element& target,
                            const StressOperation& operation, bool strict, Carried* carried) {
  return strict ? execute_strict(source, target, operation, carried)
                : execute_with_invariants(source, target, operation, carried);
}

}  // namespace kivo::stress::replay
