#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle::detail {
namespace {

void note(Decisions* decisions, Decision decision) {
  if (decisions) mark(*decisions, decision);
}

const Element* group_of(const Element& element, std::string_view name,
                        Decisions* decisions = nullptr) {
  for (const XMLNode& node : element.children) {
    const Element* child = node.as_element();
    if (!child || !named(*child, "Params")) continue;
    const std::string* group_name = child->attr("name");
    if (!group_name) note(decisions, Decision::NamelessGroupPassed);
    if (group_name && *group_name == name) return child;
  }
  return nullptr;
}

// The first Param named "Name" that carries a value; earlier ones without a value are passed.
std::optional<std::string> name_param(const Element* group, Decisions* decisions) {
  if (!group) return std::nullopt;
  for (const XMLNode& node : group->children) {
    const Element* param = node.as_element();
    if (!param || !named(*param, "Param")) continue;
    const std::string* name = param->attr("name");
    const std::string* value = param->attr("value");
    if (name && *name == "Name" && !value) note(decisions, Decision::ValuelessNamePassed);
    if (name && *name == "Name" && value) return *value;
  }
  note(decisions, Decision::GroupWithoutNamePassed);
  return std::nullopt;
}

std::string named(std::string name, Decision rule, Decisions* decisions) {
  note(decisions, rule);
  if (name.empty()) note(decisions, Decision::EmptyName);
  return name;
}

}  // namespace

std::string screen_name(const Element& screen, Decisions* decisions) {
  const std::string* attribute = screen.attr("name");
  if (auto name = name_param(group_of(screen, "Params", decisions), decisions)) {
    if (attribute && *attribute != *name) note(decisions, Decision::NameSourcesDisagree);
    return named(*name, Decision::NameFromParams, decisions);
  }
  if (attribute) return named(*attribute, Decision::NameFromAttribute, decisions);
  return named("Screen", Decision::NameDefault, decisions);
}

std::string layer_name(const Element& layer, Decisions* decisions) {
  if (auto name = name_param(group_of(layer, "Common", decisions), decisions)) {
    return named(*name, Decision::NameFromParams, decisions);
  }
  return named(layer.name, Decision::NameDefault, decisions);
}

Element* group(Element& element, std::string_view name) {
  return const_cast<Element*>(group_of(element, name));
}

void set_param(Element& group, std::string_view name, const std::string& value) {
  for (XMLNode& node : group.children) {
    Element* param = node.as_element();
    if (!param || param->name != "Param") continue;
    const std::string* param_name = param->attr("name");
    if (param_name && *param_name == name) {
      param->set_attr("value", value);
      return;
    }
  }
}

std::string free_name(const std::string& base, const std::unordered_set<std::string>& taken) {
  if (!taken.contains(base)) return base;
  if (!taken.contains(base + " (Copy)")) return base + " (Copy)";
  for (std::uint64_t n = 2;; ++n) {
    std::string candidate = base + " (Copy " + std::to_string(n) + ")";
    if (!taken.contains(candidate)) return candidate;
  }
}

}  // namespace kivo::stress::oracle::detail
