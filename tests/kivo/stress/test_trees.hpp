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

}  // namespace kivo::test
