// What validating a whole preset must report, message by message, in order; and the probes that
// give documents of a run what validation must report without breaking them for the copies.
#include <cstdint>
#include <functional>
#include <unordered_set>

#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle {
namespace {

// Decodes the UTF-8 character at `i` into `cp`; the length, or 0 when the bytes are no UTF-8.
std::size_t utf8_at(std::string_view text, std::size_t i, std::uint32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const std::size_t length = lead < 0x80    ? 1
                             : lead >= 0xF0 ? 4
                             : lead >= 0xE0 ? 3
                             : lead >= 0xC0 ? 2
                                            : 0;
  if (length == 0 || i + length > text.size()) return 0;
  cp = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k)
    cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  return length;
}

// The White_Space characters of Unicode.
bool white_space(std::uint32_t cp) {
  constexpr std::uint32_t kSingles[] = {0x20,   0x85,   0xA0,   0x1680, 0x2028,
                                        0x2029, 0x202F, 0x205F, 0x3000};
  for (std::uint32_t single : kSingles) {
    if (cp == single) return true;
  }
  return (cp >= 0x09 && cp <= 0x0D) || (cp >= 0x2000 && cp <= 0x200A);
}

bool blank(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t cp = 0;
    const std::size_t length = utf8_at(text, i, cp);
    if (length == 0 || !white_space(cp)) return false;
    i += length;
  }
  return true;
}

class Validation {
 public:
  std::vector<std::string> messages;

  void identifier(const Element& element, const char* attribute,
                  std::unordered_set<std::string>& seen) {
    const std::string* value = element.attr(attribute);
    if (!value) return;
    if (blank(*value)) {
      messages.push_back(std::string("Empty ") + attribute + " on <" + element.name + ">.");
    } else if (!seen.insert(*value).second) {
      messages.push_back(std::string("Duplicate ") + attribute + " detected: " + *value);
    }
  }

  void required(const Element& element, const char* attribute) {
    if (!element.attr(attribute)) {
      messages.push_back(element.name + " missing " + attribute + " attribute.");
    }
  }

  void walk(const Element& element) {
    identifier(element, "uniqueId", unique_ids_);
    identifier(element, "idHash", id_hashes_);
    if (element.name == "Screen" || element.name == "DmxScreen") {
      required(element, "uniqueId");
      required(element, "name");
    } else if (element.name == "OutputDeviceDmx" || element.name == "OutputDeviceVirtual") {
      required(element, "deviceId");
    }
    for (const XMLNode& node : element.children) {
      if (const Element* child = node.as_element()) walk(*child);
    }
  }

 private:
  std::unordered_set<std::string> unique_ids_, id_hashes_;
};

