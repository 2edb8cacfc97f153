// The system's own emitter of the fixed XML text form.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "kivo/xml_utils.hpp"
#include "kivo/xml_utils/xml_names.hpp"
#include "kivo/xml_utils/xml_text.hpp"

namespace kivo::xml_utils {
namespace {

using detail::append_escaped_attribute;
using detail::append_escaped_text;
using detail::append_normalized_line_ends;
using detail::is_ncname;
using detail::is_xml_text;

constexpr std::string_view kXmlUri = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsUri = "http://www.w3.org/2000/xmlns/";

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool is_xml_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Bindings declared in the text written so far, one stack per prefix so that a lookup does not
// scan every binding in force; an empty URI undeclares the default namespace.
class NamespaceScope {
 public:
  std::size_t mark() const { return log_.size(); }
  void restore(std::size_t mark) {
    for (; log_.size() > mark; log_.pop_back()) stack_of(log_.back()).pop_back();
  }

  /// The URI bound to `prefix` in the written text, or nullptr.
  const std::string_view* lookup(std::string_view prefix) const {
    static constexpr std::string_view xml_uri = kXmlUri;
    if (prefix == "xml") return &xml_uri;
    const std::vector<Binding>* stack = find_stack(prefix);
    if (stack == nullptr || stack->empty()) return nullptr;
    const std::string_view& uri = stack->back().uri;
    return uri.empty() ? nullptr : &uri;
  }

  bool is_bound_to(std::string_view prefix, std::string_view uri) const {
    const auto* bound = lookup(prefix);
    return bound ? *bound == uri : uri.empty();
  }

  /// True when `prefix` was bound after `mark`, that is by the element being written.
  bool bound_since(std::string_view prefix, std::size_t mark) const {
    const std::vector<Binding>* stack = find_stack(prefix);
    return stack != nullptr && !stack->empty() && stack->back().at >= mark;
  }

  /// True when a declaration of `prefix` as `uri` may be written.
  static bool declarable(std::string_view prefix, std::string_view uri) {
    if (prefix == "xml" || prefix == "xmlns" || uri == kXmlUri || uri == kXmlnsUri) return false;
    if (prefix.empty()) return true;
    return !uri.empty() && is_ncname(prefix);
  }

  void bind(std::string_view prefix, std::string_view uri) {
    stack_of(prefix).push_back(Binding{uri, log_.size()});
    log_.push_back(prefix);
  }

 private:
  struct Binding {
    std::string_view uri;
    std::size_t at;  // position in log_
  };

  // Every element asks about the default namespace, so it is kept apart from the hashed ones.
  const std::vector<Binding>* find_stack(std::string_view prefix) const {
    if (prefix.empty()) return &default_;
    auto found = stacks_.find(prefix);
    return found == stacks_.end() ? nullptr : &found->second;
  }
  std::vector<Binding>& stack_of(std::string_view prefix) {
    return prefix.empty() ? default_ : stacks_[prefix];
  }

  std::vector<Binding> default_;
  std::unordered_map<std::string_view, std::vector<Binding>> stacks_;
  std::vector<std::string_view> log_;
};

class Emitter {
 public:
  Emitter(std::string& out, const WriterConfig& config)
      : out_(out), config_(config), indentation_(config.line_separator) {}

  std::expected<void, WriteError> document(const Element& root) {
    if (config_.write_declaration) {
      out_ += R"(<?xml version="1.0" encoding="UTF-8"?>)";
      if (config_.perform_indent) out_ += config_.line_separator;
    }
    element(root, 0);
    if (error_) return std::unexpected(std::move(*error_));
    return {};
  }

 private:
  void fail(std::string description) {
    if (!error_) error_ = WriteError{std::move(description)};
  }

  // One append of a prefix of the line separator and indents written out once.
  void line_break(std::size_t depth) {
    if (!config_.perform_indent) return;
    const std::size_t length = config_.line_separator.size() + depth * config_.indent_string.size();
    while (indentation_.size() < length) indentation_ += config_.indent_string;
    out_.append(indentation_, 0, length);
  }

  void element(const Element& element, std::size_t depth) {
    if (error_) return;
    if (!valid_name(element.name)) {
      fail("Element name \"" + element.name + "\" is not a valid XML name");
      return;
    }
    const std::size_t scope_mark = scope_.mark();
    std::vector<std::pair<std::string_view, std::string_view>> declarations;
    std::string_view prefix = name_prefix(element, declarations, scope_mark);
    out_ += '<';
    qualified_name(prefix, element.name);
    for (const auto& [decl_prefix, uri] : declarations) {
      out_ += decl_prefix.empty() ? " xmlns" : " xmlns:";
      out_ += decl_prefix;
      attribute_value(uri);
    }
    for (const auto& [name, value] : element.attributes) attribute(name, value);
    const CharacterRun leading = character_run(element.children, 0);
    if (leading.end == element.children.size() && leading.blank) {
      empty_element_end(prefix, element.name);
    } else {
      out_ += '>';
      children(element.children, depth);
      out_ += "</";
      qualified_name(prefix, element.name);
      out_ += '>';
    }
    scope_.restore(scope_mark);
  }

