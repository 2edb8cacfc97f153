#pragma once

// The requests strict runs plan on top of the ordinary families: requests with one or two things
// wrong (every pair of the faults the engine checks), every kind of request against every kind of
// screen, pastes on the aspect limit and pastes that keep coordinates as they are.

#include <optional>
#include <string_view>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/stress/operation.hpp"
#include "kivo/stress/rng.hpp"
#include "kivo/stress/runner/strict_view.hpp"

namespace kivo::stress::runner::strict {

/// The two documents of a pair as the planner sees them.
struct Views {
  DocumentView source;
  DocumentView target;
};

/// A combination the planner must cover: two request faults, or a request kind with the kinds of
/// screens it meets on either side.
struct Combination {
  std::uint8_t first = 0;
  std::uint8_t second = 0;
  std::uint8_t third = 0;
};

/// Every pair of request faults that change different parts of one request.
std::vector<Combination> fault_pairs();
/// Whether both faults of `pair` can be built from these documents.
bool fault_pair_fits(const Combination& pair, const Views& views);
/// The request with both faults of `pair`.
std::optional<StressOperation> fault_pair_request(const Combination& pair, const Views& views,
                                                  Rng& rng);

/// Every request kind (screen, slice, mask, paste) with every kind of source and target screen.
std::vector<Combination> kind_crossings();
/// Whether the documents hold what `crossing` needs.
bool crossing_fits(const Combination& crossing, const Views& views);
/// The request of `crossing`.
std::optional<StressOperation> crossing_request(const Combination& crossing, const Views& views,
                                                Rng& rng);

/// A paste between a masked slice and a slice whose aspect ratios are as near the limit as the
/// documents allow.
std::optional<StressOperation> limit_paste(const Views& views, Rng& rng);
/// A paste between two slices with the same input box, so the mask keeps its coordinates.
std::optional<StressOperation> same_box_paste(const Views& views, Rng& rng);
/// A copy whose new uniqueIds will equal idHash values the copied subtree holds.
std::optional<StressOperation> colliding_copy(const Element& source, const Element& target,
                                              const Views& views, Rng& rng);
/// A copy of a layer from any list of any screen into any child of the target's screens list.
std::optional<StressOperation> layer_from_anywhere(const Views& views, Rng& rng);

}  // namespace kivo::stress::runner::strict
