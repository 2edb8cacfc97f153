#pragma once

// How a planted fault sees one engine call, and the helpers faults change documents with.

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "kivo/merge.hpp"
#include "kivo/xml_utils.hpp"
#include "support/census.hpp"

namespace kivo::test::census {

using stress::StressOperation;
namespace xml = xml_utils;
using EngineResult = std::expected<model::CopyResult, AppError>;

inline Element* last_element(Element& parent) {
  for (auto it = parent.children.rbegin(); it != parent.children.rend(); ++it) {
    if (Element* element = it->as_element()) return element;
  }
  return nullptr;
}

inline void each_element(Element& element, const std::function<void(Element&)>& visit) {
  visit(element);
  for (XMLNode& node : element.children) {
    if (Element* child = node.as_element()) each_element(*child, visit);
  }
}

inline std::vector<const Element*> child_elements_of(const Element& element) {
  std::vector<const Element*> out;
  for (const XMLNode& node : element.children) {
    if (const Element* child = node.as_element()) out.push_back(child);
  }
  return out;
}

inline std::vector<Element*> elements_of(const Element& root) {
  std::vector<Element*> all;
  each_element(const_cast<Element&>(root), [&](Element& e) { all.push_back(&e); });
  return all;
}

inline const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

inline void replace_all(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
    text.replace(at, from.size(), to);
  }
}

inline void last_to_front(std::vector<XMLNode>& list) {
  std::rotate(list.rbegin(), list.rbegin() + 1, list.rend());
}

inline Element* mask_of(const Element& root, const std::string& slice_id) {
  const Element* slice = merge::find_slice(root.children, slice_id);
  return slice ? const_cast<Element*>(xml::child(*slice, "SliceMask")) : nullptr;
}

// One engine call as a planted fault sees it, with the places faults change.
struct Call {
  const Element& source;
  Element& target;
  const StressOperation& op;
  EngineResult& result;
  const Element& target_before;

  const StressOperation::Copy* copy() const {
    return std::get_if<StressOperation::Copy>(&op.value);
  }
  const StressOperation::InputMask* paste() const {
    return std::get_if<StressOperation::InputMask>(&op.value);
  }
  bool copied(const char* kind) const { return result && copy() && copy()->source_kind == kind; }
  // A successful copy of `kind` that reported a rename.
  bool renamed(const char* kind) const { return copied(kind) && !result->messages.empty(); }
  bool pasted() const { return result && paste(); }
  bool refused(const std::string& text) const {
    return !result && result.error().text().find(text) != std::string::npos;
  }
  Element& screens() const { return *xml::child(*xml::child(target, "ScreenSetup"), "screens"); }
  Element& added_screen() const { return *last_element(screens()); }
  const Element& source_screen() const {
    return *merge::find_screen(source.children, copy()->source_unique_id);
  }
  // The layers of the screen a slice or mask copy went into.
  Element& receiving_layers() const {
    auto* screen = merge::find_screen_mut(target.children, *copy()->target_screen_unique_id);
    return *xml::child(*screen, "layers");
  }
  Element* source_mask() const { return mask_of(source, paste()->source_slice_unique_id); }
  Element* target_mask() const { return mask_of(target, paste()->target_slice_unique_id); }
  // Every vertex of a pasted mask.
  void each_pasted_vertex(const std::function<void(Element&)>& change) const {
    if (!pasted() || !target_mask()) return;
    each_element(*target_mask(), [&](Element& e) {
      if (e.name == "v") change(e);
    });
  }
};

inline void set_param(Element& node, const char* group, const char* param,
                      const std::string& value) {
  if (Element* params = xml::params_by_name(node, group))
    xml::set_param_value(*params, param, value);
}

struct Faults {
  void engine(const char* name, std::function<void(const Call&)> corrupt) {
    list.push_back({name, std::move(corrupt), "", "", {}, {}});
  }
  void writer(const char* name, std::string from, std::string to) {
    list.push_back({name, {}, std::move(from), std::move(to), {}, {}});
  }
  void reader(const char* name, std::function<void(Element&)> misread) {
    list.push_back({name, {}, "", "", std::move(misread), {}});
  }
  void validation(const char* name,
                  std::function<void(const Element&, std::vector<std::string>&)> misvalidate) {
    list.push_back({name, {}, "", "", {}, std::move(misvalidate)});
  }
  std::vector<PlantedFault> list;
};

// `from` replaced by `to` in the call's messages and in the attribute values under `root`.
inline void rename_in(const Call& c, Element& root, const std::string& from,
                      const std::string& to) {
  for (std::string& message : c.result->messages) replace_all(message, from, to);
  each_element(root, [&](Element& e) {
    for (auto& [name, value] : e.attributes.entries()) replace_all(value, from, to);
  });
}

}  // namespace kivo::test::census
