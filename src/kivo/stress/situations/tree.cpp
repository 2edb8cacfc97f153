#include "kivo/stress/situations/tree.hpp"

#include <array>
#include <charconv>
#include <limits>

namespace kivo::stress::situations::detail {
namespace {

template <class Wanted>
void collect(Element& element, const Wanted& wanted, std::vector<Element*>& out) {
  if (wanted(element)) out.push_back(&element);
  for (XMLNode& node : element.children) {
    if (Element* nested = node.as_element()) collect(*nested, wanted, out);
  }
}

}  // namespace

std::vector<Element*> all_named(Element& root, std::string_view name) {
  std::vector<Element*> out;
  collect(
      root, [&](const Element& e) { return e.name == name; }, out);
  return out;
}

std::vector<Element*> all_with(Element& root, std::string_view attribute) {
  std::vector<Element*> out;
  collect(
      root, [&](const Element& e) { return e.attr(attribute) != nullptr; }, out);
  return out;
}

Element* child(Element& parent, std::string_view name) {
  for (XMLNode& node : parent.children) {
    Element* element = node.as_element();
    if (element && element->name == name) return element;
  }
  return nullptr;
}

Element* screens_list(Element& root) {
  Element* setup = child(root, "ScreenSetup");
  return setup ? child(*setup, "screens") : nullptr;
}

std::vector<Element*> screens_of(Element& root) {
  std::vector<Element*> out;
  if (Element* list = screens_list(root)) {
    for (XMLNode& node : list->children) {
      if (Element* screen = node.as_element()) out.push_back(screen);
    }
  }
  return out;
}

Element& child_or_new(Element& parent, std::string_view name) {
  if (Element* found = child(parent, name)) return *found;
  parent.children.push_back(XMLNode{Element::make(std::string(name))});
  return *parent.children.back().as_element();
}

void remove_children(Element& parent, std::string_view name) {
  std::erase_if(parent.children, [&](const XMLNode& node) {
    const Element* element = node.as_element();
    return element && element->name == name;
  });
}

Element* pick(Rng& rng, const std::vector<Element*>& items) {
  auto index = rng.choose_index(items.size());
  return index ? items[*index] : nullptr;
}

XMLNode comment(std::string text) { return XMLNode{Comment{std::move(text)}}; }

Element vertex(std::string x, std::string y) {
  Element v = Element::make("v");
  v.set_attr("x", std::move(x));
  v.set_attr("y", std::move(y));
  return v;
}

std::string number_text(double value) {
  std::array<char, 64> buffer{};
  auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return error == std::errc() ? std::string(buffer.data(), end) : std::string("0");
}

std::string fresh_value(Element& root, std::string_view attribute) {
  std::uint64_t largest = 0;
  std::size_t holders = 0;
  for (Element* element : all_with(root, attribute)) {
    ++holders;
    if (auto number = numeric_reading(*element->attr(attribute)))
      largest = std::max(largest, *number);
  }
  if (largest < std::numeric_limits<std::uint64_t>::max()) return std::to_string(largest + 1);
  // Past the counter's end: a text with no numeric reading that no element holds.
  for (std::size_t n = holders;; ++n) {
    std::string candidate = "situation-" + std::to_string(n);
    bool taken = false;
    for (Element* element : all_with(root, attribute))
      taken = taken || *element->attr(attribute) == candidate;
    if (!taken) return candidate;
  }
}

void refresh_identifiers(Element& subtree, Element& root) {
  for (const char* attribute : {"uniqueId", "idHash"}) {
    for (Element* element : all_with(subtree, attribute)) {
      element->set_attr(attribute, fresh_value(root, attribute));
    }
  }
}

}  // namespace kivo::stress::situations::detail
