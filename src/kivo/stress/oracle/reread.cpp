// What reading back the text of a tree must give: the text form pads comments, drops
// whitespace-only text, merges adjacent text and splits CDATA around "]]>".
#include <type_traits>

#include "kivo/stress/oracle/detail.hpp"
#include "kivo/stress/oracle/written_names.hpp"

namespace kivo::stress::oracle {
namespace {

using detail::padded_comment;
using detail::unified_line_ends;
using detail::WrittenName;
using detail::WrittenScope;
using detail::xml_space;

bool blank(std::string_view text) {
  for (char c : text) {
    if (!xml_space(c)) return false;
  }
  return true;
}

std::optional<std::string> read_pi_data(const std::optional<std::string>& data) {
  if (!data) return std::nullopt;
  std::string text = unified_line_ends(*data);
  std::size_t start = 0;
  while (start < text.size() && xml_space(text[start])) ++start;
  if (start == text.size()) return std::nullopt;
  return text.substr(start);
}

// The children a reader must find for `element`.
class Reading {
 public:
  explicit Reading(const Element& element) {
    for (const XMLNode& node : element.children) add(node);
    flush();
  }
  std::vector<XMLNode> nodes;
  std::vector<const Element*> elements;  // per node: the memory element, or nullptr

 private:
  void push(XMLNode node, const Element* element = nullptr) {
    flush();
    nodes.push_back(std::move(node));
    elements.push_back(element);
  }
  void flush() {
    if (!pending_ || blank(text_)) {
      pending_ = false;
      text_.clear();
      return;
    }
    pending_ = false;
    nodes.push_back(XMLNode{Text{std::move(text_)}});
    elements.push_back(nullptr);
    text_.clear();
  }
  void add_text(std::string_view text) {
    text_ += text;
    pending_ = true;
  }
  void add_cdata(std::string_view text) {
    // A section holding a carriage return is written as character data.
    if (text.find('\r') != std::string_view::npos) return add_text(text);
    for (std::size_t end; (end = text.find("]]>")) != std::string_view::npos;) {
      push(XMLNode{CData{std::string(text.substr(0, end + 2))}});
      text.remove_prefix(end + 2);
    }
    push(XMLNode{CData{std::string(text)}});
  }
  void add(const XMLNode& node) {
    std::visit(
        [&](const auto& payload) {
          using T = std::decay_t<decltype(payload)>;
          if constexpr (std::is_same_v<T, Element>) {
            push(XMLNode{Comment{}}, &payload);
          } else if constexpr (std::is_same_v<T, Text>) {
            add_text(payload.text);
          } else if constexpr (std::is_same_v<T, CData>) {
            add_cdata(payload.text);
          } else if constexpr (std::is_same_v<T, Comment>) {
            push(XMLNode{Comment{padded_comment(payload.text)}});
          } else {
            push(XMLNode{ProcessingInstruction{payload.target, read_pi_data(payload.data)}});
          }
        },
        node.value);
  }

  std::string text_;
  bool pending_ = false;
};

std::string summary(const XMLNode& node) {
  if (const Element* element = node.as_element()) return "element <" + element->name + ">";
  std::string out;
  if (const auto* pi = std::get_if<ProcessingInstruction>(&node.value)) {
    out = "processing instruction ";
    out += shown(pi->target);
    if (pi->data) out += ' ' + shown(*pi->data);
    return out;
  }
  static constexpr const char* kKinds[] = {"element ", "comment ", "CDATA ", "text "};
  out = kKinds[node.value.index()];
  if (const auto* comment = std::get_if<Comment>(&node.value)) out += shown(comment->text);
  if (const auto* cdata = std::get_if<CData>(&node.value)) out += shown(cdata->text);
  if (const auto* text = std::get_if<Text>(&node.value)) out += shown(text->text);
  return out;
}

std::string shown_optional(const std::optional<std::string>& text) {
  return text ? shown(*text) : std::string("none");
}

std::string shown_bindings(const InScopeNamespaces& bindings) {
  if (!bindings) return "none";
  std::string out = "{";
  for (const auto& [prefix, uri] : *bindings) {
    out += (out.size() > 1 ? ", " : "") + shown(prefix) + "=" + shown(uri);
  }
  return out + "}";
}

// The name and namespace fields a reader records for an element of the written text.
struct ReadName {
  std::optional<std::string> prefix;
  std::optional<std::string> uri;
  InScopeNamespaces bindings;
};

// Walks a tree as its fixed text form declares namespaces, so each element's reading is known.
class NamesAsRead {
 public:
  // Enters `memory` under a parent whose reading recorded `parent`.
  ReadName enter(const Element& memory, const InScopeNamespaces& parent) {
    marks_.push_back(scope_.mark());
    const WrittenName written = scope_.enter(memory);
    ReadName read{std::nullopt, written.uri, parent};
    if (!written.prefix.empty()) read.prefix = written.prefix;
    // An element that declares anything records every binding in force, or nothing when none is.
    if (!written.declarations.empty()) {
      Namespaces in_force = scope_.in_force();
      read.bindings =
          in_force.empty() ? InScopeNamespaces() : InScopeNamespaces(std::move(in_force));
    }
    return read;
  }
  void leave() {
    scope_.restore(marks_.back());
    marks_.pop_back();
  }

