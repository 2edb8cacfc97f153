// The reading and the library's tree side by side: each node the reading meets must be the
// library's next child, in kind and content; elements also in name, namespace, attributes (in
// order) and, where they declare namespaces, the bindings in force.
#include <algorithm>

#include "kivo/stress/independent/comparison.hpp"

namespace kivo::stress::independent::detail {
namespace {

template <class Node>
const Node* as(const XMLNode& node) {
  return std::get_if<Node>(&node.value);
}

bool same_optional(const OptionalName& library,
                   const std::optional<std::string_view>& independent) {
  return library.has_value() == independent.has_value() &&
         (!library || std::string_view(*library) == *independent);
}

bool has_attribute(const std::vector<Binding>& attributes, std::string_view name) {
  return std::any_of(attributes.begin(), attributes.end(),
                     [&](const Binding& attribute) { return attribute.first == name; });
}

}  // namespace

bool Comparison::differ(const std::string& library, const std::string& place,
                        const std::string& independent) {
  difference_ = difference_text(library, place, independent);
  return false;
}

std::string Comparison::place() const {
  std::string text = "/" + root_.name;
  for (std::size_t i = 1; i < frames_.size(); ++i) {
    text += "/" + frames_[i].element->name + "#" + std::to_string(frames_[i].index);
  }
  return text;
}

std::string Comparison::child_place(std::size_t index) const {
  const Element& parent = *frames_.back().element;
  const Element* child =
      index < parent.children.size() ? parent.children[index].as_element() : nullptr;
  return place() + "/" + (child ? child->name : "") + "#" + std::to_string(index);
}

template <class Matches, class Words>
bool Comparison::leaf(Matches matches, Words independent_words) {
  Frame& parent = frames_.back();
  const std::size_t index = parent.next++;
  if (index >= parent.element->children.size()) {
    return differ("nothing", child_place(index), independent_words());
  }
  const XMLNode& node = parent.element->children[index];
  if (matches(node)) return true;
  return differ(node_words(node), child_place(index), independent_words());
}

bool Comparison::start(const StartTag& tag) {
  const Element* library = &root_;
  std::size_t index = 0;
  if (!frames_.empty()) {
    const bool element = leaf([](const XMLNode& node) { return node.as_element() != nullptr; },
                              [&] { return element_words(tag, false); });
    if (!element) return false;
    index = frames_.back().next - 1;
    library = frames_.back().element->children[index].as_element();
  }
  frames_.push_back(Frame{library, 0, index});
  return same_element(*library, tag) && same_attributes(*library, tag) &&
         same_bindings(*library, tag);
}

bool Comparison::end() {
  const Frame& done = frames_.back();
  if (done.next < done.element->children.size()) {
    return differ(node_words(done.element->children[done.next]), child_place(done.next), "nothing");
  }
  frames_.pop_back();
  return true;
}

bool Comparison::text(std::string_view text) {
  return leaf(
      [&](const XMLNode& node) {
        const Text* found = as<Text>(node);
        return found && found->text == text;
      },
      [&] { return character_words("text", text); });
}

bool Comparison::cdata(std::string_view text) {
  return leaf(
      [&](const XMLNode& node) {
        const CData* found = as<CData>(node);
        return found && found->text == text;
      },
      [&] { return character_words("CDATA", text); });
}

bool Comparison::comment(std::string_view text) {
  return leaf(
      [&](const XMLNode& node) {
        const Comment* found = as<Comment>(node);
        return found && found->text == text;
      },
      [&] { return character_words("comment", text); });
}

bool Comparison::instruction(std::string_view target, std::string_view data) {
  const std::string_view* given = data.empty() ? nullptr : &data;
  return leaf(
      [&](const XMLNode& node) {
        const ProcessingInstruction* found = as<ProcessingInstruction>(node);
        return found && found->target == target && found->data.has_value() == (given != nullptr) &&
               (!given || *found->data == data);
      },
      [&] { return instruction_words(target, given); });
}

bool Comparison::same_element(const Element& library, const StartTag& tag) {
  const bool same_name = library.name == tag.name.local &&
                         library.prefix.has_value() == !tag.name.prefix.empty() &&
                         library.prefix.value_or("") == tag.name.prefix;
  const bool same_namespace = same_optional(library.namespace_uri, tag.uri);
  if (same_name && same_namespace) return true;
  return differ(element_words(library, same_name), place(), element_words(tag, same_name));
}

// Attributes in order; a missing or extra one is named as such, else the first out of place.
bool Comparison::same_attributes(const Element& library, const StartTag& tag) {
  const auto& expected = library.attributes.entries();
  const auto& read = tag.attributes;
  for (std::size_t k = 0; k < expected.size() || k < read.size(); ++k) {
    if (k < expected.size() && k < read.size() && expected[k].first == read[k].first) {
      if (expected[k].second == read[k].second) continue;
      return differ(attribute_words(expected[k].first, expected[k].second), place(),
                    attribute_words(read[k].first, read[k].second));
    }
    if (k < expected.size() && !has_attribute(read, expected[k].first)) {
      return differ(attribute_words(expected[k].first, expected[k].second), place(), "nothing");
    }
    if (k < read.size() && !library.attributes.contains(read[k].first)) {
      return differ("nothing", place(), attribute_words(read[k].first, read[k].second));
    }
    // Both name attributes the other side has too: the order differs.
    return differ(
        k < expected.size() ? attribute_words(expected[k].first, expected[k].second) : "nothing",
        place(), k < read.size() ? attribute_words(read[k].first, read[k].second) : "nothing");
  }
  return true;
}

// Only an element that declares namespaces records the bindings in force (none when all are
// undeclared); the others share their parent's.
bool Comparison::same_bindings(const Element& library, const StartTag& tag) {
  if (!tag.declares) return true;
  const auto& read = tag.bindings;
  bool same = library.namespaces.has_value() == !read.empty();
  if (same && library.namespaces) {
    const Namespaces& expected = *library.namespaces;
    same = expected.size() == read.size() &&
           std::equal(expected.begin(), expected.end(), read.begin(),
                      [](const auto& a, const Binding& b) {
                        return a.first == b.first && a.second == b.second;
                      });
  }
  if (same) return true;
  return differ(bindings_words(library.namespaces), place(), bindings_words(read));
}

}  // namespace kivo::stress::independent::detail
