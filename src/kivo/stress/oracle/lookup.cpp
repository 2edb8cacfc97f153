#include <cctype>

#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle {
namespace detail {
namespace {

thread_local Decisions* witness = nullptr;

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// The decision of passing over a lookalike of `name`.
Decision lookalike_of(std::string_view name) {
  constexpr std::pair<std::string_view, Decision> kLooked[] = {
      {"ScreenSetup", Decision::LookalikeScreenSetup},
      {"screens", Decision::LookalikeScreens},
      {"Screen", Decision::LookalikeScreen},
      {"layers", Decision::LookalikeLayers},
      {"Slice", Decision::LookalikeSlice},
      {"Params", Decision::LookalikeParams},
      {"Param", Decision::LookalikeParam},
      {"InputRect", Decision::LookalikeInputRect},
      {"SliceMask", Decision::LookalikeSliceMask},
      {"v", Decision::LookalikeVertex},
      {"OutputDevice", Decision::LookalikeOutputDevice}};
  for (const auto& [looked, decision] : kLooked) {
    if (looked == name) return decision;
  }
  return Decision::LookalikeElement;
}

}  // namespace

LookupWitness::LookupWitness(Decisions& decisions) : previous_(witness) { witness = &decisions; }
LookupWitness::~LookupWitness() { witness = previous_; }

bool named(const Element& element, std::string_view name) {
  if (element.name == name) {
    if (witness && element.prefix) mark(*witness, Decision::PrefixedName);
    return true;
  }
  if (witness && same_ignoring_case(element.name, name)) mark(*witness, lookalike_of(name));
  return false;
}

std::optional<std::size_t> first_child(const Element& parent, std::string_view name) {
  for (std::size_t i = 0; i < parent.children.size(); ++i) {
    const Element* child = parent.children[i].as_element();
    if (child && named(*child, name)) return i;
  }
  return std::nullopt;
}

Located descend(const Located& from, std::string_view name) {
  if (!from.element) return {};
  auto index = first_child(*from.element, name);
  if (!index) return {};
  Located found{from.element->children[*index].as_element(), from.path};
  found.path.push_back(*index);
  return found;
}

Located screens_list(const Element& root) {
  return descend(descend(Located{&root, {}}, "ScreenSetup"), "screens");
}

bool has_id(const Element& element, std::string_view id) {
  const std::string* value = element.attr("uniqueId");
  return value && *value == id;
}

Located find_screen(const Element& root, std::string_view id) {
  const Located screens = screens_list(root);
  if (!screens.element) return {};
  for (std::size_t i = 0; i < screens.element->children.size(); ++i) {
    const Element* screen = screens.element->children[i].as_element();
    if (screen && named(*screen, "Screen") && has_id(*screen, id)) {
      Located found{screen, screens.path};
      found.path.push_back(i);
      return found;
    }
  }
  return {};
}

Located find_slice(const Element& root, std::string_view id) {
  const Located screens = screens_list(root);
  if (!screens.element) return {};
  for (std::size_t i = 0; i < screens.element->children.size(); ++i) {
    Located screen{screens.element->children[i].as_element(), screens.path};
    if (!screen.element) continue;
    screen.path.push_back(i);
    const Located layers = descend(screen, "layers");
    if (!layers.element) continue;
    for (std::size_t k = 0; k < layers.element->children.size(); ++k) {
      const Element* slice = layers.element->children[k].as_element();
      if (slice && named(*slice, "Slice") && has_id(*slice, id)) {
        Located found{slice, layers.path};
        found.path.push_back(k);
        return found;
      }
    }
  }
  return {};
}

}  // namespace detail

const Element* element_at(const Element& root, const NodePath& path) {
  const Element* at = &root;
  for (std::size_t index : path) {
    if (index >= at->children.size()) return nullptr;
    at = at->children[index].as_element();
    if (!at) return nullptr;
  }
  return at;
}

const Element* first_child_named(const Element& parent, std::string_view name) {
  for (const XMLNode& node : parent.children) {
    const Element* element = node.as_element();
    if (element && element->name == name) return element;
  }
  return nullptr;
}

std::string path_text(const Element& root, const NodePath& path) {
  std::string text = "/" + root.name;
  const Element* at = &root;
  for (std::size_t index : path) {
    const Element* next =
        at && index < at->children.size() ? at->children[index].as_element() : nullptr;
    text += "/" + (next ? next->name.str() : std::string("node")) + "#" + std::to_string(index);
    at = next;
  }
  return text;
}

}  // namespace kivo::stress::oracle
