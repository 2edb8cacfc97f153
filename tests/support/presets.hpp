#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/xml_utils.hpp"

// The bundled template and small presets, built in code or as text, shared by every test.
namespace kivo::test {

using Attrs = std::vector<std::pair<std::string, std::string>>;

inline const std::string kBundledTemplate = KIVO_SOURCE_DIR "/Sample_files/fully_loaded.xml";

inline std::string read_whole_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

/// The tree of `text`; a parse failure fails the test and gives an empty element.
inline Element parse_doc(std::string_view text) {
  auto parsed = xml_utils::parse(text);
  if (!parsed) {
    ADD_FAILURE() << "test document does not parse: " << parsed.error().message();
    return Element::make("");
  }
  return std::move(*parsed);
}

inline Element load_template() { return parse_doc(read_whole_file(kBundledTemplate)); }

/// `element` in the fixed text form; a write failure fails the test.
inline std::string written(const Element& element) {
  auto text = xml_utils::write_xml_string(element);
  if (!text) ADD_FAILURE() << "document does not write: " << text.error().description;
  return text ? *text : "<write failed>";
}

/// `text` re-written in the fixed form, for comparing with a changed document.
inline std::string normalized(std::string_view text) { return written(parse_doc(text)); }

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

/// A vertex list `tag` of "v" points.
inline Element vertices(const std::string& tag, const Attrs& points) {
  Element list = el(tag);
  for (const auto& [x, y] : points) list.children.push_back(XMLNode{el("v", {{"x", x}, {"y", y}})});
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

/// A screen named `name` (attribute and "Params" group) holding `layers`.
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

/// A rectangle `tag` from the origin to width x height, as text.
inline std::string rect_text(const std::string& tag, int width, int height) {
  const std::string w = std::to_string(width), h = std::to_string(height);
  return "<" + tag + "><v x=\"0\" y=\"0\"/><v x=\"" + w + "\" y=\"0\"/><v x=\"" + w + "\" y=\"" +
         h + "\"/><v x=\"0\" y=\"" + h + "\"/></" + tag + ">";
}

/// An enabled slice "Slice <id>" with equal input and output rectangles, as text.
inline std::string slice_text(int id, int width, int height) {
  return "<Slice uniqueId=\"" + std::to_string(id) +
         "\"><Params name=\"Common\"><Param name=\"Name\" value=\"Slice " + std::to_string(id) +
         "\"/><Param name=\"Enabled\" value=\"1\"/></Params>" +
         rect_text("InputRect", width, height) + rect_text("OutputRect", width, height) +
         "</Slice>";
}

/// A template whose second screen has no layers: every slice or mask copy planned onto it is
/// refused while success is expected, so with one pair of two slots seeds 4 and 5 among 1..6 fail.
inline const std::string kBareScreenTemplate =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XmlState><ScreenSetup><screens>"
    "<Screen uniqueId=\"100001\" name=\"Wall\"><Params name=\"Params\"><Param name=\"Name\" "
    "value=\"Wall\"/><Param name=\"Enabled\" value=\"1\"/></Params><layers>" +
    slice_text(200001, 1920, 1080) + slice_text(200002, 800, 600) + slice_text(200003, 1000, 1000) +
    "</layers></Screen><Screen uniqueId=\"100002\" name=\"Bare\"><Params name=\"Params\">"
    "<Param name=\"Name\" value=\"Bare\"/><Param name=\"Enabled\" value=\"1\"/></Params>"
    "</Screen></screens></ScreenSetup></XmlState>";

/// The case directory named after "Artifacts: " on the first line of a stress-failure error.
inline std::filesystem::path case_dir_of(const std::string& error) {
  const std::string marker = "Artifacts: ";
  const auto start = error.find(marker) + marker.size();
  return error.substr(start, error.find('\n', start) - start);
}

}  // namespace kivo::test
