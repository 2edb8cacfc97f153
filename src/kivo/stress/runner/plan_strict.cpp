// Strict runs also plan requests the engine must refuse, each held to its exact refusal text.
#include <array>

#include "kivo/stress/mutations.hpp"
#include "kivo/stress/oracle.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/stress/runner/strict_planner.hpp"
#include "kivo/stress/runner/tree_paths.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::runner {
namespace {

constexpr std::uint32_t kRefusalKinds = 12;
const std::string kMissingScreen = "kivo-no-such-screen";
const std::string kMissingSlice = "kivo-no-such-slice";
constexpr std::array<const char*, 5> kOtherPolicies = {"autorenameremap", "AutoRenameRemap",
                                                       "overwrite", "", "autoRenameRemap "};

using Copy = StressOperation::Copy;
using Paste = StressOperation::InputMask;

std::vector<std::string> ids_named(const Element& root, std::string_view name) {
  std::vector<std::string> ids;
  mutations::collect_ids_by_tag_rec(root, name, ids);
  return ids;
}

std::string chosen_or(Rng& rng, const std::vector<std::string>& ids, const std::string& fallback) {
  const std::string* id = rng.choose(ids);
  return id ? *id : fallback;
}

std::vector<std::string> screens_without_layers(const Element& root) {
  std::vector<std::string> ids;
  const Element* screens = screens_list(root.children);
  if (!screens) return ids;
  for (const XMLNode& node : screens->children) {
    const Element* screen = node.as_element();
    const std::string* id = screen ? screen->attr("uniqueId") : nullptr;
    if (id && screen->name == "Screen" && !xml_utils::child(*screen, "layers")) ids.push_back(*id);
  }
  return ids;
}

std::vector<std::string> slice_ids(const std::vector<SliceInfo>& slices, bool masked,
                                   bool measurable) {
  std::vector<std::string> ids;
  for (const SliceInfo& slice : slices) {
    if (slice.has_mask == masked && slice.input_aspect.has_value() == measurable) {
      ids.push_back(slice.unique_id);
    }
  }
  return ids;
}

// One copy request of a layer, with its parts changed by `shape`.
template <class Shape>
std::optional<StressOperation> layer_request(const Element& source, const Element& target, Rng& rng,
                                             Shape shape) {
  const bool slice = rng.gen_bool(0.5);
  const auto candidates = layer_candidates(source, slice ? "Slice" : "Mask");
  const LayerCandidate* layer = rng.choose(candidates);
  if (!layer) return std::nullopt;
  Copy copy{slice ? "slice" : "mask", layer->unique_id, layer->screen_id,
            chosen_or(rng, ids_named(target, "Screen"), kMissingScreen), std::nullopt};
  shape(copy, rng);
  return StressOperation{std::move(copy)};
}

std::optional<StressOperation> paste_request(const std::vector<std::string>& from,
                                             const std::vector<std::string>& onto, Rng& rng) {
  const std::string* source_slice = rng.choose(from);
  if (!source_slice) return std::nullopt;
  const std::string* target_slice = rng.choose(onto);
  if (!target_slice) return std::nullopt;
  return StressOperation{Paste{*source_slice, *target_slice, rng.gen_bool(0.5)}};
}

std::optional<StressOperation> refused_request(const Element& source, const Element& target,
                                               std::uint32_t kind, Rng& rng) {
  const auto source_slices = collect_slices(source.children);
  const auto target_slices = collect_slices(target.children);
  std::vector<std::string> all_targets;
  for (const SliceInfo& slice : target_slices) all_targets.push_back(slice.unique_id);
  std::vector<std::string> masked_sources;
  for (const SliceInfo& slice : source_slices) {
    if (slice.has_mask) masked_sources.push_back(slice.unique_id);
  }
  switch (kind) {
    case 0: {
      const auto screens = ids_named(source, "Screen");
      const std::string* screen = rng.choose(screens);
      if (!screen) return std::nullopt;
      const std::size_t policy = rng.gen_range(0, kOtherPolicies.size());
      return StressOperation{
          Copy{"screen", *screen, std::nullopt, std::nullopt, kOtherPolicies[policy]}};
    }
    case 1:
      return StressOperation{Copy{"screen",
                                  chosen_or(rng, ids_named(source, "DmxScreen"), kMissingScreen),
                                  std::nullopt, std::nullopt, std::nullopt}};
    case 2:
      return layer_request(source, target, rng,
                           [](Copy& copy, Rng&) { copy.source_parent_unique_id.reset(); });
    case 3:
      return layer_request(source, target, rng,
                           [](Copy& copy, Rng&) { copy.target_screen_unique_id.reset(); });
    case 4:
      return layer_request(source, target, rng, [&](Copy& copy, Rng& r) {
        copy.target_screen_unique_id = chosen_or(r, ids_named(target, "DmxScreen"), kMissingScreen);
      });
    case 5:
      return layer_request(source, target, rng, [&](Copy& copy, Rng& r) {
        auto others = ids_named(source, "Screen");
        std::erase(others, *copy.source_parent_unique_id);
        copy.source_parent_unique_id = chosen_or(r, others, kMissingScreen);
      });
    case 6:
      return layer_request(source, target, rng, [](Copy& copy, Rng&) {
        copy.source_kind = copy.source_kind == "slice" ? "mask" : "slice";
      });
    case 7:
      return paste_request(slice_ids(source_slices, false, true), all_targets, rng);
    case 8:
      return paste_request(masked_sources, {kMissingSlice}, rng);
    case 9:
      return paste_request(masked_sources, slice_ids(target_slices, false, false), rng);
    case 10:
      return paste_request({chosen_or(rng, ids_named(source, "Mask"), kMissingSlice)}, all_targets,
                           rng);
    default:
      return layer_request(source, target, rng, [&](Copy& copy, Rng& r) {
        copy.target_screen_unique_id = chosen_or(r, screens_without_layers(target), kMissingScreen);
      });
  }
}

// Request kinds with their weights; the covered tables are never left out of a pair.
struct RequestKind {
  std::uint32_t weight;
  bool always;
};
enum : std::size_t {
  kOrdinary,
  kRefusal,
  kFaultPair,
  kCrossing,
  kLimit,
  kSameBox,
  kAnywhere,
  kColliding
};
// Candidate requests per slot; the rarest of them is planned.
constexpr std::size_t kCandidates = 8;
constexpr RequestKind kRequestKinds[] = {{6, false}, {2, false}, {3, true},  {2, true},
                                         {3, false}, {3, false}, {1, false}, {2, false}};

// Takes the first combination of `queue` the documents allow and moves it to the back, so that
// combinations that do not fit yet stay first in line.
template <class Fits>
std::optional<strict::Combination> next_fitting(std::deque<strict::Combination>& queue, Fits fits) {
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (!fits(*it)) continue;
    const strict::Combination chosen = *it;
    queue.erase(it);
    queue.push_back(chosen);
    return chosen;
  }
  return std::nullopt;
}

