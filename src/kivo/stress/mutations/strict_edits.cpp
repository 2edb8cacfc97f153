// Edits only strict runs make: names and content the ordinary corpus never holds, so that the
// writer's escaping and the engine's naming rules meet their hard cases.
#include <array>

#include "kivo/stress/mutations.hpp"
#include "kivo/stress/mutations/steps.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::mutations {
namespace {

constexpr std::array<const char*, 15> kOddNames = {"Quote \"A\"",
                                                   "Less <B> more",
                                                   "Amp & C",
                                                   "Apos 'D'",
                                                   "Line\nbreak",
                                                   "Tab\there",
                                                   "Close ]]> end",
                                                   "Carriage\rreturn",
                                                   "All <&>\"' of them",
                                                   "\xC3\x89"
                                                   "cran \xC3\xA9t\xC3\xA9",
                                                   "\xE7\x94\xBB\xE9\x9D\xA2",
                                                   "\xF0\x9F\x8E\x9B Deck",
                                                   "No\xC2\xA0"
                                                   "break",
                                                   "\xE2\x80\x83",
                                                   "\xEE\x80\x80 private"};
constexpr std::array<const char*, 3> kSuffixes = {" (Copy)", " (Copy 7)", " (Copy 2)"};

struct Named {
  Element* element = nullptr;
  bool screen = false;
};

void collect_named(Element& element, std::vector<Named>& out) {
  if (element.name == "Screen" || element.name == "Slice" || element.name == "Mask") {
    out.push_back({&element, element.name == "Screen"});
  }
  for (XMLNode& node : element.children) {
    if (Element* child = node.as_element()) collect_named(*child, out);
  }
}

std::string display_name(const Named& named) {
  const Element* group =
      xml_utils::params_by_name(*named.element, named.screen ? "Params" : "Common");
  if (group) {
    if (auto name = xml_utils::param_value(*group, "Name")) return *name;
  }
  const std::string* attribute = named.element->attr("name");
  return attribute ? *attribute : named.element->name.str();
}

void rename(const Named& named, const std::string& name) {
  if (named.screen) named.element->set_attr("name", name);
  Element* group = xml_utils::params_by_name(*named.element, named.screen ? "Params" : "Common");
  if (group) xml_utils::set_param_value(*group, "Name", name);
}

void dmx_takes_screen_name(Element& root, const std::vector<Named>& named, Rng& rng) {
  std::vector<const Named*> screens;
  for (const Named& n : named) {
    if (n.screen) screens.push_back(&n);
  }
  auto index = rng.choose_index(screens.size());
  if (!index) return;
  std::string name = display_name(*screens[*index]);
  if (rng.gen_bool(0.5)) name += " (Copy)";
  Element* setup = xml_utils::child(root, "ScreenSetup");
  Element* list = setup ? xml_utils::child(*setup, "screens") : nullptr;
  if (!list) return;
  for (XMLNode& node : list->children) {
    Element* dmx = node.as_element();
    if (dmx && dmx->name == "DmxScreen") rename({dmx, true}, name);
  }
}

void insert_mixed_content(const Named& named, Rng& rng) {
  static const std::array<XMLNode, 5> kNodes = {
      XMLNode{Text{"a < b & c > d"}}, XMLNode{CData{"raw ]]> inside"}},
      XMLNode{CData{"line\r\nends"}}, XMLNode{Comment{"unpadded"}}, XMLNode{Text{"cr\rhere"}}};
  auto& children = named.element->children;
  const std::size_t at = rng.gen_range(0, children.size() + 1);
  children.insert(children.begin() + static_cast<std::ptrdiff_t>(at),
                  kNodes[rng.gen_range(0, kNodes.size())]);
}

// Identifier texts the copy engine must read by the numeric rules: signs, leading zeros, the
// largest counter and texts that have no numeric reading at all.
constexpr std::array<const char*, 7> kOddIds = {
    "+12", "007", "18446744073709551615", "18446744073709551616", "-5", " 9 ", "0"};

void collect_with_id(Element& element, std::vector<Element*>& out) {
  if (element.attr("uniqueId") || element.attr("idHash")) out.push_back(&element);
  for (XMLNode& node : element.children) {
    if (Element* child = node.as_element()) collect_with_id(*child, out);
  }
}

void odd_identifier(Element& root, Rng& rng) {
  std::vector<Element*> holders;
  collect_with_id(root, holders);
  auto index = rng.choose_index(holders.size());
  if (!index) return;
  Element& holder = *holders[*index];
  const char* attribute = holder.attr("uniqueId") && rng.gen_bool(0.7) ? "uniqueId" : "idHash";
  holder.set_attr(attribute, kOddIds[rng.gen_range(0, kOddIds.size())]);
}

void remove_elements(Element& parent, std::string_view name) {
  std::erase_if(parent.children, [&](const XMLNode& node) {
    const Element* element = node.as_element();
    return element && element->name == name;
  });
}

// Input rectangles a paste must refuse or rebase onto: none, no or one vertex, zero size, a
// coordinate that is no number.
void broken_geometry(const Named& layer, Rng& rng) {
  Element* rect = xml_utils::child(*layer.element, "InputRect");
  const std::uint64_t how = rng.gen_range(0, 5);
  if (how == 0 || !rect) return remove_elements(*layer.element, "InputRect");
  std::vector<Element*> vertices;
  for (XMLNode& node : rect->children) {
    if (Element* v = node.as_element(); v && v->name == "v") vertices.push_back(v);
  }
  if (vertices.empty()) return;
  if (how == 1) return remove_elements(*rect, "v");
  if (how == 2) {
    std::erase_if(rect->children, [&](const XMLNode& node) {
      const Element* v = node.as_element();
      return v && v->name == "v" && v != vertices.front();
    });
    return;
  }
  if (how == 4) return vertices.back()->set_attr("x", rng.gen_bool(0.5) ? "abc" : "");
  for (Element* v : vertices) {
    v->set_attr("x", "0");
    v->set_attr("y", "0");
  }
}

// Layers without their name group or name, screens without layers.
void missing_structure(const Named& named, Rng& rng) {
  if (named.screen) return remove_elements(*named.element, "layers");
  Element* common = xml_utils::params_by_name(*named.element, "Common");
  if (!common || rng.gen_bool(0.5)) {
    std::erase_if(named.element->children,
                  [&](const XMLNode& node) { return node.as_element() == common; });
    return;
  }
  std::erase_if(common->children, [](const XMLNode& node) {
    const Element* param = node.as_element();
    return param && param->attr("name") && *param->attr("name") == "Name";
  });
}

void apply_edit(Element& root, Rng& rng) {
  std::vector<Named> named;
  collect_named(root, named);
  const std::uint64_t kind = rng.gen_range(0, 7);
  if (kind == 2) return dmx_takes_screen_name(root, named, rng);
  if (kind == 4) return odd_identifier(root, rng);
  auto index = rng.choose_index(named.size());
  if (!index) return;
  const Named& chosen = named[*index];
  if (kind == 0) return rename(chosen, kOddNames[rng.gen_range(0, kOddNames.size())]);
  if (kind == 1) {
    return rename(chosen, display_name(chosen) + kSuffixes[rng.gen_range(0, kSuffixes.size())]);
  }
  if (kind == 3) return insert_mixed_content(chosen, rng);
  if (kind == 5 && !chosen.screen) return broken_geometry(chosen, rng);
  if (kind == 6) missing_structure(chosen, rng);
}

}  // namespace

void apply_strict_edits(Element& root, Rng& rng, std::uint64_t count) {
  for (std::uint64_t i = 0; i < count; ++i) apply_edit(root, rng);
}

}  // namespace kivo::stress::mutations
