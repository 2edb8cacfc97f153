// Parameter groups (`Params` holding `Param`) and subtree-wide attribute helpers.
#include <utility>

#include "kivo/xml_utils.hpp"

namespace kivo::xml_utils {
namespace {

bool is_named(const Element& element, std::string_view tag, std::string_view name) {
  if (element.name != tag) return false;
  const std::string* value = element.attr("name");
  return value != nullptr && *value == name;
}

}  // namespace

const Element* params_by_name(const Element& element, std::string_view group) {
  for (const auto& node : element.children) {
    const Element* candidate = node.as_element();
    if (candidate != nullptr && is_named(*candidate, "Params", group)) return candidate;
  }
  return nullptr;
}

Element* params_by_name(Element& element, std::string_view group) {
  return const_cast<Element*>(params_by_name(std::as_const(element), group));
}

std::optional<std::string> param_value(const Element& element, std::string_view name) {
  for (const auto& node : element.children) {
    const Element* param = node.as_element();
    if (param == nullptr || !is_named(*param, "Param", name)) continue;
    if (const std::string* value = param->attr("value")) return *value;
  }
  return std::nullopt;
}

bool set_param_value(Element& element, std::string_view name, std::string_view value) {
  for (auto& node : element.children) {
    Element* param = node.as_element();
    if (param == nullptr || !is_named(*param, "Param", name)) continue;
    param->set_attr("value", std::string(value));
    return true;
  }
  return false;
}

namespace {

void gather_named(const Element& element, const Name& name, std::vector<std::string>& out) {
  if (const std::string* value = element.attributes.find(name)) out.push_back(*value);
  for (const auto& node : element.children) {
    if (const Element* nested = node.as_element()) gather_named(*nested, name, out);
  }
}

}  // namespace

void gather_attr_values(const Element& element, std::string_view name,
                        std::vector<std::string>& out) {
  gather_named(element, Name(name), out);
}

void replace_attr_values(Element& element,
                         const std::unordered_map<std::string, std::string>& mapping) {
  if (mapping.empty()) return;
  for (auto& [key, value] : element.attributes.entries()) {
    auto replacement = mapping.find(value);
    if (replacement != mapping.end()) value = replacement->second;
  }
  for (auto& node : element.children) {
    if (Element* nested = node.as_element()) replace_attr_values(*nested, mapping);
  }
}

}  // namespace kivo::xml_utils
