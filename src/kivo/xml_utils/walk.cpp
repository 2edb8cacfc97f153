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

// The names every element is asked about, held ready so that they compare by address.
struct WalkNames {
  Name unique_id{"uniqueId"};
  Name id_hash{"idHash"};
  Name name{"name"};
  Name device_id{"deviceId"};
  Name screen{"Screen"};
  Name dmx_screen{"DmxScreen"};
  Name dmx_device{"OutputDeviceDmx"};
  Name virtual_device{"OutputDeviceVirtual"};
};

const WalkNames& walk_names() {
  static const WalkNames names;
  return names;
}

void check_identifier(const Element& element, const Name& attribute,
                      std::unordered_set<std::string>& seen, WalkContext& context) {
  const std::string* value = element.attributes.find(attribute);
  if (value == nullptr) return;
  if (is_blank(*value)) {
    context.messages.push_back("Empty " + attribute + " on <" + element.name + ">.");
  } else if (!seen.insert(*value).second) {
    context.messages.push_back("Duplicate " + attribute + " detected: " + *value);
  }
}

void check_required(const Element& element, const Name& attribute, WalkContext& context) {
  if (element.attributes.find(attribute) == nullptr) {
    context.messages.push_back(element.name + " missing " + attribute + " attribute.");
  }
}

}  // namespace

void walk(const Element& element, WalkContext& context) {
  const WalkNames& names = walk_names();
  check_identifier(element, names.unique_id, context.unique_ids, context);
  check_identifier(element, names.id_hash, context.id_hashes, context);
  if (element.name == names.screen || element.name == names.dmx_screen) {
    check_required(element, names.unique_id, context);
    check_required(element, names.name, context);
  } else if (element.name == names.dmx_device || element.name == names.virtual_device) {
    check_required(element, names.device_id, context);
  }
  for (const auto& node : element.children) {
    if (const Element* nested = node.as_element()) walk(*nested, context);
  }
}

}  // namespace kivo::xml_utils
