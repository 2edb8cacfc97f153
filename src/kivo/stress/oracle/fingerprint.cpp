#include <bit>
#include <cstdint>
#include <functional>
#include <string_view>
#include <type_traits>

#include "kivo/stress/oracle.hpp"
#include "kivo/stress/oracle/name_memo.hpp"

namespace kivo::stress::oracle {
namespace {

std::uint64_t scramble(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

std::uint64_t text_hash(std::string_view text) { return std::hash<std::string_view>{}(text); }

std::uint64_t name_hash(const Name& name) {
  return detail::remembered<std::uint64_t, text_hash>(name);
}

// Order-sensitive step for sequences.
std::uint64_t fold(std::uint64_t state, std::uint64_t value) {
  return scramble(state ^ std::rotl(value, 23));
}

std::uint64_t optional_hash(const std::optional<std::string>& text) {
  return text ? fold(1, text_hash(*text)) : 0;
}

// As above without the copy of the spelling that a conversion to an optional string makes.
std::uint64_t optional_hash(const OptionalName& name) {
  return name ? fold(1, name_hash(*name)) : 0;
}

std::uint64_t element_hash(const Element& element, const NodePath* skip, std::size_t depth);

std::uint64_t node_hash(const XMLNode& node, const NodePath* skip, std::size_t depth) {
  return std::visit(
      [&](const auto& payload) -> std::uint64_t {
        using T = std::decay_t<decltype(payload)>;
        if constexpr (std::is_same_v<T, Element>) {
          return element_hash(payload, skip, depth);
        } else if constexpr (std::is_same_v<T, ProcessingInstruction>) {
          return fold(fold(5, text_hash(payload.target)), optional_hash(payload.data));
        } else {
          return fold(node.value.index() + 1, text_hash(payload.text));
        }
      },
      node.value);
}

// A path leads through the tree only while `skip` is followed from the root.
std::uint64_t element_hash(const Element& element, const NodePath* skip, std::size_t depth) {
  std::uint64_t state = fold(fold(0, name_hash(element.name)), optional_hash(element.prefix));
  state = fold(state, optional_hash(element.namespace_uri));
  if (element.namespaces) {
    for (const auto& [prefix, uri] : *element.namespaces) {
      state = fold(state, fold(text_hash(prefix), text_hash(uri)));
    }
  }
  std::uint64_t attributes = element.attributes.size();
  for (const auto& [name, value] : element.attributes) {
    attributes += scramble(name_hash(name) ^ std::rotl(text_hash(value), 17));
  }
  state = fold(state, attributes);
  for (std::size_t i = 0; i < element.children.size(); ++i) {
    const bool on_path = skip && depth < skip->size() && (*skip)[depth] == i;
    if (on_path && depth + 1 == skip->size()) continue;
    state = fold(state, node_hash(element.children[i], on_path ? skip : nullptr, depth + 1));
  }
  return fold(state, 0xE1E);
}

}  // namespace

std::uint64_t fingerprint(const Element& root, const NodePath* skip) {
  if (skip && skip->empty()) return 0;
  return element_hash(root, skip, 0);
}

}  // namespace kivo::stress::oracle
