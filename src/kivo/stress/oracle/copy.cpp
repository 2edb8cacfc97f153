// What copying a screen, a slice or a mask must produce.
#include "kivo/stress/oracle/copies.hpp"
#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle::detail {
namespace {

// A refusal with the decisions that led to it.
Expectation refused(std::string outcome, Decisions decisions, Decision why) {
  Expectation expectation;
  expectation.refusal = std::move(outcome);
  expectation.decisions = decisions;
  mark(expectation.decisions, why);
  return expectation;
}

Expectation invalid(const std::string& text, Decisions decisions, Decision why) {
  return refused("error:Validation failed: " + text, decisions, why);
}

const std::string kSourceMissing = "error:Source node not found";

// True when a child of the screens list other than a `Screen` carries uniqueId `id`.
bool other_kind_holds(const Element& root, std::string_view id) {
  const Located screens = screens_list(root);
  if (!screens.element) return false;
  for (const XMLNode& node : screens.element->children) {
    const Element* screen = node.as_element();
    if (screen && screen->name != "Screen" && has_id(*screen, id)) return true;
  }
  return false;
}

std::unordered_set<std::string> screen_names(const Element& target, Decisions& decisions) {
  std::unordered_set<std::string> names;
  const Located screens = screens_list(target);
  if (!screens.element) return names;
  for (const XMLNode& node : screens.element->children) {
    const Element* screen = node.as_element();
    if (!screen || screen->name != "Screen") continue;
    Decisions seen;
    names.insert(screen_name(*screen, &seen));
    if (seen[static_cast<std::size_t>(Decision::NameSourcesDisagree)]) {
      mark(decisions, Decision::TakenNamesDisagree);
    }
  }
  return names;
}

void rename_devices(Element& screen, const std::string& name, Decisions& decisions) {
  std::size_t lists = 0;
  for (const XMLNode& node : screen.children) {
    const Element* child = node.as_element();
    lists += child && child->name == "OutputDevice";
  }
  if (lists > 1) mark(decisions, Decision::SecondDeviceListKept);
  auto devices = first_child(screen, "OutputDevice");
  if (!devices) return;
  for (XMLNode& node : screen.children[*devices].as_element()->children) {
    Element* device = node.as_element();
    if (!device) continue;
    mark(decisions, Decision::DevicesRenamed);
    device->set_attr("name", name);
    const bool virtual_device = device->name == "OutputDeviceVirtual";
    mark(decisions, virtual_device ? Decision::VirtualDeviceRenamed : Decision::OtherDeviceRenamed);
    if (virtual_device) device->set_attr("deviceId", "Virtual" + name);
  }
}

bool has_param(const Element& group, std::string_view name) {
  for (const XMLNode& node : group.children) {
    const Element* param = node.as_element();
    if (param && param->name == "Param" && param->attr("name") && *param->attr("name") == name) {
      return true;
    }
  }
  return false;
}

void note_rename(const std::string& old_name, const std::string& new_name, Decision what,
                 Decisions& decisions) {
  mark(decisions, what);
  if (new_name != old_name + " (Copy)") mark(decisions, Decision::RenamedWithNumber);
}

void rename_screen(Element& copy, const Element& target, Expectation& expectation) {
  Decisions& decisions = expectation.decisions;
  const std::string old_name = screen_name(copy, &decisions);
  const std::string new_name = free_name(old_name, screen_names(target, decisions));
  if (new_name == old_name) return;
  note_rename(old_name, new_name, Decision::ScreenRenamed, decisions);
  expectation.messages.push_back("Screen name '" + old_name + "' existed in target; renamed to '" +
                                 new_name + "'.");
  copy.set_attr("name", new_name);
  Element* params = group(copy, "Params");
  if (!params) mark(decisions, Decision::RenamedWithoutParam);
  if (params) set_param(*params, "Name", new_name);
  rename_devices(copy, new_name, decisions);
}

std::unordered_set<std::string> layer_names(const Element& screen, std::string_view tag,
                                            std::unordered_set<std::string>* other_tag = nullptr) {
  std::unordered_set<std::string> names;
  auto layers = first_child(screen, "layers");
  if (!layers) return names;
  for (const XMLNode& node : screen.children[*layers].as_element()->children) {
    const Element* layer = node.as_element();
    if (layer && layer->name == tag) names.insert(layer_name(*layer));
    if (layer && other_tag && layer->name != tag) other_tag->insert(layer_name(*layer));
  }
  return names;
}

void rename_layer(Element& copy, const Element& screen, std::string_view tag,
                  Expectation& expectation) {
  Decisions& decisions = expectation.decisions;
  const std::string old_name = layer_name(copy, &decisions);
  std::unordered_set<std::string> other_tag;
  const auto taken = layer_names(screen, tag, &other_tag);
  const std::string new_name = free_name(old_name, taken);
  if (!taken.contains(old_name) && other_tag.contains(old_name)) {
    mark(decisions, Decision::TakenByOtherTagOnly);
  }
  if (new_name == old_name) return;
  note_rename(old_name, new_name, Decision::LayerRenamed, decisions);
  expectation.messages.push_back(std::string(tag) + " name '" + old_name +
                                 "' existed in target; renamed to '" + new_name + "'.");
  Element* common = group(copy, "Common");
  if (!common || !has_param(*common, "Name")) mark(decisions, Decision::RenamedWithoutParam);
  if (common) set_param(*common, "Name", new_name);
}

// Appended last under `parent`.
Expectation appended(Element copy, const Located& parent, const Element& target,
                     Expectation expectation) {
  renumber(copy, target, expectation);
  expectation.parent = parent.path;
  expectation.position = parent.element->children.size();
  expectation.subtree = std::move(copy);
  return expectation;
}

Expectation screen_copy(const Element& source, const Element& target,
                        const StressOperation::Copy& copy, Decisions decisions) {
  const Located original = find_screen(source, copy.source_unique_id);
  if (!original.element) {
    if (other_kind_holds(source, copy.source_unique_id)) {
      mark(decisions, Decision::ScreenSourceOtherKind);
    }
    return refused(kSourceMissing, decisions, Decision::ScreenSourceMissing);
  }
  Expectation expectation;
  expectation.decisions = decisions;
  Element screen = *original.element;
  rename_screen(screen, target, expectation);
  const Located screens = screens_list(target);
  if (!screens.element) {
    return invalid("Target missing /XmlState/ScreenSetup/screens", expectation.decisions,
                   Decision::TargetNoScreensList);
  }
  return appended(std::move(screen), screens, target, std::move(expectation));
}

// Where a layer the request names lies instead, when it is not where the request looks.
void mark_misplaced_layer(const Located& screen, const StressOperation::Copy& copy,
                          std::string_view tag, Decisions& decisions) {
  bool first = true;
  for (const XMLNode& node : screen.element->children) {
    const Element* layers = node.as_element();
    if (!layers || layers->name != "layers") continue;
    for (const XMLNode& layer_node : layers->children) {
      const Element* layer = layer_node.as_element();
      if (!layer || !has_id(*layer, copy.source_unique_id)) continue;
      if (first && layer->name != tag) mark(decisions, Decision::LayerOfOtherTag);
      if (!first && layer->name == tag) mark(decisions, Decision::LayerInSecondList);
    }
    first = false;
  }
}

const Element* source_layer(const Element& source, const StressOperation::Copy& copy,
                            std::string_view tag, Decisions& decisions) {
  const Located screen = find_screen(source, *copy.source_parent_unique_id);
  if (!screen.element) {
    mark(decisions, Decision::ParentMissing);
    if (other_kind_holds(source, *copy.source_parent_unique_id)) {
      mark(decisions, Decision::ParentOtherKind);
    }
    return nullptr;
  }
  const Located layers = descend(screen, "layers");
  if (!layers.element) {
    mark(decisions, Decision::ParentWithoutLayers);
    return nullptr;
  }
  for (const XMLNode& node : layers.element->children) {
    const Element* layer = node.as_element();
    if (layer && named(*layer, tag) && has_id(*layer, copy.source_unique_id)) return layer;
  }
  mark(decisions, Decision::LayerMissing);
  mark_misplaced_layer(screen, copy, tag, decisions);
  return nullptr;
}

Expectation layer_copy(const Element& source, const Element& target,
                       const StressOperation::Copy& copy, std::string_view tag,
                       Decisions decisions) {
  if (!copy.source_parent_unique_id) {
    return invalid("Slice/Mask copy requires parentUniqueId", decisions, Decision::LayerNoParent);
  }
  const Element* original = source_layer(source, copy, tag, decisions);
  if (!original) return refused(kSourceMissing, decisions, Decision::LayerMissing);
  if (!copy.target_screen_unique_id) {
    return invalid("targetScreenUniqueId is required", decisions, Decision::NoTargetId);
  }
  const Located screen = find_screen(target, *copy.target_screen_unique_id);
  if (!screen.element) {
    if (other_kind_holds(target, *copy.target_screen_unique_id)) {
      mark(decisions, Decision::TargetOtherKind);
    }
    return refused("error:Target screen not found", decisions, Decision::TargetMissing);
  }
  Expectation expectation;
  expectation.decisions = decisions;
  Element layer = *original;
  rename_layer(layer, *screen.element, tag, expectation);
  const Located layers = descend(screen, "layers");
  if (!layers.element) {
    return invalid("Target screen is missing <layers> section", expectation.decisions,
                   Decision::TargetWithoutLayers);
  }
  return appended(std::move(layer), layers, target, std::move(expectation));
}

}  // namespace

Expectation expect_copy(const Element& source, const Element& target,
                        const StressOperation::Copy& copy) {
  const std::string& kind = copy.source_kind;
  Decisions decisions;
  if (kind != "screen" && kind != "slice" && kind != "mask") {
    return invalid("Unsupported source kind '" + kind + "' in replay", decisions,
                   Decision::RefusedPolicy);
  }
  mark(decisions, kind == "screen"  ? Decision::CopyScreen
                  : kind == "slice" ? Decision::CopySlice
                                    : Decision::CopyMask);
  if (copy.collision_policy.value_or("autoRenameRemap") != "autoRenameRemap") {
    return invalid("Only autoRenameRemap collision policy is supported in v1", decisions,
                   Decision::RefusedPolicy);
  }
  if (kind == "screen") return screen_copy(source, target, copy, decisions);
  return layer_copy(source, target, copy, kind == "slice" ? "Slice" : "Mask", decisions);
}

}  // namespace kivo::stress::oracle::detail