bool has_element_child(const Element& element) {
  for (const XMLNode& node : element.children) {
    if (node.as_element()) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> expected_validation(const Element& root) {
  Validation validation;
  if (root.name != "XmlState") validation.messages.push_back("Root node should be <XmlState>.");
  const auto setup = detail::first_child(root, "ScreenSetup");
  if (!setup) {
    validation.messages.push_back("Missing <ScreenSetup> node.");
    return std::move(validation.messages);
  }
  const Element& setup_element = *root.children[*setup].as_element();
  const auto screens = detail::first_child(setup_element, "screens");
  if (!screens) {
    validation.messages.push_back("Missing <screens> node under <ScreenSetup>.");
    return std::move(validation.messages);
  }
  if (!has_element_child(*setup_element.children[*screens].as_element())) {
    validation.messages.push_back("No screen nodes found in <screens>.");
  }
  validation.walk(root);
  return std::move(validation.messages);
}

namespace {

Element* first_element(Element& parent, std::string_view name) {
  for (XMLNode& node : parent.children) {
    Element* element = node.as_element();
    if (element && element->name == name) return element;
  }
  return nullptr;
}

void remove_first(Element& parent, std::string_view name) {
  for (auto it = parent.children.begin(); it != parent.children.end(); ++it) {
    const Element* element = it->as_element();
    if (element && element->name == name) {
      parent.children.erase(it);
      return;
    }
  }
}

void each(Element& element, const std::function<void(Element&)>& visit) {
  visit(element);
  for (XMLNode& node : element.children) {
    if (Element* child = node.as_element()) each(*child, visit);
  }
}

// The last element of the tree carrying `attribute`, or nullptr.
Element* last_with(Element& root, const char* attribute) {
  Element* last = nullptr;
  each(root, [&](Element& e) {
    if (e.attr(attribute)) last = &e;
  });
  return last;
}

Element* first_with(Element& root, const char* attribute) {
  Element* first = nullptr;
  each(root, [&](Element& e) {
    if (!first && e.attr(attribute)) first = &e;
  });
  return first;
}

Element* first_named(Element& root, std::string_view name) {
  Element* first = nullptr;
  each(root, [&](Element& e) {
    if (!first && e.name == name) first = &e;
  });
  return first;
}

// Texts of white space, by the Unicode rule, and one that only looks blank (a zero-width space).
std::string blank_text(std::uint64_t variant) {
  constexpr const char* kBlanks[] = {" \t ",         "\xC2\xA0",     "\xE1\x9A\x80",
                                     "\xE2\x80\x83", "\xE3\x80\x80", "\xC2\x85",
                                     "\xE2\x80\xA8", "\xE2\x80\xAF", "\xE2\x81\x9F",
                                     "\xE2\x80\x8A", "\n\r",         "\xE2\x80\x8B"};
  return kBlanks[variant % std::size(kBlanks)];
}

void probe(Element& root, std::size_t kind, std::uint64_t variant) {
  Element* setup = first_element(root, "ScreenSetup");
  Element* screens = setup ? first_element(*setup, "screens") : nullptr;
  switch (kind) {
    case 0:
      root.name = "Preset";
      return;
    case 1:
      return remove_first(root, "ScreenSetup");
    case 2:
      if (setup) remove_first(*setup, "screens");
      return;
    case 3:
      if (screens) screens->children.clear();
      return;
    case 4:
      if (screens) screens->children = {XMLNode{Comment{"only a comment"}}, XMLNode{Text{"x"}}};
      return;
    case 5:
      for (const char* attribute : {"uniqueId", "idHash"}) {
        Element *first = first_with(root, attribute), *last = last_with(root, attribute);
        if (first && last && first != last) last->set_attr(attribute, *first->attr(attribute));
      }
      return;
    case 6:
      if (Element* e = last_with(root, "uniqueId")) e->set_attr("uniqueId", blank_text(variant));
      if (Element* e = first_with(root, "idHash")) e->set_attr("idHash", blank_text(variant + 1));
      return;
    case 7:
      if (Element* e = first_named(root, "Screen")) e->attributes.remove("name");
      if (Element* e = first_named(root, "DmxScreen")) e->attributes.remove("uniqueId");
      return;
    default:
      if (Element* e = first_named(root, "OutputDeviceVirtual")) e->attributes.remove("deviceId");
  }
}

}  // namespace

void apply_validation_probe(Element& root, std::uint64_t choice) {
  // One defect, or two in either order, so that the order of the messages is judged too.
  constexpr std::size_t kKinds = 9;
  const std::uint64_t variant = choice >> 32;
  probe(root, choice % kKinds, variant);
  if ((choice / kKinds) % 2 == 1) probe(root, (choice / (2 * kKinds)) % kKinds, variant);
}

std::optional<std::string> validation_difference(const std::vector<std::string>& observed,
                                                 const std::vector<std::string>& expected) {
  for (std::size_t i = 0; i < observed.size() || i < expected.size(); ++i) {
    if (i < observed.size() && i < expected.size() && observed[i] == expected[i]) continue;
    return "validation message " + std::to_string(i) + " is " +
           (i < observed.size() ? shown(observed[i]) : std::string("missing")) + ", expected " +
           (i < expected.size() ? shown(expected[i]) : std::string("none"));
  }
  return std::nullopt;
}

}  // namespace kivo::stress::oracle
