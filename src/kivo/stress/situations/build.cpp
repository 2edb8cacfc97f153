#include <algorithm>
#include <array>

#include "kivo/stress/situations.hpp"
#include "kivo/stress/situations/kinds.hpp"
#include "kivo/stress/situations/tree.hpp"

namespace kivo::stress::situations {
namespace {

using namespace detail;

constexpr std::array kKinds = {
    Kind{"aspect ladder", aspect_ladder},
    Kind{"boundary mask", boundary_mask},
    Kind{"degenerate rectangle", degenerate_rect},
    Kind{"geometry sweep", geometry_sweep},
    Kind{"overlapping identifiers", overlap_ids},
    Kind{"no numeric identifiers", no_numeric_ids},
    Kind{"extreme identifiers", extreme_ids, true},
    Kind{"largest identifiers signed", signed_largest, true},
    Kind{"identifier repeated in a subtree", repeated_in_subtree},
    Kind{"missing identifiers", missing_identifiers},
    Kind{"screen names", screen_names},
    Kind{"layer names", layer_names},
    Kind{"output devices", output_devices},
    Kind{"prefixed elements", prefixed},
    Kind{"letter-case decoys", case_decoys},
    Kind{"unusual orders", unusual_orders},
    Kind{"mixed content", mixed_content},
    Kind{"second layers", second_layers},
    Kind{"other screen kinds", other_screen_kinds},
    Kind{"two masks", multiple_masks},
    Kind{"screens list shapes", screens_shape},
};

// Keeps `keep` of the element children of `parent` that `counts` selects, drawn in order; every
// other child stays.
template <class Counts>
void keep_some(Element& parent, std::uint64_t keep, Counts counts, Rng& rng) {
  std::vector<std::size_t> candidates;
  for (std::size_t i = 0; i < parent.children.size(); ++i) {
    const Element* element = parent.children[i].as_element();
    if (element && counts(*element)) candidates.push_back(i);
  }
  if (candidates.size() <= keep) return;
  rng.shuffle(candidates);
  candidates.resize(candidates.size() - keep);
  std::ranges::sort(candidates, std::greater<>());
  for (std::size_t i : candidates) {
    parent.children.erase(parent.children.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

}  // namespace

std::span<const Kind> kinds() { return kKinds; }

void cut_small(Element& root, Rng& rng) {
  Element* list = screens_list(root);
  if (!list) return;
  keep_some(
      *list, rng.gen_range(1, 4), [](const Element&) { return true; }, rng);
  for (Element* screen : screens_of(root)) {
    if (Element* layers = child(*screen, "layers")) {
      keep_some(
          *layers, rng.gen_range(1, 5), [](const Element&) { return true; }, rng);
    }
  }
}

void build(Element& root, Rng& rng, std::uint64_t count) {
  std::vector<const Kind*> chosen, last;
  for (const Kind& kind : kKinds) {
    if (rng.gen_bool(0.5)) (kind.last ? last : chosen).push_back(&kind);
  }
  if (chosen.empty()) chosen.push_back(&kKinds[rng.gen_range(0, kKinds.size())]);
  for (std::uint64_t i = 0; i < count; ++i) {
    chosen[rng.gen_range(0, chosen.size())]->build(root, rng);
  }
  for (const Kind* kind : last) kind->build(root, rng);
}

}  // namespace kivo::stress::situations
