// Documents shaped a little differently from the template: prefixed elements, names that differ
// only in letter case, unknown children among known ones, second lists where only the first
// counts, layers under other kinds of screens, two masks on one slice.
#include <algorithm>

#include "kivo/stress/situations/kinds.hpp"
#include "kivo/stress/situations/tree.hpp"

namespace kivo::stress::situations::detail {
namespace {

// Names the engine looks up; each situation below works on elements of these names.
constexpr const char* kKnownNames[] = {"Params",
                                       "Param",
                                       "InputRect",
                                       "v",
                                       "SliceMask",
                                       "layers",
                                       "Slice",
                                       "Mask",
                                       "Screen",
                                       "Rect",
                                       "screens",
                                       "OutputDevice",
                                       "OutputDeviceVirtual"};

Element* pick_known(Element& root, Rng& rng) {
  return pick(rng, all_named(root, pick(rng, kKnownNames)));
}

std::size_t element_index(const Element& parent, const Element& child) {
  for (std::size_t i = 0; i < parent.children.size(); ++i) {
    if (parent.children[i].as_element() == &child) return i;
  }
  return parent.children.size();
}

// The element children of `parent`, rotated by a drawn amount; other nodes stay in place.
void rotate_elements(Element& parent, Rng& rng) {
  std::vector<std::size_t> slots;
  for (std::size_t i = 0; i < parent.children.size(); ++i) {
    if (parent.children[i].as_element()) slots.push_back(i);
  }
  if (slots.size() < 2) return;
  std::vector<XMLNode> moved;
  for (std::size_t slot : slots) moved.push_back(std::move(parent.children[slot]));
  std::rotate(moved.begin(), moved.begin() + rng.gen_range(1, moved.size()), moved.end());
  for (std::size_t i = 0; i < slots.size(); ++i) parent.children[slots[i]] = std::move(moved[i]);
}

Element unknown_child(Rng& rng) {
  constexpr const char* kNames[] = {"meta", "Extra", "vertex", "Note", "ParamGroup"};
  Element extra = Element::make(pick(rng, kNames));
  extra.set_attr("name", "Name");
  extra.set_attr("value", "unknown");
  extra.set_attr("x", "7");
  extra.set_attr("y", "9");
  return extra;
}

void insert_at_random(Element& parent, XMLNode node, Rng& rng) {
  const std::size_t at = rng.gen_range(0, parent.children.size() + 1);
  parent.children.insert(parent.children.begin() + static_cast<std::ptrdiff_t>(at),
                         std::move(node));
}

void insert_decoy(Element& parent, const char* name, Rng& rng) {
  Element copy = Element::make(name);
  copy.set_attr("name", rng.gen_bool(0.5) ? "Common" : "Name");
  copy.set_attr("value", "Decoy");
  copy.set_attr("x", "3");
  copy.set_attr("y", "4");
  parent.children.insert(parent.children.begin(), XMLNode{std::move(copy)});
}

// Decoy elements go before the real ones wherever their look-alikes are looked for, in about a
// fifth of the places, so that many requests of a document pass one.
void place_decoys(Element& root, Rng& rng) {
  struct Decoy {
    const char* parent;
    const char* name;
  };
  constexpr Decoy kDecoys[] = {
      {"Screen", "Layers"},   {"Screen", "params"},       {"Screen", "outputDevice"},
      {"Slice", "inputRect"}, {"Slice", "sliceMask"},     {"Slice", "PARAMS"},
      {"layers", "slice"},    {"layers", "mask"},         {"Params", "param"},
      {"InputRect", "V"},     {"SliceMask", "V"},         {"ScreenSetup", "Screens"},
      {"screens", "screen"},  {"XmlState", "screenSetup"}};
  for (const Decoy& decoy : kDecoys) {
    // Last first: inserting into an element moves what it holds, and an element named like the
    // parent may sit inside another.
    const std::vector<Element*> parents = all_named(root, decoy.parent);
    for (auto parent = parents.rbegin(); parent != parents.rend(); ++parent) {
      if (rng.gen_bool(0.2)) insert_decoy(**parent, decoy.name, rng);
    }
  }
}

// An attribute whose name differs from a known one only in case, holding a value that would change
// the outcome if it were taken for the known one.
void attribute_decoy(Element& root, Rng& rng) {
  constexpr const char* kAttributes[] = {"UniqueId", "uniqueid", "UNIQUEID", "IdHash", "idhash",
                                         "Name",     "NAME",     "Value",    "X",      "Y"};
  Element* holder = pick_known(root, rng);
  if (!holder) return;
  const std::string* id = holder->attr("uniqueId");
  holder->set_attr(pick(rng, kAttributes), id ? *id + "0" : "1");
}

}  // namespace

void prefixed(Element& root, Rng& rng) {
  Element* element = pick_known(root, rng);
  if (!element || element == &root) return;
  constexpr const char* kPrefixes[] = {"p", "q", "kivo", "xml"};
  const std::string prefix = pick(rng, kPrefixes);
  element->prefix = prefix;
  // The xml prefix is bound in every document and never declared.
  if (prefix == "xml") {
    element->namespace_uri = "http://www.w3.org/XML/1998/namespace";
    return;
  }
  const std::string uri = "urn:kivo:" + prefix;
  element->namespace_uri = uri;
  element->namespaces = Namespaces{{prefix, uri}};
}

void case_decoys(Element& root, Rng& rng) {
  place_decoys(root, rng);
  for (std::uint64_t count = rng.gen_range(1, 4); count > 0; --count) attribute_decoy(root, rng);
}

void unusual_orders(Element& root, Rng& rng) {
  constexpr const char* kParents[] = {"InputRect", "SliceMask", "Params",
                                      "Slice",     "layers",    "Rect"};
  Element* parent = pick(rng, all_named(root, pick(rng, kParents)));
  if (!parent) return;
  if (rng.gen_bool(0.5)) rotate_elements(*parent, rng);
  const std::uint64_t extras = rng.gen_range(1, 3);
  for (std::uint64_t i = 0; i < extras; ++i) {
    XMLNode extra = rng.gen_bool(0.8) ? XMLNode{unknown_child(rng)} : comment("among");
    insert_at_random(*parent, std::move(extra), rng);
  }
}

void mixed_content(Element& root, Rng& rng) {
  // Runs of character data and markup a reader must keep apart, merge or drop exactly.
  static const std::vector<std::vector<XMLNode>> kRuns = {
      {XMLNode{Text{" lead "}}, XMLNode{CData{"x"}}},
      {XMLNode{CData{"a"}}, XMLNode{Text{" tail "}}},
      {XMLNode{Text{"\t tabbed \n"}}},
      {XMLNode{CData{"]]> inside ]]>"}}, XMLNode{Text{"after"}}},
      {XMLNode{Text{" "}}, XMLNode{CData{" "}}, XMLNode{Text{" "}}},
      {XMLNode{CData{""}}, XMLNode{ProcessingInstruction{"pi", " data "}}},
      {XMLNode{Text{"a"}}, XMLNode{Comment{""}}, XMLNode{Text{"b"}}},
      {XMLNode{Comment{" padded "}}, XMLNode{Comment{"-"}}, XMLNode{Text{"&<>\"'"}}},
      {XMLNode{ProcessingInstruction{"bare", std::nullopt}}, XMLNode{Text{"\r\n"}}},
      {XMLNode{Text{"before"}}, XMLNode{ProcessingInstruction{"between", "x"}},
       XMLNode{Text{"after"}}},
  };
  constexpr const char* kHolders[] = {"Slice",  "Mask",   "SliceMask", "Params",
                                      "Screen", "layers", "Rect",      "InputRect"};
  for (std::uint64_t count = rng.gen_range(1, 4); count > 0; --count) {
    Element* holder = pick(rng, all_named(root, pick(rng, kHolders)));
    if (!holder) continue;
    for (const XMLNode& node : kRuns[rng.gen_range(0, kRuns.size())]) {
      insert_at_random(*holder, node, rng);
    }
  }
}

void second_layers(Element& root, Rng& rng) {
  Element* screen = pick(rng, screens_of(root));
  Element* layers = screen ? child(*screen, "layers") : nullptr;
  if (!layers) return;
  std::vector<Element*> own;
  for (XMLNode& node : layers->children) {
    if (Element* layer = node.as_element()) own.push_back(layer);
  }
  Element* layer = pick(rng, own);
  if (!layer) return;
  // A second list after the first, holding a copy of one of its layers under new identifiers.
  Element second = Element::make("layers");
  second.children.push_back(XMLNode{*layer});
  screen->children.push_back(XMLNode{std::move(second)});
  Element& copy = *screen->children.back().as_element()->children.back().as_element();
  refresh_identifiers(copy, root);
}

void other_screen_kinds(Element& root, Rng& rng) {
  std::vector<Element*> screens = screens_of(root);
  Element* screen = pick(rng, screens);
  if (!screen) return;
  switch (rng.gen_range(0, 4)) {
    case 0: {  // another kind of screen, keeping its layers
      constexpr const char* kKinds[] = {"DmxScreen", "ProjectorScreen", "VirtualScreen"};
      screen->name = pick(rng, kKinds);
      return;
    }
    case 3: {  // another kind of screen without layers
      screen->name = "ProjectorScreen";
      remove_children(*screen, "layers");
      return;
    }
    case 1: {  // a screen one level deeper than the screens list
      Element* list = screens_list(root);
      const std::size_t at = element_index(*list, *screen);
      Element group = Element::make("ScreenGroup");
      group.children.push_back(std::move(list->children[at]));
      list->children[at] = XMLNode{std::move(group)};
      return;
    }
    default: {  // a DmxScreen renamed to a Screen takes part in every request
      for (Element* other : screens) {
        if (other->name == "DmxScreen") {
          other->name = "Screen";
          return;
        }
      }
    }
  }
}

void multiple_masks(Element& root, Rng& rng) {
  std::vector<Element*> masked;
  for (Element* slice : all_named(root, "Slice")) {
    if (child(*slice, "SliceMask")) masked.push_back(slice);
  }
  Element* slice = pick(rng, masked);
  if (!slice) return;
  Element second = *child(*slice, "SliceMask");
  for (Element* v : all_named(second, "v")) v->set_attr("x", "1");
  slice->children.push_back(XMLNode{std::move(second)});
  refresh_identifiers(*slice->children.back().as_element(), root);
}

void screens_shape(Element& root, Rng& rng) {
  Element* setup = child(root, "ScreenSetup");
  Element* list = screens_list(root);
  if (!setup || !list) return;
  // Mostly shapes that keep the screens; a document without any is a target every request but a
  // screen copy must leave alone.
  switch (rng.gen_range(0, 12)) {
    case 3:  // a second, empty screens list after the first
      setup->children.push_back(XMLNode{Element::make("screens")});
      return;
    case 4: {  // a second ScreenSetup whose screens list is empty
      Element second = Element::make("ScreenSetup");
      second.children.push_back(XMLNode{Element::make("screens")});
      root.children.push_back(XMLNode{std::move(second)});
      return;
    }
    case 9:  // a screens list holding only a comment
      list->children = {comment("no screens")};
      return;
    case 10:  // an empty screens list
      list->children.clear();
      return;
    case 11:  // no screens list, or no ScreenSetup, at all
      if (rng.gen_bool(0.5)) return remove_children(root, "ScreenSetup");
      remove_children(*setup, "screens");
      return;
    default:  // comments and text between the screens
      insert_at_random(*list, comment("between screens"), rng);
      insert_at_random(*list, XMLNode{Text{"loose text"}}, rng);
  }
}

}  // namespace kivo::stress::situations::detail
