#include <utility>

#include "kivo/xml_utils.hpp"

namespace kivo::xml_utils {

const Element* child(const Element& element, std::string_view name) {
  for (const auto& node : element.children) {
    const Element* candidate = node.as_element();
    if (candidate != nullptr && candidate->name == name) return candidate;
  }
  return nullptr;
}

Element* child(Element& element, std::string_view name) {
  return const_cast<Element*>(child(std::as_const(element), name));
}

}  // namespace kivo::xml_utils
