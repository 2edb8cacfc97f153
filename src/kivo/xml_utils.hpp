#pragma once

#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "kivo/element.hpp"
#include "kivo/xml_errors.hpp"

namespace kivo::xml_utils {

/// Settings of the XML writer; the defaults are the system's fixed text form.
struct WriterConfig {
  bool write_declaration = true;
  std::string line_separator = "\n";
  std::string indent_string = "  ";
  bool perform_indent = true;
  bool perform_escaping = true;
  bool normalize_empty_elements = true;
  bool cdata_to_characters = false;
  bool pad_self_closing = false;
  bool autopad_comments = true;
};

/// Parses complete XML text into its root element.
std::expected<Element, ParseError> parse(std::string_view text);
/// Writes `root` as a complete document, appending to `sink`.
std::expected<void, WriteError> write_with_config(const Element& root, std::string& sink,
                                                  const WriterConfig& config);
/// Writes `root` in the fixed text form.
std::expected<std::string, WriteError> write_xml_string(const Element& root);

/// First child element named `name`, or nullptr.
const Element* child(const Element& element, std::string_view name);
/// First child element named `name`, or nullptr.
Element* child(Element& element, std::string_view name);

/// First child `Params` element whose `name` attribute equals `group`, or nullptr.
const Element* params_by_name(const Element& element, std::string_view group);
/// First child `Params` element whose `name` attribute equals `group`, or nullptr.
Element* params_by_name(Element& element, std::string_view group);
/// `value` of the first `Param` child named `name` that has one.
std::optional<std::string> param_value(const Element& element, std::string_view name);
/// Sets `value` of the first `Param` child named `name`; false when there is none.
bool set_param_value(Element& element, std::string_view name, std::string_view value);
/// Appends the values of attribute `name` over the subtree, in pre-order.
void gather_attr_values(const Element& element, std::string_view name,
                        std::vector<std::string>& out);
/// Replaces every attribute value of the subtree that is a key of `mapping`.
void replace_attr_values(Element& element,
                         const std::unordered_map<std::string, std::string>& mapping);

/// State carried by `walk`: messages and the identifier values seen so far.
struct WalkContext {
  std::vector<std::string> messages;
  std::unordered_set<std::string> unique_ids;
  std::unordered_set<std::string> id_hashes;
};
/// Checks identifiers and required attributes of `element` and its subtree.
void walk(const Element& element, WalkContext& context);

}  // namespace kivo::xml_utils
