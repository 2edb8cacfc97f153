#include "kivo/stress/mutations.hpp"

namespace kivo::stress::mutations {
namespace {

bool is_layer_tag(std::string_view name) { return name == "Slice" || name == "Mask"; }

template <class ElementT>
ElementT* find_by_unique_id_tag(ElementT& element, std::string_view unique_id,
                                std::string_view tag) {
  if (element.name == tag) {
    const std::string* id = element.attr("uniqueId");
    if (id != nullptr && *id == unique_id) return &element;
  }
  for (auto& node : element.children) {
    auto* child = node.as_element();
    if (child == nullptr) continue;
    if (ElementT* found = find_by_unique_id_tag(*child, unique_id, tag)) return found;
  }
  return nullptr;
}

template <class Predicate>
void collect_tagged_ids(const Element& element, const Predicate& wanted,
                        std::vector<TaggedId>& out) {
  const std::string* id = element.attr("uniqueId");
  if (id != nullptr && wanted(element.name)) out.push_back({element.name, *id});
  for (const auto& node : element.children) {
    if (const Element* child = node.as_element()) collect_tagged_ids(*child, wanted, out);
  }
}

}  // namespace

void collect_layer_refs_rec(const Element& element, std::vector<TaggedId>& out) {
  collect_tagged_ids(element, is_layer_tag, out);
}

void collect_ids_with_tags_rec(const Element& element, std::vector<TaggedId>& out) {
  collect_tagged_ids(
      element, [](std::string_view name) { return is_layer_tag(name) || name == "Screen"; }, out);
}

void collect_ids_by_tag_rec(const Element& element, std::string_view tag,
                            std::vector<std::string>& out) {
  const std::string* id = element.attr("uniqueId");
  if (id != nullptr && element.name == tag) out.push_back(*id);
  for (const auto& node : element.children) {
    if (const Element* child = node.as_element()) collect_ids_by_tag_rec(*child, tag, out);
  }
}

const Element* find_element_by_unique_id_tag(const Element& root, std::string_view unique_id,
                                             std::string_view tag) {
  return find_by_unique_id_tag(root, unique_id, tag);
}

Element* find_element_mut_by_unique_id_tag(Element& root, std::string_view unique_id,
                                           std::string_view tag) {
  return find_by_unique_id_tag(root, unique_id, tag);
}

const Element* params_by_name(std::span<const XMLNode> children, std::string_view group) {
  for (const auto& node : children) {
    const Element* element = node.as_element();
    if (element == nullptr || element->name != "Params") continue;
    const std::string* name = element->attr("name");
    if (name != nullptr && *name == group) return element;
  }
  return nullptr;
}

std::optional<std::string> find_param_value(std::span<const XMLNode> children,
                                            std::string_view name) {
  for (const auto& node : children) {
    const Element* element = node.as_element();
    if (element == nullptr || element->name != "Param") continue;
    const std::string* param_name = element->attr("name");
    const std::string* value = element->attr("value");
    if (param_name != nullptr && *param_name == name && value != nullptr) return *value;
  }
  return std::nullopt;
}

}  // namespace kivo::stress::mutations
