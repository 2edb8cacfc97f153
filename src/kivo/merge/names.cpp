#include <cstdint>

#include "kivo/merge.hpp"
#include "kivo/merge/tree_paths.hpp"
#include "kivo/xml_utils.hpp"

namespace kivo::merge {
namespace {

// The "Name" parameter of the group `group` of `element`, when both exist.
std::optional<std::string> named_param(const Element& element, std::string_view group) {
  const Element* params = xml_utils::params_by_name(element, group);
  return params ? xml_utils::param_value(*params, "Name") : std::nullopt;
}

}  // namespace

std::string get_screen_name(const Element& screen) {
  if (auto name = named_param(screen, "Params")) return *name;
  if (const std::string* name = screen.attr("name")) return *name;
  return "Screen";
}

std::string get_layer_name(const Element& layer) {
  if (auto name = named_param(layer, "Common")) return *name;
  return layer.name;
}

void set_layer_name(Element& layer, std::string_view name) {
  if (Element* common = xml_utils::params_by_name(layer, "Common")) {
    xml_utils::set_param_value(*common, "Name", name);
  }
}

std::unordered_set<std::string> collect_layer_names(std::span<const XMLNode> screen_children,
                                                    std::string_view tag) {
  std::unordered_set<std::string> names;
  const Element* layers = detail::first_child_named(screen_children, "layers");
  if (!layers) return names;
  for (const XMLNode& node : layers->children) {
    const Element* layer = node.as_element();
    if (layer && layer->name == tag) names.insert(get_layer_name(*layer));
  }
  return names;
}

std::string resolve_name_conflict(std::string_view base,
                                  const std::unordered_set<std::string>& taken) {
  std::string candidate(base);
  if (!taken.contains(candidate)) return candidate;
  candidate = std::string(base) + " (Copy)";
  if (!taken.contains(candidate)) return candidate;
  // Ends within taken.size() + 1 tries: each taken name blocks at most one number.
  for (std::uint32_t number = 2;; ++number) {
    candidate = std::string(base) + " (Copy " + std::to_string(number) + ")";
    if (!taken.contains(candidate)) return candidate;
  }
}

}  // namespace kivo::merge
