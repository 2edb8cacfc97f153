// Strict runs also plan requests the engine must refuse, each held to its exact refusal text.
#include <array>

#include "kivo/stress/mutations.hpp"
#include "kivo/stress/oracle.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/stress/runner/tree_paths.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::runner {
namespace {

constexpr double kRefusalShare = 0.25;
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

// The oracle's expected outcome, as the planner states expectations.
ExpectedOutcome expectation_of(const Element& source, const Element& target,
                               const StressOperation& operation) {
  const oracle::Expectation expected = oracle::expect(source, target, operation);
  if (!expected.refusal) return {ExpectedOutcome::Success{}};
  constexpr std::string_view kPrefix = "error:";
  return {ExpectedOutcome::ErrorContains{expected.refusal->substr(kPrefix.size())}};
}

}  // namespace

std::optional<PlannedOperation> plan_operation_strict(const Element& source, const Element& target,
                                                      Rng& rng) {
  if (rng.gen_bool(kRefusalShare)) {
    const std::uint32_t kind = rng.gen_range_u32(0, kRefusalKinds);
    if (auto operation = refused_request(source, target, kind, rng)) {
      ExpectedOutcome expected = expectation_of(source, target, *operation);
      return PlannedOperation{std::move(*operation), std::move(expected)};
    }
  }
  // The strict corpus holds what the ordinary planner does not foresee (screens without layers,
  // slices without input rectangles), so the oracle words every expectation.
  auto planned = plan_operation(source, target, rng);
  if (planned) planned->expected = expectation_of(source, target, planned->operation);
  return planned;
}

}  // namespace kivo::stress::runner
