#include "kivo/validation.hpp"

#include <utility>

#include "kivo/xml_utils.hpp"

namespace kivo::validation {

std::vector<std::string> validate_doc(const Element& root) {
  xml_utils::WalkContext context;
  auto& messages = context.messages;
  if (root.name != "XmlState") messages.push_back("Root node should be <XmlState>.");
  const Element* setup = xml_utils::child(root, "ScreenSetup");
  if (setup == nullptr) {
    messages.push_back("Missing <ScreenSetup> node.");
    return std::move(messages);
  }
  const Element* screens = xml_utils::child(*setup, "screens");
  if (screens == nullptr) {
    messages.push_back("Missing <screens> node under <ScreenSetup>.");
    return std::move(messages);
  }
  bool has_screen = false;
  for (const auto& node : screens->children) has_screen = has_screen || node.as_element();
  if (!has_screen) messages.push_back("No screen nodes found in <screens>.");
  xml_utils::walk(root, context);
  return std::move(context.messages);
}

}  // namespace kivo::validation