  // Only a prefix this element already declared is looked for among its declarations.
  void declare(std::string_view prefix, std::string_view uri,
               std::vector<std::pair<std::string_view, std::string_view>>& declarations,
               std::size_t scope_mark) {
    if (scope_.is_bound_to(prefix, uri)) return;
    const bool redeclared = scope_.bound_since(prefix, scope_mark);
    scope_.bind(prefix, uri);
    if (redeclared) {
      for (auto& declaration : declarations) {
        if (declaration.first == prefix) {
          declaration.second = uri;
          return;
        }
      }
    }
    declarations.emplace_back(prefix, uri);
  }

  // Declares what the element needs and returns the prefix to write ("" for none).
  std::string_view name_prefix(
      const Element& element,
      std::vector<std::pair<std::string_view, std::string_view>>& declarations,
      std::size_t scope_mark) {
    if (element.namespaces) {
      for (const auto& [prefix, uri] : *element.namespaces) {
        if (NamespaceScope::declarable(prefix, uri)) declare(prefix, uri, declarations, scope_mark);
      }
    }
    // A recorded scope without a default namespace undeclares an inherited one.
    if (!element.namespaces || !element.namespaces->contains(""))
      declare("", "", declarations, scope_mark);

    std::string_view uri =
        element.namespace_uri ? std::string_view(*element.namespace_uri) : std::string_view();
    if (element.prefix && !element.prefix->empty()) {
      std::string_view prefix = *element.prefix;
      if (!uri.empty() && NamespaceScope::declarable(prefix, uri)) {
        declare(prefix, uri, declarations, scope_mark);
        return prefix;
      }
      if (scope_.lookup(prefix) != nullptr) return prefix;
    }
    // Written without prefix: the default namespace must be the element's own (or none).
    if (!NamespaceScope::declarable("", uri)) uri = {};
    declare("", uri, declarations, scope_mark);
    return {};
  }

  void qualified_name(std::string_view prefix, const std::string& name) {
    if (!prefix.empty()) {
      out_ += prefix;
      out_ += ':';
    }
    out_ += name;
  }

  void attribute(const Name& name, const std::string& value) {
    if (!valid_name(name) || name == "xmlns") {
      fail("Attribute name \"" + name + "\" is not a valid XML name");
      return;
    }
    out_ += ' ';
    out_ += name;
    attribute_value(value);
  }

  // Appends character data, escaped by `Escape` when the settings ask for it; false when it is
  // not XML text. Escaping checks the characters on its way, unescaped text is checked apart.
  template <bool (*Escape)(std::string&, std::string_view)>
  bool checked_characters(std::string_view text) {
    if (config_.perform_escaping) return Escape(out_, text);
    out_ += text;
    return is_xml_text(text);
  }

  void attribute_value(std::string_view value) {
    out_ += "=\"";
    if (!checked_characters<append_escaped_attribute>(value)) {
      fail("Attribute value holds a character XML 1.0 cannot represent");
    }
    out_ += '"';
  }

  void empty_element_end(std::string_view prefix, const std::string& name) {
    if (!config_.normalize_empty_elements) {
      out_ += "></";
      qualified_name(prefix, name);
      out_ += '>';
      return;
    }
    out_ += config_.pad_self_closing ? " />" : "/>";
  }

  bool cdata_as_characters(std::string_view content) const {
    return config_.cdata_to_characters || (config_.perform_escaping && contains(content, "\r"));
  }

  // The text a node adds to the character data around it, or nothing for markup.
  const std::string* characters_of(const XMLNode& node) const {
    if (const auto* text = std::get_if<Text>(&node.value)) return &text->text;
    const auto* cdata = std::get_if<CData>(&node.value);
    return cdata && cdata_as_characters(cdata->text) ? &cdata->text : nullptr;
  }

  struct CharacterRun {
    std::size_t end;
    bool blank;
  };

  // The run of character data starting at `from`: where it ends, and whether it is only
  // whitespace, which a reader does not keep between two pieces of markup.
  CharacterRun character_run(const std::vector<XMLNode>& nodes, std::size_t from) const {
    CharacterRun run{from, true};
    for (const std::string* text; run.end < nodes.size() && (text = characters_of(nodes[run.end]));
         ++run.end) {
      run.blank = run.blank && std::ranges::all_of(*text, is_xml_space);
    }
    return run;
  }

