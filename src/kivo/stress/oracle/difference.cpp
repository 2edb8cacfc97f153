// Describes the first place where two trees differ, for outcome texts that say what went wrong.
#include <algorithm>
#include <type_traits>

#include "kivo/stress/oracle.hpp"

namespace kivo::stress::oracle {
namespace {

constexpr std::size_t kShownBytes = 120;

std::string node_kind(const XMLNode& node) {
  static constexpr const char* kNames[] = {"element", "comment", "CDATA", "text",
                                           "processing instruction"};
  return kNames[node.value.index()];
}

std::string node_summary(const XMLNode& node) {
  return std::visit(
      [&](const auto& payload) -> std::string {
        using T = std::decay_t<decltype(payload)>;
        if constexpr (std::is_same_v<T, Element>) {
          return "element <" + payload.name + ">";
        } else if constexpr (std::is_same_v<T, ProcessingInstruction>) {
          return "processing instruction " + shown(payload.target) + " " +
                 (payload.data ? shown(*payload.data) : "without data");
        } else {
          return node_kind(node) + " " + shown(payload.text);
        }
      },
      node.value);
}

std::optional<std::string> attribute_difference(const Element& expected, const Element& actual,
                                                const std::string& where) {
  for (const auto& [name, value] : expected.attributes) {
    const std::string* observed = actual.attr(name);
    if (!observed) return where + ": attribute '" + name + "' missing, expected " + shown(value);
    if (*observed != value) {
      return where + ": attribute '" + name + "' expected " + shown(value) + ", observed " +
             shown(*observed);
    }
  }
  for (const auto& [name, value] : actual.attributes) {
    if (!expected.attr(name))
      return where + ": unexpected attribute '" + name + "'=" + shown(value);
  }
  return std::nullopt;
}

std::optional<std::string> node_difference(const XMLNode& expected, const XMLNode& actual,
                                           const std::string& where) {
  const Element* expected_element = expected.as_element();
  const Element* actual_element = actual.as_element();
  if (expected_element && actual_element) {
    return first_difference(*expected_element, *actual_element, where);
  }
  if (expected == actual) return std::nullopt;
  return where + ": expected " + node_summary(expected) + ", observed " + node_summary(actual);
}

}  // namespace

std::string shown(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  auto escape = [](unsigned char c) { return std::string("\\x") + kHex[c >> 4] + kHex[c & 0xF]; };
  std::string out = "'";
  std::size_t i = 0;
  while (i < text.size() && i < kShownBytes) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n' || c == '\r' || c == '\t') {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else if (c < 0x20) {
      out += escape(c);
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      // Whole UTF-8 sequences only, so that the text stays valid wherever it is cut.
      const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
      bool whole = length != 0 && i + length <= text.size();
      for (std::size_t k = 1; whole && k < length; ++k) {
        whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
      }
      if (!whole) {
        out += escape(c);
      } else {
        out.append(text.substr(i, length));
        i += length;
        continue;
      }
    }
    ++i;
  }
  return out + (i < text.size() ? "'..." : "'");
}

std::optional<std::string> first_difference(const Element& expected, const Element& actual,
                                            const std::string& where) {
  if (expected.name != actual.name) {
    return where + ": expected element <" + expected.name + ">, observed <" + actual.name + ">";
  }
  if (auto difference = attribute_difference(expected, actual, where)) return difference;
  const std::size_t common = std::min(expected.children.size(), actual.children.size());
  for (std::size_t i = 0; i < common; ++i) {
    const std::string child_where = where + "/#" + std::to_string(i);
    if (auto difference = node_difference(expected.children[i], actual.children[i], child_where)) {
      return difference;
    }
  }
  if (expected.children.size() != actual.children.size()) {
    return where + ": expected " + std::to_string(expected.children.size()) +
           " child nodes, observed " + std::to_string(actual.children.size());
  }
  if (expected.prefix != actual.prefix || expected.namespace_uri != actual.namespace_uri) {
    return where + ": namespace of the element differs";
  }
  return std::nullopt;
}

}  // namespace kivo::stress::oracle
