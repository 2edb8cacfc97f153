#include "kivo/stress/checks.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::stress::checks {
namespace {

bool has_child_element(const Element& element) {
  for (const XMLNode& child : element.children) {
    if (child.as_element()) return true;
  }
  return false;
}

}  // namespace

Result<void> ensure_required_structure(const Element& root) {
  if (root.name != "XmlState") {
    return std::unexpected(Error("Root node is '" + root.name + "' instead of 'XmlState'."));
  }
  const Element* setup = xml_utils::child(root, "ScreenSetup");
  if (!setup) return std::unexpected(Error("Missing /XmlState/ScreenSetup"));
  const Element* screens = xml_utils::child(*setup, "screens");
  if (!screens) return std::unexpected(Error("Missing /XmlState/ScreenSetup/screens"));
  if (!has_child_element(*screens)) {
    return std::unexpected(Error("/XmlState/ScreenSetup/screens has no screen children."));
  }
  return {};
}

}  // namespace kivo::stress::checks
