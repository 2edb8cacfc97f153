// What reading back the text of a tree must give: the text form pads comments, drops
// whitespace-only text, merges adjacent text and splits CDATA around "]]>".
#include <type_traits>

#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle {
namespace {

using detail::padded_comment;
using detail::unified_line_ends;
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

std::optional<std::string> element_difference(const Element& memory, const Element& reread,
                                              const std::string& where);

std::optional<std::string> attributes_difference(const Element& memory, const Element& reread,
                                                 const std::string& where) {
  for (const auto& [name, value] : memory.attributes) {
    const std::string* read = reread.attr(name);
    if (!read || *read != value) {
      return where + ": attribute '" + name + "' is " + shown(value) +
             " in memory but reads back " + (read ? "as " + shown(*read) : std::string("missing"));
    }
  }
  if (memory.attributes.size() != reread.attributes.size()) {
    return where + ": reads back with " + std::to_string(reread.attributes.size()) +
           " attributes instead of " + std::to_string(memory.attributes.size());
  }
  return std::nullopt;
}

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

std::optional<std::string> children_difference(const Element& memory, const Element& reread,
                                               const std::string& where) {
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
      if (auto difference = element_difference(*element, *read_element, child_where)) {
        return difference;
      }
    } else if (!(expected.nodes[i] == reread.children[i])) {
      return child_where + ": expected " + summary(expected.nodes[i]) + " to read back, observed " +
             summary(reread.children[i]);
    }
  }
  return std::nullopt;
}

std::optional<std::string> element_difference(const Element& memory, const Element& reread,
                                              const std::string& where) {
  if (memory.name != reread.name) {
    return where + ": element <" + memory.name + "> reads back as <" + reread.name + ">";
  }
  if (auto difference = attributes_difference(memory, reread, where)) return difference;
  return children_difference(memory, reread, where);
}

bool namespaced(const Element& element) {
  if (element.prefix || element.namespace_uri || element.namespaces) return true;
  for (const XMLNode& node : element.children) {
    const Element* child = node.as_element();
    if (child && namespaced(*child)) return true;
  }
  return false;
}

}  // namespace

bool has_namespace_info(const Element& root) { return namespaced(root); }

std::optional<std::string> reread_difference(const Element& memory, const Element& reread) {
  return element_difference(memory, reread, "/" + memory.name);
}

}  // namespace kivo::stress::oracle
