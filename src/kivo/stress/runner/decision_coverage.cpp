#include "kivo/stress/runner/decision_coverage.hpp"

#include <algorithm>

namespace kivo::stress::runner {
namespace {

// Screen copy, slice copy, mask copy or paste.
std::size_t kind_of(const StressOperation& operation) {
  const auto* copy = std::get_if<StressCopy>(&operation.value);
  if (!copy) return 3;
  return copy->source_kind == "screen" ? 0 : copy->source_kind == "slice" ? 1 : 2;
}

std::vector<std::size_t> made_in(const oracle::Decisions& decisions) {
  std::vector<std::size_t> made;
  for (std::size_t d = 0; d < decisions.size(); ++d) {
    if (decisions[d]) made.push_back(d);
  }
  return made;
}

}  // namespace

DecisionCoverage::DecisionCoverage() : counts_(kKinds * kDecisions * kDecisions, 0) {}

std::uint32_t& DecisionCoverage::count(std::size_t kind, std::size_t first, std::size_t second) {
  return counts_[(kind * kDecisions + first) * kDecisions + second];
}

std::uint32_t DecisionCoverage::count(std::size_t kind, std::size_t first,
                                      std::size_t second) const {
  return counts_[(kind * kDecisions + first) * kDecisions + second];
}

std::uint64_t DecisionCoverage::rarity(const StressOperation& operation,
                                       const oracle::Decisions& decisions) const {
  const std::size_t kind = kind_of(operation);
  const std::vector<std::size_t> made = made_in(decisions);
  std::uint64_t rarest = UINT64_MAX;
  for (std::size_t i = 0; i < made.size(); ++i) {
    for (std::size_t j = i; j < made.size(); ++j) {
      rarest = std::min<std::uint64_t>(rarest, count(kind, made[i], made[j]));
    }
  }
  return rarest;
}

void DecisionCoverage::add(const StressOperation& operation, const oracle::Decisions& decisions) {
  const std::size_t kind = kind_of(operation);
  const std::vector<std::size_t> made = made_in(decisions);
  for (std::size_t i = 0; i < made.size(); ++i) {
    for (std::size_t j = i; j < made.size(); ++j) ++count(kind, made[i], made[j]);
  }
}

std::vector<std::uint64_t> DecisionCoverage::made() const {
  std::vector<std::uint64_t> made(kDecisions, 0);
  for (std::size_t kind = 0; kind < kKinds; ++kind) {
    for (std::size_t d = 0; d < kDecisions; ++d) made[d] += count(kind, d, d);
  }
  return made;
}

}  // namespace kivo::stress::runner
