#include "kivo/stress/mutations.hpp"
#include "kivo/stress/mutations/steps.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::mutations::steps {
namespace {

// Positions, among all children of `layers`, of the "Slice" and "Mask" elements.
std::vector<std::size_t> layer_positions(const Element& layers) {
  std::vector<std::size_t> positions;
  for (std::size_t i = 0; i < layers.children.size(); ++i) {
    const Element* child = layers.children[i].as_element();
    if (child != nullptr && (child->name == "Slice" || child->name == "Mask")) {
      positions.push_back(i);
    }
  }
  return positions;
}

void remove_layer(Element& layers, const std::vector<std::size_t>& positions, Rng& rng) {
  const std::size_t* position = rng.choose(positions);
  layers.children.erase(layers.children.begin() + static_cast<std::ptrdiff_t>(*position));
}

void duplicate_layer(Element& layers, const std::vector<std::size_t>& positions, Rng& rng) {
  const std::size_t* position = rng.choose(positions);
  XMLNode copy = layers.children[*position];
  Element& layer = *copy.as_element();
  remap_ids_in_subtree(layer, rng);
  const Element* common = params_by_name(layer.children, "Common");
  const std::string base =
      (common != nullptr ? find_param_value(common->children, "Name") : std::nullopt)
          .value_or(layer.name);
  if (Element* group = xml_utils::params_by_name(layer, "Common")) {
    xml_utils::set_param_value(*group, "Name", base + " Copy");
  }
  layers.children.push_back(std::move(copy));
}

}  // namespace

void remove_or_duplicate_layer(Element& root, Rng& rng) {
  const std::vector<std::string> ids = screen_ids(root);
  const std::string* id = rng.choose(ids);
  if (id == nullptr) return;
  Element* screen = find_element_mut_by_unique_id_tag(root, *id, "Screen");
  if (screen == nullptr) return;
  Element* layers = xml_utils::child(*screen, "layers");
  if (layers == nullptr || layers->children.empty()) return;
  const std::vector<std::size_t> positions = layer_positions(*layers);
  if (positions.empty()) return;
  // A single layer is never removed, so no screen loses its last one.
  if (positions.size() >= 2 && rng.gen_bool(0.45)) return remove_layer(*layers, positions, rng);
  duplicate_layer(*layers, positions, rng);
}

}  // namespace kivo::stress::mutations::steps
