// Identifier and required-attribute checks over a preset subtree.
#include <cstdint>

#include "kivo/xml_utils.hpp"
#include "kivo/xml_utils/xml_text.hpp"

namespace kivo::xml_utils {
namespace {

bool is_unicode_space(std::uint32_t cp) {
  return (cp >= 0x9 && cp <= 0xD) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
         (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
         cp == 0x205F || cp == 0x3000;
}

// True when `text` is empty after trimming white space in the Unicode sense.
bool is_blank(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t cp = 0;
    std::size_t length = detail::decode_utf8(text, i, cp);
    if (length == 0 || !is_unicode_space(cp)) return false;
    i += length;
  }
  return true;
}

void check_identifier(const Element& element, std::string_view attribute,
                      std::unordered_set<std::string>& seen, WalkContext& context) {
  const std::string* value = element.attr(attribute);
  if (value == nullptr) return;
  const std::string attribute_name(attribute);
  if (is_blank(*value)) {
    context.messages.push_back("Empty " + attribute_name + " on <" + element.name + ">.");
  } else if (!seen.insert(*value).second) {
    context.messages.push_back("Duplicate " + attribute_name + " detected: " + *value);
  }
}

void check_required(const Element& element, std::string_view attribute, WalkContext& context) {
  if (!element.attributes.contains(attribute)) {
    context.messages.push_back(element.name + " missing " + std::string(attribute) + " attribute.");
  }
}

}  // namespace

void walk(const Element& element, WalkContext& context) {
  check_identifier(element, "uniqueId", context.unique_ids, context);
  check_identifier(element, "idHash", context.id_hashes, context);
  if (element.name == "Screen" || element.name == "DmxScreen") {
    check_required(element, "uniqueId", context);
    check_required(element, "name", context);
  } else if (element.name == "OutputDeviceDmx" || element.name == "OutputDeviceVirtual") {
    check_required(element, "deviceId", context);
  }
  for (const auto& node : element.children) {
    if (const Element* nested = node.as_element()) walk(*nested, context);
  }
}

}  // namespace kivo::xml_utils
