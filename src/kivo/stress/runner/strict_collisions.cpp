// Copies whose new identifiers of one kind meet old identifiers of the other kind: the new
// uniqueIds of a copy follow the target's largest one, so a subtree whose idHash values lie just
// above it makes the renumbering of both kinds meet.
#include <algorithm>

#include "kivo/stress/oracle/detail.hpp"
#include "kivo/stress/runner/strict_requests.hpp"

namespace kivo::stress::runner::strict {
namespace {

struct Counts {
  std::uint64_t unique_ids = 0;
  std::vector<std::uint64_t> hashes;
};

void count(const Element& element, Counts& counts) {
  if (element.attr("uniqueId")) ++counts.unique_ids;
  if (const std::string* hash = element.attr("idHash")) {
    if (auto number = oracle::detail::numeric_reading(*hash)) counts.hashes.push_back(*number);
  }
  for (const XMLNode& node : element.children) {
    if (const Element* child = node.as_element()) count(*child, counts);
  }
}

std::uint64_t largest_unique_id(const Element& element) {
  std::uint64_t largest = 0;
  if (const std::string* id = element.attr("uniqueId"))
    largest = oracle::detail::numeric_reading(*id).value_or(0);
  for (const XMLNode& node : element.children) {
    if (const Element* child = node.as_element())
      largest = std::max(largest, largest_unique_id(*child));
  }
  return largest;
}

bool collides(const Element& subtree, std::uint64_t largest) {
  Counts counts;
  count(subtree, counts);
  for (std::uint64_t hash : counts.hashes) {
    if (hash > largest && hash - largest <= counts.unique_ids) return true;
  }
  return false;
}

}  // namespace

std::optional<StressOperation> colliding_copy(const Element& source, const Element& target,
                                              const Views& views, Rng& rng) {
  const std::uint64_t largest = largest_unique_id(target);
  const Element* setup = oracle::first_child_named(source, "ScreenSetup");
  const Element* list = setup ? oracle::first_child_named(*setup, "screens") : nullptr;
  if (!list) return std::nullopt;
  std::vector<StressOperation> found;
  const auto targets = screen_ids(views.target, ScreenKind::Screen);
  for (const XMLNode& node : list->children) {
    const Element* screen = node.as_element();
    const std::string* id = screen ? screen->attr("uniqueId") : nullptr;
    if (!id || screen->name != "Screen") continue;
    if (collides(*screen, largest)) found.push_back({StressCopy{"screen", *id, {}, {}}});
    const Element* layers = oracle::first_child_named(*screen, "layers");
    const std::string* onto = rng.choose(targets);
    if (!layers || !onto) continue;
    for (const XMLNode& layer_node : layers->children) {
      const Element* layer = layer_node.as_element();
      const std::string* layer_id = layer ? layer->attr("uniqueId") : nullptr;
      if (!layer_id || (layer->name != "Slice" && layer->name != "Mask")) continue;
      if (collides(*layer, largest)) {
        found.push_back(
            {StressCopy{layer->name == "Slice" ? "slice" : "mask", *layer_id, *id, *onto}});
      }
    }
  }
  const StressOperation* chosen = rng.choose(found);
  return chosen ? std::optional(*chosen) : std::nullopt;
}

}  // namespace kivo::stress::runner::strict
