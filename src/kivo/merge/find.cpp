#include "kivo/merge.hpp"
#include "kivo/merge/tree_paths.hpp"

namespace kivo::merge {
namespace detail {

const Element* first_child_named(std::span<const XMLNode> children, std::string_view name) {
  for (const XMLNode& node : children) {
    const Element* element = node.as_element();
    if (element && element->name == name) return element;
  }
  return nullptr;
}

Element* first_child_named_mut(std::span<XMLNode> children, std::string_view name) {
  for (XMLNode& node : children) {
    Element* element = node.as_element();
    if (element && element->name == name) return element;
  }
  return nullptr;
}

const Element* screens_list(std::span<const XMLNode> root_children) {
  const Element* setup = first_child_named(root_children, "ScreenSetup");
  return setup ? first_child_named(setup->children, "screens") : nullptr;
}

Element* screens_list_mut(std::span<XMLNode> root_children) {
  Element* setup = first_child_named_mut(root_children, "ScreenSetup");
  return setup ? first_child_named_mut(setup->children, "screens") : nullptr;
}

// The caller holds the tree modifiably, so dropping const here is sound.
Element* find_slice_mut(std::span<XMLNode> root_children, std::string_view id) {
  return const_cast<Element*>(find_slice(root_children, id));
}

bool has_unique_id(const Element& element, std::string_view id) {
  const std::string* value = element.attr("uniqueId");
  return value && *value == id;
}

}  // namespace detail

const Element* find_screen(std::span<const XMLNode> root_children, std::string_view id) {
  const Element* screens = detail::screens_list(root_children);
  if (!screens) return nullptr;
  for (const XMLNode& node : screens->children) {
    const Element* element = node.as_element();
    if (element && element->name == "Screen" && detail::has_unique_id(*element, id)) {
      return element;
    }
  }
  return nullptr;
}

// The caller holds the tree modifiably, so dropping const here is sound.
Element* find_screen_mut(std::span<XMLNode> root_children, std::string_view id) {
  return const_cast<Element*>(find_screen(root_children, id));
}

const Element* find_slice(std::span<const XMLNode> root_children, std::string_view id) {
  const Element* screens = detail::screens_list(root_children);
  if (!screens) return nullptr;
  for (const XMLNode& node : screens->children) {
    const Element* screen = node.as_element();
    if (!screen) continue;
    const Element* layers = detail::first_child_named(screen->children, "layers");
    if (!layers) continue;
    for (const XMLNode& layer_node : layers->children) {
      const Element* layer = layer_node.as_element();
      if (layer && layer->name == "Slice" && detail::has_unique_id(*layer, id)) return layer;
    }
  }
  return nullptr;
}

}  // namespace kivo::merge