template <class T>
std::deque<T> shuffled(std::vector<T> items, Rng& rng) {
  rng.shuffle(items);
  return {items.begin(), items.end()};
}

}  // namespace

StrictPlanner::StrictPlanner(Rng& rng)
    : fault_pairs_(shuffled(strict::fault_pairs(), rng)),
      crossings_(shuffled(strict::kind_crossings(), rng)) {}

void StrictPlanner::start_pair(Rng& rng) {
  enabled_ = 0;
  for (std::size_t kind = 0; kind < std::size(kRequestKinds); ++kind) {
    if (kRequestKinds[kind].always || rng.gen_bool(0.5)) enabled_ |= 1u << kind;
  }
}

std::optional<StressOperation> StrictPlanner::request(std::size_t kind, const Element& source,
                                                      const Element& target,
                                                      std::optional<strict::Views>& read,
                                                      Rng& rng) {
  if (kind == kRefusal) {
    return refused_request(source, target, rng.gen_range_u32(0, kRefusalKinds), rng);
  }
  if (!read) read.emplace(strict::Views{strict::view_of(source), strict::view_of(target)});
  const strict::Views& views = *read;
  switch (kind) {
    case kFaultPair: {
      auto pair = next_fitting(fault_pairs_,
                               [&](const auto& c) { return strict::fault_pair_fits(c, views); });
      return pair ? strict::fault_pair_request(*pair, views, rng) : std::nullopt;
    }
    case kCrossing: {
      auto crossing =
          next_fitting(crossings_, [&](const auto& c) { return strict::crossing_fits(c, views); });
      return crossing ? strict::crossing_request(*crossing, views, rng) : std::nullopt;
    }
    case kLimit:
      return strict::limit_paste(views, rng);
    case kSameBox:
      return strict::same_box_paste(views, rng);
    case kColliding:
      return strict::colliding_copy(source, target, views, rng);
    default:
      return strict::layer_from_anywhere(views, rng);
  }
}

std::optional<StressOperation> StrictPlanner::candidate(const Element& source,
                                                        const Element& target,
                                                        std::optional<strict::Views>& views,
                                                        Rng& rng) {
  std::uint32_t total = 0;
  for (std::size_t kind = 0; kind < std::size(kRequestKinds); ++kind) {
    if (enabled_ & (1u << kind)) total += kRequestKinds[kind].weight;
  }
  std::uint32_t roll = rng.gen_range_u32(0, total);
  std::size_t kind = 0;
  for (; kind < std::size(kRequestKinds); ++kind) {
    if (!(enabled_ & (1u << kind))) continue;
    if (roll < kRequestKinds[kind].weight) break;
    roll -= kRequestKinds[kind].weight;
  }
  if (kind != kOrdinary) {
    if (auto operation = request(kind, source, target, views, rng)) return operation;
  }
  auto planned = plan_operation(source, target, rng);
  return planned ? std::optional(std::move(planned->operation)) : std::nullopt;
}

std::optional<PlannedOperation> StrictPlanner::plan(const Element& source, const Element& target,
                                                    Rng& rng) {
  // The candidates are all weighed on the same documents, so what is read of them once serves
  // every candidate.
  const oracle::TargetHeld held(target);
  std::optional<strict::Views> views;
  std::optional<StressOperation> best;
  oracle::Expectation best_expected;
  std::uint64_t best_rarity = UINT64_MAX;
  for (std::size_t i = 0; i < kCandidates; ++i) {
    auto operation = candidate(source, target, views, rng);
    if (!operation) continue;
    oracle::Expectation expected = oracle::expect(source, target, *operation);
    expected.decisions |= oracle::shape_decisions(source, target, *operation);
    const std::uint64_t rarity = coverage_.rarity(*operation, expected.decisions);
    if (rarity < best_rarity || !best) {
      best = std::move(operation);
      best_expected = std::move(expected);
      best_rarity = rarity;
    }
  }
  if (!best) return std::nullopt;
  coverage_.add(*best, best_expected.decisions);
  ExpectedOutcome expected{ExpectedOutcome::Success{}};
  if (best_expected.refusal) {
    constexpr std::string_view kPrefix = "error:";
    expected = {ExpectedOutcome::ErrorContains{best_expected.refusal->substr(kPrefix.size())}};
  }
  return PlannedOperation{std::move(*best), std::move(expected)};
}

std::vector<std::uint64_t> StrictPlanner::decisions_made() const { return coverage_.made(); }

}  // namespace kivo::stress::runner
