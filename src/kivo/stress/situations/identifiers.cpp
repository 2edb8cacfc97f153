// Identifier sets the renumbering must handle: overlapping small ranges of both kinds (so new
// values meet old values of the other kind, parameter values and coordinates), no numeric value
// at all, the counter's end, and one value held twice inside a copied subtree.
#include <algorithm>
#include <unordered_set>

#include "kivo/stress/situations/kinds.hpp"
#include "kivo/stress/situations/tree.hpp"

namespace kivo::stress::situations::detail {
namespace {

constexpr const char* kIdAttributes[] = {"uniqueId", "idHash"};

bool holds(Element& root, std::string_view attribute, std::string_view value) {
  for (Element* element : all_with(root, attribute)) {
    if (*element->attr(attribute) == value) return true;
  }
  return false;
}

// Sets `value` unless the document already holds it, so no duplicate arises.
void set_unique(Element& root, Element& element, const char* attribute, std::string value) {
  if (!holds(root, attribute, value)) element.set_attr(attribute, std::move(value));
}

void signed_largest_of(Element& root, const char* attribute, Rng& rng) {
  Element* largest = nullptr;
  std::uint64_t value = 0;
  for (Element* element : all_with(root, attribute)) {
    auto number = numeric_reading(*element->attr(attribute));
    if (number && (!largest || *number > value)) largest = element, value = *number;
  }
  if (largest)
    set_unique(root, *largest, attribute, (rng.gen_bool(0.5) ? "+" : "00") + std::to_string(value));
}

// The subtree's idHash values set to the uniqueIds the next copy into a document like this one
// will get, so that new values of one kind meet old values of the other.
void hashes_ahead(Element& root, Rng& rng) {
  std::vector<Element*> subtrees = all_named(root, "Slice");
  for (Element* screen : screens_of(root)) subtrees.push_back(screen);
  Element* subtree = pick(rng, subtrees);
  if (!subtree) return;
  std::uint64_t largest = 0;
  for (Element* element : all_with(root, "uniqueId")) {
    largest = std::max(largest, numeric_reading(*element->attr("uniqueId")).value_or(0));
  }
  std::uint64_t next = largest + 1 + rng.gen_range(0, 3);
  for (Element* element : all_with(*subtree, "uniqueId")) {
    set_unique(root, *element, "idHash", std::to_string(next++));
  }
}

}  // namespace

void signed_largest(Element& root, Rng& rng) {
  for (const char* attribute : kIdAttributes) {
    if (rng.gen_bool(0.7)) signed_largest_of(root, attribute, rng);
  }
}

void overlap_ids(Element& root, Rng& rng) {
  if (rng.gen_bool(0.5)) return hashes_ahead(root, rng);
  // Small values also equal parameter values ("0", "1") and coordinates of the document.
  std::uint64_t unique_id = rng.gen_range(0, 6);
  std::uint64_t id_hash = unique_id + rng.gen_range(0, 4);
  for (Element* element : all_with(root, "uniqueId")) {
    element->set_attr("uniqueId", std::to_string(unique_id++));
  }
  for (Element* element : all_with(root, "idHash")) {
    element->set_attr("idHash", std::to_string(id_hash++));
  }
}

void no_numeric_ids(Element& root, Rng& rng) {
  const std::uint64_t how = rng.gen_range(0, 4);
  if (how != 1) {
    for (Element* element : all_with(root, "uniqueId")) {
      element->set_attr("uniqueId", "u" + *element->attr("uniqueId"));
    }
  }
  if (how == 0) return;
  for (Element* element : all_with(root, "idHash")) {
    if (how == 3) {
      element->set_attr("idHash", "h" + *element->attr("idHash"));
    } else {
      element->attributes.remove("idHash");
    }
  }
}

void extreme_ids(Element& root, Rng& rng) {
  // The counter's end and its neighbours, values the counter wraps onto, and texts that only look
  // numeric (or read as numbers despite a sign or zeros).
  constexpr const char* kValues[] = {"18446744073709551615",
                                     "18446744073709551614",
                                     "18446744073709551616",
                                     "+18446744073709551615",
                                     "00018446744073709551615",
                                     "0",
                                     "1",
                                     "2",
                                     "+0",
                                     "00",
                                     "-1",
                                     "-0",
                                     " 7",
                                     "7 ",
                                     "\t8",
                                     "",
                                     "+",
                                     "++3",
                                     "1.0",
                                     "1e3",
                                     "0x10",
                                     "99999999999999999999",
                                     "10000000000",
                                     "9999999999",
                                     "10000000001",
                                     "+007"};
  const char* attribute = kIdAttributes[rng.gen_range(0, 2)];
  const std::vector<Element*> holders = all_with(root, attribute);
  const std::uint64_t count = rng.gen_range(1, 5);
  for (std::uint64_t i = 0; i < count; ++i) {
    if (Element* element = pick(rng, holders))
      set_unique(root, *element, attribute, pick(rng, kValues));
  }
  // The end of the counter, with the values it wraps onto already taken.
  if (rng.gen_bool(0.5)) {
    for (const char* value : {"18446744073709551615", "0", "1"}) {
      if (Element* element = pick(rng, holders)) set_unique(root, *element, attribute, value);
    }
  }
}

void missing_identifiers(Element& root, Rng& rng) {
  // Screens, layers and masks without a uniqueId: no request can name them, but lookups pass them.
  constexpr const char* kNames[] = {"Screen", "Slice", "Mask", "SliceMask", "DmxScreen"};
  for (std::uint64_t count = rng.gen_range(1, 4); count > 0; --count) {
    if (Element* element = pick(rng, all_named(root, pick(rng, kNames)))) {
      element->attributes.remove("uniqueId");
    }
  }
}

void repeated_in_subtree(Element& root, Rng& rng) {
  std::vector<Element*> layers = all_named(root, "Slice");
  for (Element* mask : all_named(root, "Mask")) layers.push_back(mask);
  Element* layer = pick(rng, layers);
  if (!layer || !layer->attr("uniqueId")) return;
  const std::string id = *layer->attr("uniqueId");
  std::vector<Element*> inside;
  for (XMLNode& node : layer->children) {
    if (Element* element = node.as_element()) inside.push_back(element);
  }
  Element* holder = pick(rng, inside);
  if (!holder) return;
  switch (rng.gen_range(0, 4)) {
    case 0:  // the layer's own identifier again, deeper in its subtree
      holder->set_attr("uniqueId", id);
      break;
    case 1:  // the same value as an idHash: no duplicate of either kind
      holder->set_attr("idHash", id);
      break;
    case 2:  // a reference to the layer, which must follow it to its new identifier
      holder->set_attr(rng.gen_bool(0.5) ? "ref" : "value", id);
      break;
    default: {  // two new elements sharing one identifier of each kind
      Element anchor = Element::make("Anchor");
      anchor.set_attr("uniqueId", fresh_value(root, "uniqueId"));
      anchor.set_attr("idHash", fresh_value(root, "idHash"));
      holder->children.push_back(XMLNode{anchor});
      layer->children.push_back(XMLNode{anchor});
    }
  }
}

}  // namespace kivo::stress::situations::detail
