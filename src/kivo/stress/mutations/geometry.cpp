#include "kivo/stress/mutations.hpp"
#include "kivo/stress/mutations/steps.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::mutations {
namespace {

struct RectCandidate {
  const TaggedId* layer;
  std::string_view rect_name;
};

void move_point(Element& point, Rng& rng) {
  const auto x = parse_attr_f64(point, "x");
  const auto y = parse_attr_f64(point, "y");
  if (!x || !y) return;
  const double dx = rng.gen_range_f64(-40, 40);
  const double dy = rng.gen_range_f64(-40, 40);
  point.set_attr("x", format_decimal(steps::non_negative(*x + dx)));
  point.set_attr("y", format_decimal(steps::non_negative(*y + dy)));
}

void scale_points(Element& element, Rng& rng) {
  if (element.name == "v") {
    const auto x = parse_attr_f64(element, "x");
    const auto y = parse_attr_f64(element, "y");
    if (x && y) {
      const double factor = rng.gen_range_f64(0.85, 1.15);
      element.set_attr("x", format_decimal(steps::non_negative(*x * factor)));
      element.set_attr("y", format_decimal(steps::non_negative(*y * factor)));
    }
  }
  for (auto& node : element.children) {
    if (Element* child = node.as_element()) scale_points(*child, rng);
  }
}

}  // namespace

void perturb_rect(Element& root, Rng& rng) {
  std::vector<TaggedId> layers;
  collect_layer_refs_rec(root, layers);
  std::vector<RectCandidate> candidates;
  candidates.reserve(layers.size() * 2);
  for (const TaggedId& layer : layers) {
    candidates.push_back({&layer, "InputRect"});
    candidates.push_back({&layer, "OutputRect"});
  }
  const RectCandidate* chosen = rng.choose(candidates);
  if (chosen == nullptr) return;
  Element* layer = find_element_mut_by_unique_id_tag(root, chosen->layer->id, chosen->layer->tag);
  if (layer == nullptr) return;
  Element* rect = xml_utils::child(*layer, chosen->rect_name);
  if (rect == nullptr) return;
  for (auto& node : rect->children) {
    Element* point = node.as_element();
    if (point != nullptr && point->name == "v") move_point(*point, rng);
  }
}

void perturb_mask(Element& mask, Rng& rng) { scale_points(mask, rng); }

double steps::non_negative(double value) { return value > 0 ? value : 0.0; }

}  // namespace kivo::stress::mutations
