#pragma once

// The planner of strict runs. Each pair may use a random subset of the request kinds (swarm
// testing: rare combinations are not drowned by common ones); two tables are covered in turn over
// the run, every pair of request faults and every request kind against every kind of screen; and
// of a few candidate requests per slot, the one that makes the decision, or pair of decisions,
// the run has made least often is kept (the oracle's decisions serve as coverage feedback).

#include <array>
#include <deque>
#include <optional>

#include "kivo/element.hpp"
#include "kivo/stress/rng.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/stress/runner/decision_coverage.hpp"
#include "kivo/stress/runner/strict_requests.hpp"

namespace kivo::stress::runner {

class StrictPlanner {
 public:
  /// A planner whose tables are covered in an order drawn from `rng`.
  explicit StrictPlanner(Rng& rng);
  /// Draws the request kinds the next pair may use.
  void start_pair(Rng& rng);
  /// One operation with the oracle's exact expectation, or nothing; reads both documents only.
  std::optional<PlannedOperation> plan(const Element& source, const Element& target, Rng& rng);
  /// How often the planned operations made each decision, whatever the kind of request.
  std::vector<std::uint64_t> decisions_made() const;

 private:
  // The first request of a slot that needs both documents' views reads them into `views` (`read`
  // in `request`), and the slot's other requests take them from there.
  std::optional<StressOperation> candidate(const Element& source, const Element& target,
                                           std::optional<strict::Views>& views, Rng& rng);
  std::optional<StressOperation> request(std::size_t kind, const Element& source,
                                         const Element& target, std::optional<strict::Views>& read,
                                         Rng& rng);
  std::uint32_t enabled_ = 0;
  DecisionCoverage coverage_;
  std::deque<strict::Combination> fault_pairs_;
  std::deque<strict::Combination> crossings_;
};

}  // namespace kivo::stress::runner
