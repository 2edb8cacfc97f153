#include "template_edits.hpp"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

#include "fuzz_check.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::fuzz {
namespace {

struct Slot {
  Element* parent;
  std::size_t index;
};

// Every element below the root with its parent, in pre-order.
void collect_slots(Element& parent, std::vector<Slot>& out) {
  for (std::size_t i = 0; i < parent.children.size(); ++i) {
    if (auto* element = parent.children[i].as_element()) {
      out.push_back({&parent, i});
      collect_slots(*element, out);
    }
  }
}

Element& element_at(const Slot& slot) { return *slot.parent->children[slot.index].as_element(); }

const char* const kAttributeNames[] = {"uniqueId", "idHash", "x", "y", "name", "value"};
const char* const kValues[] = {"",
                               "0",
                               "1",
                               "-1",
                               "2.5",
                               "1e308",
                               "-1e308",
                               "nan",
                               "inf",
                               "1e-320",
                               "Screen",
                               "Slice 1",
                               "9999999999999999999"};

std::string pick_value(FuzzedDataProvider& input, const std::vector<std::string>& ids) {
  switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
      return input.PickValueInArray(kValues);
    case 1:
      return pick_id(input, ids);
    default:
      return input.ConsumeRandomLengthString(24);
  }
}

void edit_once(FuzzedDataProvider& input, Element& root, std::vector<Slot>& slots) {
  const Slot slot = slots[input.ConsumeIntegralInRange<std::size_t>(0, slots.size() - 1)];
  Element& element = element_at(slot);
  switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0:
      slot.parent->children.erase(slot.parent->children.begin() + slot.index);
      break;
    case 1: {
      XMLNode copy = slot.parent->children[slot.index];
      slot.parent->children.insert(slot.parent->children.begin() + slot.index + 1, std::move(copy));
      break;
    }
    case 2:
      element.set_attr(input.PickValueInArray(kAttributeNames),
                       pick_value(input, unique_ids(root)));
      break;
    case 3:
      element.attributes.remove(input.PickValueInArray(kAttributeNames));
      break;
    default: {
      const Slot other = slots[input.ConsumeIntegralInRange<std::size_t>(0, slots.size() - 1)];
      XMLNode copy = slot.parent->children[slot.index];
      element_at(other).children.push_back(std::move(copy));
      break;
    }
  }
}

}  // namespace

const Element& bundled_template() {
  static const Element tree = [] {
    std::ifstream file(KIVO_TEMPLATE_PATH, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    auto parsed = xml_utils::parse(text);
    demand(parsed.has_value(), "the bundled template parses", KIVO_TEMPLATE_PATH);
    return std::move(*parsed);
  }();
  return tree;
}

namespace {

// Keeps the first `keep` element children of `parent` that satisfy `pick`, and every other child.
template <class Pick>
void keep_first(Element& parent, std::size_t keep, Pick pick) {
  std::vector<XMLNode> kept;
  std::size_t picked = 0;
  for (auto& child : parent.children) {
    const Element* element = child.as_element();
    if (element && pick(*element) && picked++ >= keep) continue;
    kept.push_back(std::move(child));
  }
  parent.children = std::move(kept);
}

Element* child_named(Element& parent, const std::string& name) {
  for (auto& child : parent.children) {
    if (auto* element = child.as_element(); element && element->name == name) return element;
  }
  return nullptr;
}

}  // namespace

const Element& small_template() {
  // Two screens of four layers and the DmxScreen hold every kind of node the engine copies, at a
  // tenth of the size, so the copy target runs many more inputs a second.
  static const Element tree = [] {
    Element root = bundled_template();
    Element* setup = child_named(root, "ScreenSetup");
    Element* screens = setup ? child_named(*setup, "screens") : nullptr;
    demand(screens != nullptr, "the bundled template has screens", KIVO_TEMPLATE_PATH);
    keep_first(*screens, 2, [](const Element& e) { return e.name == "Screen"; });
    for (auto& child : screens->children) {
      Element* screen = child.as_element();
      Element* layers = screen ? child_named(*screen, "layers") : nullptr;
      if (layers) keep_first(*layers, 4, [](const Element&) { return true; });
    }
    return root;
  }();
  return tree;
}

void apply_edits(FuzzedDataProvider& input, Element& root) {
  const int edits = input.ConsumeIntegralInRange(0, 6);
  for (int i = 0; i < edits; ++i) {
    std::vector<Slot> slots;
    collect_slots(root, slots);
    if (slots.empty()) return;
    edit_once(input, root, slots);
  }
}

std::vector<std::string> unique_ids(const Element& root) {
  std::vector<std::string> ids;
  xml_utils::gather_attr_values(root, "uniqueId", ids);
  return ids;
}

std::string pick_id(FuzzedDataProvider& input, const std::vector<std::string>& ids) {
  if (ids.empty() || input.ConsumeIntegralInRange(0, 7) == 0) {
    return input.ConsumeRandomLengthString(12);
  }
  return ids[input.ConsumeIntegralInRange<std::size_t>(0, ids.size() - 1)];
}

}  // namespace kivo::fuzz
