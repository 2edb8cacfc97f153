#include "kivo/stress/runner.hpp"
#include "kivo/stress/runner/tree_paths.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::runner {
namespace {

constexpr double kAspectMismatchRatio = 1.35;
constexpr double kOverwriteProbability = 0.55;

PlannedOperation expect_success(StressOperation::Copy copy) {
  return {{std::move(copy)}, {ExpectedOutcome::Success{}}};
}

PlannedOperation expect_error(StressOperation::InputMask paste, std::string fragment) {
  return {{std::move(paste)}, {ExpectedOutcome::ErrorContains{std::move(fragment)}}};
}

std::vector<SliceInfo> masked(std::vector<SliceInfo> slices) {
  std::erase_if(slices, [](const SliceInfo& slice) { return !slice.has_mask; });
  return slices;
}

std::optional<PlannedOperation> plan_screen_copy(const Element& source, Rng& rng) {
  std::vector<std::string> ids;
  collect_screen_ids_rec(source, ids);
  const std::string* id = rng.choose(ids);
  if (!id) return std::nullopt;
  return expect_success({"screen", *id, std::nullopt, std::nullopt});
}

std::optional<PlannedOperation> plan_layer_copy(const Element& source, const Element& target,
                                                std::string_view tag, std::string kind, Rng& rng) {
  const std::vector<LayerCandidate> candidates = layer_candidates(source, tag);
  std::vector<std::string> target_screens;
  collect_screen_ids_rec(target, target_screens);
  const LayerCandidate* candidate = rng.choose(candidates);
  if (!candidate) return std::nullopt;
  const std::string* target_screen = rng.choose(target_screens);
  if (!target_screen) return std::nullopt;
  return expect_success(
      {std::move(kind), candidate->unique_id, candidate->screen_id, *target_screen});
}

// Both rectangles must be measurable: otherwise the engine refuses with its geometry message
// before it ever looks at the existing mask.
std::optional<PlannedOperation> plan_refused_overwrite(const Element& source, const Element& target,
                                                       Rng& rng) {
  auto measurable_masked = [](const Element& root) {
    auto slices = masked(collect_slices(root.children));
    std::erase_if(slices, [](const SliceInfo& slice) { return !slice.input_aspect; });
    return slices;
  };
  const auto sources = measurable_masked(source);
  if (sources.empty()) return plan_input_mask_generic(source.children, target.children, rng);
  const SliceInfo* from = rng.choose(sources);
  const auto targets = measurable_masked(target);
  if (targets.empty()) return plan_input_mask_generic(source.children, target.children, rng);
  const SliceInfo* onto = rng.choose(targets);
  return expect_error({from->unique_id, onto->unique_id, false}, "already has an input mask");
}

double aspect_ratio_between(double a, double b) { return a > b ? a / b : b / a; }

std::optional<PlannedOperation> plan_aspect_mismatch(const Element& source, const Element& target,
                                                     Rng& rng) {
  const auto sources = masked(collect_slices(source.children));
  const auto targets = collect_slices(target.children);
  for (std::size_t source_index : rng.sample(sources.size())) {
    const SliceInfo& from = sources[source_index];
    if (!from.input_aspect) continue;
    for (std::size_t target_index : rng.sample(targets.size())) {
      const SliceInfo& onto = targets[target_index];
      if (!onto.input_aspect) continue;
      if (aspect_ratio_between(*from.input_aspect, *onto.input_aspect) > kAspectMismatchRatio) {
        return expect_error({from.unique_id, onto.unique_id, true},
                            "aspect ratios are too different");
      }
    }
  }
  return plan_input_mask_generic(source.children, target.children, rng);
}

}  // namespace

std::vector<LayerCandidate> layer_candidates(const Element& source, std::string_view tag) {
  std::vector<LayerCandidate> candidates;
  const Element* screens = screens_list(source.children);
  if (!screens) return candidates;
  for (const auto& node : screens->children) {
    const Element* screen = node.as_element();
    const std::string* screen_id = screen ? screen->attr("uniqueId") : nullptr;
    if (!screen || screen->name != "Screen" || !screen_id) continue;
    const Element* layers = xml_utils::child(*screen, "layers");
    if (!layers) continue;
    for (const auto& layer_node : layers->children) {
      const Element* layer = layer_node.as_element();
      const std::string* id = layer ? layer->attr("uniqueId") : nullptr;
      if (layer && layer->name == tag && id) candidates.push_back({*id, *screen_id});
    }
  }
  return candidates;
}

std::optional<PlannedOperation> plan_input_mask_generic(std::span<const XMLNode> source_children,
                                                        std::span<const XMLNode> target_children,
                                                        Rng& rng) {
  const auto sources = masked(collect_slices(source_children));
  const auto targets = collect_slices(target_children);
  const SliceInfo* from = rng.choose(sources);
  if (!from) return std::nullopt;
  const SliceInfo* onto = rng.choose(targets);
  if (!onto) return std::nullopt;
  const bool allow_overwrite = rng.gen_bool(kOverwriteProbability);
  return PlannedOperation{
      {StressOperation::InputMask{from->unique_id, onto->unique_id, allow_overwrite}},
      {ExpectedOutcome::Any{}}};
}

std::optional<PlannedOperation> plan_operation(const Element& source, const Element& target,
                                               Rng& rng) {
  const std::uint32_t roll = rng.gen_range_u32(0, 100);
  if (roll < 25) return plan_screen_copy(source, rng);
  if (roll < 50) return plan_layer_copy(source, target, "Slice", "slice", rng);
  if (roll < 65) return plan_layer_copy(source, target, "Mask", "mask", rng);
  if (roll < 82) return plan_input_mask_generic(source.children, target.children, rng);
  if (roll < 92) return plan_refused_overwrite(source, target, rng);
  return plan_aspect_mismatch(source, target, rng);
}

}  // namespace kivo::stress::runner
