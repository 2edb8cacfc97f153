#include "kivo/merge/renaming.hpp"

#include "kivo/merge.hpp"
#include "kivo/merge/tree_paths.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::merge::detail {
namespace {

// Output devices carry the screen's name, and a virtual one also derives its id from it.
void rename_output_devices(Element& screen, const std::string& name) {
  Element* devices = xml_utils::child(screen, "OutputDevice");
  if (!devices) return;
  for (XMLNode& node : devices->children) {
    Element* device = node.as_element();
    if (!device) continue;
    device->set_attr("name", name);
    if (device->name == "OutputDeviceVirtual") device->set_attr("deviceId", "Virtual" + name);
  }
}

}  // namespace

std::unordered_set<std::string> collect_screen_names(const Element& target_root) {
  std::unordered_set<std::string> names;
  const Element* screens = screens_list(target_root.children);
  if (!screens) return names;
  for (const XMLNode& node : screens->children) {
    const Element* screen = node.as_element();
    if (screen && screen->name == "Screen") names.insert(get_screen_name(*screen));
  }
  return names;
}

void rename_copied_screen(Element& copy, const std::unordered_set<std::string>& taken,
                          std::vector<std::string>& messages) {
  std::string old_name = get_screen_name(copy);
  std::string new_name = resolve_name_conflict(old_name, taken);
  if (new_name == old_name) return;
  messages.push_back("Screen name '" + old_name + "' existed in target; renamed to '" + new_name +
                     "'.");
  copy.set_attr("name", new_name);
  if (Element* params = xml_utils::params_by_name(copy, "Params")) {
    xml_utils::set_param_value(*params, "Name", new_name);
  }
  rename_output_devices(copy, new_name);
}

void rename_copied_layer(Element& copy, std::string_view tag,
                         const std::unordered_set<std::string>& taken,
                         std::vector<std::string>& messages) {
  std::string old_name = get_layer_name(copy);
  std::string new_name = resolve_name_conflict(old_name, taken);
  if (new_name == old_name) return;
  messages.push_back(std::string(tag) + " name '" + old_name + "' existed in target; renamed to '" +
                     new_name + "'.");
  set_layer_name(copy, new_name);
}

}  // namespace kivo::merge::detail
