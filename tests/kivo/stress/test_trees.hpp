#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "kivo/element.hpp"

namespace kivo::test {

/// An element with the given attributes and child elements.
inline Element el(std::string name, std::vector<std::pair<std::string, std::string>> attrs = {},
                  std::vector<Element> children = {}) {
  Element element = Element::make(std::move(name));
  for (auto& [key, value] : attrs) element.set_attr(key, std::move(value));
  for (Element& child : children) element.children.push_back(XMLNode{std::move(child)});
  return element;
}

/// A minimal preset: XmlState/ScreenSetup/screens holding `screens`.
inline Element preset(std::vector<Element> screens) {
  return el("XmlState", {}, {el("ScreenSetup", {}, {el("screens", {}, std::move(screens))})});
}

/// A `Params` group `group` holding the one parameter "Name".
inline Element name_group(std::string group, std::string name) {
  return el("Params", {{"name", std::move(group)}},
            {el("Param", {{"name", "Name"}, {"value", std::move(name)}})});
}

/// A vertex list `tag` of "v" points.
inline Element vertices(std::string tag, std::vector<std::pair<std::string, std::string>> points) {
  std::vector<Element> children;
  for (auto& [x, y] : points) children.push_back(el("v", {{"x", x}, {"y", y}}));
  return el(std::move(tag), {}, std::move(children));
}

/// A slice with a "Common" name and the given extra children.
inline Element slice(std::string id, std::string name, std::vector<Element> children = {}) {
  Element layer = el("Slice", {{"uniqueId", id}, {"idHash", "h" + id}},
                     {name_group("Common", std::move(name))});
  for (Element& child : children) layer.children.push_back(XMLNode{std::move(child)});
  return layer;
}

/// A screen with a "Params" name holding `layers`.
inline Element screen(std::string id, std::string name, std::vector<Element> layers = {}) {
  return el("Screen", {{"uniqueId", std::move(id)}},
            {name_group("Params", std::move(name)), el("layers", {}, std::move(layers))});
}

}  // namespace kivo::test