 private:
  WrittenScope scope_;
  std::vector<std::size_t> marks_;
};

class Comparison {
 public:
  std::optional<std::string> element(const Element& memory, const Element& reread,
                                     const std::string& where, const InScopeNamespaces& parent) {
    if (memory.name != reread.name) {
      return where + ": element <" + memory.name + "> reads back as <" + reread.name + ">";
    }
    const ReadName read = names_.enter(memory, parent);
    auto difference = names_difference(read, reread, where);
    if (!difference) difference = attributes_difference(memory, reread, where);
    if (!difference) difference = children_difference(memory, reread, where, read.bindings);
    names_.leave();
    return difference;
  }

 private:
  static std::optional<std::string> names_difference(const ReadName& read, const Element& reread,
                                                     const std::string& where) {
    if (read.prefix != reread.prefix) {
      return where + ": prefix " + shown_optional(reread.prefix) + " read back, expected " +
             shown_optional(read.prefix);
    }
    if (read.uri != reread.namespace_uri) {
      return where + ": namespace " + shown_optional(reread.namespace_uri) +
             " read back, expected " + shown_optional(read.uri);
    }
    if (!(read.bindings == reread.namespaces)) {
      return where + ": bindings " + shown_bindings(reread.namespaces) + " read back, expected " +
             shown_bindings(read.bindings);
    }
    return std::nullopt;
  }

  static std::optional<std::string> attributes_difference(const Element& memory,
                                                          const Element& reread,
                                                          const std::string& where) {
    for (const auto& [name, value] : memory.attributes) {
      const std::string* read = reread.attr(name);
      if (!read || *read != value) {
        return where + ": attribute '" + name + "' is " + shown(value) +
               " in memory but reads back " +
               (read ? "as " + shown(*read) : std::string("missing"));
      }
    }
    if (memory.attributes.size() != reread.attributes.size()) {
      return where + ": reads back with " + std::to_string(reread.attributes.size()) +
             " attributes instead of " + std::to_string(memory.attributes.size());
    }
    return std::nullopt;
  }

  std::optional<std::string> children_difference(const Element& memory, const Element& reread,
                                                 const std::string& where,
                                                 const InScopeNamespaces& bindings) {
    const Reading expected(memory);
    for (std::size_t i = 0; i < expected.nodes.size() || i < reread.children.size(); ++i) {
      const std::string child_where = where + "/#" + std::to_string(i);
      if (i >= reread.children.size()) {
        return child_where + ": missing when read back; expected " +
               (expected.elements[i] ? "element <" + expected.elements[i]->name + ">"
                                     : summary(expected.nodes[i]));
      }
      if (i >= expected.nodes.size()) {
        return child_where + ": reads back an extra " + summary(reread.children[i]);
      }
      const Element* read_element = reread.children[i].as_element();
      if (const Element* element = expected.elements[i]) {
        if (!read_element) {
          return child_where + ": element <" + element->name + "> reads back as " +
                 summary(reread.children[i]);
        }
        if (auto difference = this->element(*element, *read_element, child_where, bindings)) {
          return difference;
        }
      } else if (!(expected.nodes[i] == reread.children[i])) {
        return child_where + ": expected " + summary(expected.nodes[i]) +
               " to read back, observed " + summary(reread.children[i]);
      }
    }
    return std::nullopt;
  }

  NamesAsRead names_;
};

// Builds the tree a reader of the fixed text form of a tree must produce.
class ReadBack {
 public:
  Element element(const Element& memory, const InScopeNamespaces& parent) {
    const ReadName read = names_.enter(memory, parent);
    Element out = Element::make(memory.name);
    out.prefix = read.prefix;
    out.namespace_uri = read.uri;
    out.namespaces = read.bindings;
    out.attributes = memory.attributes;
    Reading expected(memory);
    for (std::size_t i = 0; i < expected.nodes.size(); ++i) {
      if (const Element* child = expected.elements[i]) {
        out.children.push_back(XMLNode{element(*child, out.namespaces)});
      } else {
        out.children.push_back(std::move(expected.nodes[i]));
      }
    }
    names_.leave();
    return out;
  }

 private:
  NamesAsRead names_;
};

}  // namespace

std::optional<std::string> reread_difference(const Element& memory, const Element& reread) {
  return Comparison().element(memory, reread, "/" + memory.name, InScopeNamespaces());
}

Element read_back(const Element& memory) { return ReadBack().element(memory, InScopeNamespaces()); }

}  // namespace kivo::stress::oracle
