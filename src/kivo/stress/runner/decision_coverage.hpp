#pragma once

// How often a run's planned operations made each decision of the oracle, and each pair of them
// together, counted apart for screen copies, slice copies, mask copies and pastes: the coverage
// the strict planner steers by (a rare pair is an interaction the engine has rarely been shown).

#include <cstdint>
#include <vector>

#include "kivo/stress/operation.hpp"
#include "kivo/stress/oracle/decisions.hpp"

namespace kivo::stress::runner {

class DecisionCoverage {
 public:
  DecisionCoverage();
  /// How often the run made the least made decision or pair of decisions of `decisions`, for
  /// the kind of `operation`.
  std::uint64_t rarity(const StressOperation& operation, const oracle::Decisions& decisions) const;
  /// Counts the decisions of one planned operation.
  void add(const StressOperation& operation, const oracle::Decisions& decisions);
  /// How often each decision was made, whatever the kind of request.
  std::vector<std::uint64_t> made() const;

 private:
  static constexpr std::size_t kDecisions = static_cast<std::size_t>(oracle::Decision::Count);
  static constexpr std::size_t kKinds = 4;
  std::uint32_t& count(std::size_t kind, std::size_t first, std::size_t second);
  std::uint32_t count(std::size_t kind, std::size_t first, std::size_t second) const;
  std::vector<std::uint32_t> counts_;
};

}  // namespace kivo::stress::runner
