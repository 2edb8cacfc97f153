// What copying a screen, a slice or a mask must produce.
#include "kivo/stress/oracle/copies.hpp"
#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle::detail {
namespace {

Expectation refused(std::string outcome) {
  Expectation expectation;
  expectation.refusal = std::move(outcome);
  return expectation;
}

Expectation invalid(const std::string& text) { return refused("error:Validation failed: " + text); }

const std::string kSourceMissing = "error:Source node not found";

std::unordered_set<std::string> screen_names(const Element& target) {
  std::unordered_set<std::string> names;
  const Located screens = screens_list(target);
  if (!screens.element) return names;
  for (const XMLNode& node : screens.element->children) {
    const Element* screen = node.as_element();
    if (screen && screen->name == "Screen") names.insert(screen_name(*screen));
  }
  return names;
}

void rename_devices(Element& screen, const std::string& name) {
  auto devices = first_child(screen, "OutputDevice");
  if (!devices) return;
  for (XMLNode& node : screen.children[*devices].as_element()->children) {
    Element* device = node.as_element();
    if (!device) continue;
    device->set_attr("name", name);
    if (device->name == "OutputDeviceVirtual") device->set_attr("deviceId", "Virtual" + name);
  }
}

void rename_screen(Element& copy, const Element& target, std::vector<std::string>& messages) {
  const std::string old_name = screen_name(copy);
  const std::string new_name = free_name(old_name, screen_names(target));
  if (new_name == old_name) return;
  messages.push_back("Screen name '" + old_name + "' existed in target; renamed to '" + new_name +
                     "'.");
  copy.set_attr("name", new_name);
  if (Element* params = group(copy, "Params")) set_param(*params, "Name", new_name);
  rename_devices(copy, new_name);
}

std::unordered_set<std::string> layer_names(const Element& screen, std::string_view tag) {
  std::unordered_set<std::string> names;
  auto layers = first_child(screen, "layers");
  if (!layers) return names;
  for (const XMLNode& node : screen.children[*layers].as_element()->children) {
    const Element* layer = node.as_element();
    if (layer && layer->name == tag) names.insert(layer_name(*layer));
  }
  return names;
}

void rename_layer(Element& copy, const Element& screen, std::string_view tag,
                  std::vector<std::string>& messages) {
  const std::string old_name = layer_name(copy);
  const std::string new_name = free_name(old_name, layer_names(screen, tag));
  if (new_name == old_name) return;
  messages.push_back(std::string(tag) + " name '" + old_name + "' existed in target; renamed to '" +
                     new_name + "'.");
  if (Element* common = group(copy, "Common")) set_param(*common, "Name", new_name);
}

// Appended last under `parent`.
Expectation appended(Element copy, const Located& parent, const Element& target,
                     std::vector<std::string> messages) {
  Expectation expectation;
  renumber(copy, target, expectation.unique_id_map, expectation.id_hash_map);
  expectation.parent = parent.path;
  expectation.position = parent.element->children.size();
  expectation.subtree = std::move(copy);
  expectation.messages = std::move(messages);
  return expectation;
}

Expectation screen_copy(const Element& source, const Element& target,
                        const StressOperation::Copy& copy) {
  const Located original = find_screen(source, copy.source_unique_id);
  if (!original.element) return refused(kSourceMissing);
  Element screen = *original.element;
  std::vector<std::string> messages;
  rename_screen(screen, target, messages);
  const Located screens = screens_list(target);
  if (!screens.element) return invalid("Target missing /XmlState/ScreenSetup/screens");
  return appended(std::move(screen), screens, target, std::move(messages));
}

const Element* source_layer(const Element& source, const StressOperation::Copy& copy,
                            std::string_view tag) {
  const Located screen = find_screen(source, *copy.source_parent_unique_id);
  const Located layers = descend(screen, "layers");
  if (!layers.element) return nullptr;
  for (const XMLNode& node : layers.element->children) {
    const Element* layer = node.as_element();
    if (layer && layer->name == tag && has_id(*layer, copy.source_unique_id)) return layer;
  }
  return nullptr;
}

Expectation layer_copy(const Element& source, const Element& target,
                       const StressOperation::Copy& copy, std::string_view tag) {
  if (!copy.source_parent_unique_id) return invalid("Slice/Mask copy requires parentUniqueId");
  const Element* original = source_layer(source, copy, tag);
  if (!original) return refused(kSourceMissing);
  if (!copy.target_screen_unique_id) return invalid("targetScreenUniqueId is required");
  const Located screen = find_screen(target, *copy.target_screen_unique_id);
  if (!screen.element) return refused("error:Target screen not found");
  Element layer = *original;
  std::vector<std::string> messages;
  rename_layer(layer, *screen.element, tag, messages);
  const Located layers = descend(screen, "layers");
  if (!layers.element) return invalid("Target screen is missing <layers> section");
  return appended(std::move(layer), layers, target, std::move(messages));
}

}  // namespace

Expectation expect_copy(const Element& source, const Element& target,
                        const StressOperation::Copy& copy) {
  const std::string& kind = copy.source_kind;
  if (kind != "screen" && kind != "slice" && kind != "mask") {
    return invalid("Unsupported source kind '" + kind + "' in replay");
  }
  if (copy.collision_policy.value_or("autoRenameRemap") != "autoRenameRemap") {
    return invalid("Only autoRenameRemap collision policy is supported in v1");
  }
  if (kind == "screen") return screen_copy(source, target, copy);
  return layer_copy(source, target, copy, kind == "slice" ? "Slice" : "Mask");
}

}  // namespace kivo::stress::oracle::detail
