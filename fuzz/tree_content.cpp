#include "tree_content.hpp"

#include <string>
#include <variant>

namespace kivo::fuzz {
namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string padded(const std::string& text) {
  const bool front = text.empty() || !is_space(text.front());
  const bool back = text.empty() || !is_space(text.back());
  return (front ? " " : "") + text + (back ? " " : "");
}

bool same_node(const XMLNode& original, const XMLNode& reread, bool padded_comments) {
  if (original.value.index() != reread.value.index()) return false;
  if (const auto* element = original.as_element()) {
    return same_content(*element, *reread.as_element(), padded_comments);
  }
  if (const auto* comment = std::get_if<Comment>(&original.value)) {
    const std::string& text = std::get<Comment>(reread.value).text;
    return text == (padded_comments ? padded(comment->text) : comment->text);
  }
  return original == reread;
}

}  // namespace

bool same_content(const Element& original, const Element& reread, bool padded_comments) {
  if (original.name != reread.name || original.namespace_uri != reread.namespace_uri ||
      original.attributes != reread.attributes ||
      original.children.size() != reread.children.size()) {
    return false;
  }
  for (std::size_t i = 0; i < original.children.size(); ++i) {
    if (!same_node(original.children[i], reread.children[i], padded_comments)) return false;
  }
  return true;
}

}  // namespace kivo::fuzz
