#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/xml_utils.hpp"

// Small presets built in code for the copy-engine tests.
namespace kivo::merge_test {

using Attrs = std::vector<std::pair<std::string, std::string>>;

inline Element el(std::string name, const Attrs& attrs = {}, std::vector<Element> children = {}) {
  Element element = Element::make(std::move(name));
  for (const auto& [key, value] : attrs) element.set_attr(key, value);
  for (Element& child : children) element.children.push_back(XMLNode{std::move(child)});
  return element;
}

/// A `Params` group `group` holding the one parameter "Name".
inline Element name_group(const std::string& group, const std::string& name) {
  return el("Params", {{"name", group}}, {el("Param", {{"name", "Name"}, {"value", name}})});
}

/// An `InputRect` (or any vertex list) of "v" points with the given coordinate texts.
inline Element vertices(const std::string& tag,
                        const std::vector<std::pair<std::string, std::string>>& points) {
  Element list = el(tag);
  for (const auto& [x, y] : points) {
    list.children.push_back(XMLNode{el("v", {{"x", x}, {"y", y}})});
  }
  return list;
}

/// A slice named `name` ("Common" group) with the given extra children.
inline Element slice(const std::string& id, const std::string& name,
                     std::vector<Element> children = {}) {
  Element layer =
      el("Slice", {{"uniqueId", id}, {"idHash", "h" + id}}, {name_group("Common", name)});
  for (Element& child : children) layer.children.push_back(XMLNode{std::move(child)});
  return layer;
}

/// A screen named `name` ("Params" group) holding `layers`.
inline Element screen(const std::string& id, const std::string& name,
                      std::vector<Element> layers = {}) {
  return el("Screen", {{"uniqueId", id}, {"name", name}},
            {name_group("Params", name), el("layers", {}, std::move(layers))});
}

/// An `XmlState` root whose screens list holds `screens`.
inline Element preset(std::vector<Element> screens) {
  return el("XmlState", {}, {el("ScreenSetup", {}, {el("screens", {}, std::move(screens))})});
}

/// The element children of `element`, for positional checks.
inline std::vector<const Element*> child_elements(const Element& element) {
  std::vector<const Element*> out;
  for (const XMLNode& node : element.children) {
    if (const Element* child = node.as_element()) out.push_back(child);
  }
  return out;
}

/// Written text of a preset, or a marker when writing fails.
inline std::string written(const Element& root) {
  auto text = xml_utils::write_xml_string(root);
  return text ? *text : "<write failed: " + text.error().description + ">";
}

}  // namespace kivo::merge_test