  // Markup starts on its own indented line unless it follows text directly; a blank run of
  // character data is written as nothing, so it takes no line and holds no markup on its line.
  void children(const std::vector<XMLNode>& nodes, std::size_t depth) {
    bool after_text = false;
    for (std::size_t i = 0; i < nodes.size() && !error_;) {
      if (characters_of(nodes[i])) {
        const CharacterRun run = character_run(nodes, i);
        if (!run.blank) {
          for (; i < run.end; ++i) node(nodes[i], depth + 1);
          after_text = true;
        }
        i = run.end;
        continue;
      }
      const bool cdata = std::holds_alternative<CData>(nodes[i].value);
      if (!cdata && !after_text) line_break(depth + 1);
      node(nodes[i++], depth + 1);
      after_text = cdata;
    }
    if (!after_text) line_break(depth);
  }

  void node(const XMLNode& node, std::size_t depth) {
    std::visit(
        [&](const auto& payload) {
          using T = std::decay_t<decltype(payload)>;
          if constexpr (std::is_same_v<T, Element>) {
            element(payload, depth);
          } else if constexpr (std::is_same_v<T, Text>) {
            text(payload.text);
          } else if constexpr (std::is_same_v<T, CData>) {
            cdata(payload.text);
          } else if constexpr (std::is_same_v<T, Comment>) {
            comment(payload.text);
          } else {
            processing_instruction(payload);
          }
        },
        node.value);
  }

  void text(std::string_view text) {
    if (!checked_characters<append_escaped_text>(text)) {
      fail("Text holds a character XML 1.0 cannot represent");
    }
  }

  // A carriage return cannot survive inside CDATA (readers turn it into a line feed),
  // so such a section is written as escaped character data instead.
  void cdata(std::string_view content) {
    if (cdata_as_characters(content)) {
      text(content);
      return;
    }
    if (!is_xml_text(content)) fail("CDATA holds a character XML 1.0 cannot represent");
    out_ += "<![CDATA[";
    for (std::size_t end; (end = content.find("]]>")) != std::string_view::npos;) {
      out_ += content.substr(0, end);
      out_ += "]]]]><![CDATA[>";
      content.remove_prefix(end + 3);
    }
    out_ += content;
    out_ += "]]>";
  }

  // Unpadded, a final "-" would run into the closing "-->", which no reader accepts.
  void comment(std::string_view content) {
    const bool dash_at_end = !config_.autopad_comments && content.ends_with('-');
    if (!is_xml_text(content) || contains(content, "--") || dash_at_end) {
      fail("Comment text cannot be written as an XML comment");
      return;
    }
    const bool pad_front =
        config_.autopad_comments && (content.empty() || !is_xml_space(content.front()));
    const bool pad_back =
        config_.autopad_comments && (content.empty() || !is_xml_space(content.back()));
    out_ += pad_front ? "<!-- " : "<!--";
    append_normalized_line_ends(out_, content);
    out_ += pad_back ? " -->" : "-->";
  }

  void processing_instruction(const ProcessingInstruction& pi) {
    const std::string_view data = pi.data ? std::string_view(*pi.data) : std::string_view();
    const bool reserved = pi.target.size() == 3 && (pi.target[0] | 0x20) == 'x' &&
                          (pi.target[1] | 0x20) == 'm' && (pi.target[2] | 0x20) == 'l';
    if (!is_ncname(pi.target) || reserved || !is_xml_text(data) || contains(data, "?>")) {
      fail("Processing instruction \"" + pi.target + "\" cannot be written");
      return;
    }
    out_ += "<?";
    out_ += pi.target;
    if (!data.empty()) {
      out_ += ' ';
      append_normalized_line_ends(out_, data);
    }
    out_ += "?>";
  }

  std::string& out_;
  const WriterConfig& config_;
  // Names repeat, and the tree cannot change while it is written, so a name's address found
  // valid once stands for its spelling until the end.
  bool valid_name(const Name& name) {
    const std::string* spelling = &name.str();
    const std::string*& slot =
        checked_names_[(reinterpret_cast<std::uintptr_t>(spelling) >> 4) % kCheckedNames];
    if (slot == spelling) return true;
    if (!is_ncname(name)) return false;
    slot = spelling;
    return true;
  }

  static constexpr std::size_t kCheckedNames = 64;
  const std::string* checked_names_[kCheckedNames] = {};
  std::string indentation_;
  NamespaceScope scope_;
  std::optional<WriteError> error_;
};

}  // namespace

std::expected<void, WriteError> write_with_config(const Element& root, std::string& sink,
                                                  const WriterConfig& config) {
  const std::size_t start = sink.size();
  auto written = Emitter(sink, config).document(root);
  if (!written) sink.resize(start);
  return written;
}

std::expected<std::string, WriteError> write_xml_string(const Element& root) {
  // Callers write documents of much the same size again and again (a preset after each edit), so
  // room for the last text and a little more spares growing the buffer by copying it.
  thread_local std::size_t last_size = std::size_t{1} << 16;
  std::string text;
  text.reserve(last_size + last_size / 8);
  auto written = write_with_config(root, text, WriterConfig{});
  if (!written) return std::unexpected(std::move(written.error()));
  last_size = std::clamp(text.size(), std::size_t{1} << 12, std::size_t{1} << 26);
  return text;
}

}  // namespace kivo::xml_utils
