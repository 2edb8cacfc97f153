// How the two readings are worded in a difference: one line, texts quoted with `shown`.
#include <type_traits>

#include "kivo/stress/independent/comparison.hpp"
#include "kivo/stress/oracle.hpp"

namespace kivo::stress::independent::detail {
namespace {

using oracle::shown;

std::string qualified(std::string_view prefix, std::string_view local) {
  std::string name(prefix);
  if (!prefix.empty()) name += ':';
  return name.append(local);
}

std::string element_text(const std::string& qname, const std::optional<std::string_view>& uri,
                         bool with_namespace) {
  std::string words = "element <" + qname + ">";
  if (with_namespace) words.append(uri ? " in namespace " : " in no namespace");
  if (with_namespace && uri) words += shown(*uri);
  return words;
}

std::string binding_text(std::string_view prefix, std::string_view uri) {
  std::string words = " xmlns";
  if (!prefix.empty()) words.append(":").append(prefix);
  return words.append("=").append(shown(uri));
}

}  // namespace

std::string difference_text(const std::string& library, const std::string& place,
                            const std::string& independent) {
  return "the library reads " + library + " at " + place + " where the independent reader reads " +
         independent;
}

std::string node_words(const XMLNode& node) {
  return std::visit(
      [](const auto& payload) -> std::string {
        using T = std::decay_t<decltype(payload)>;
        if constexpr (std::is_same_v<T, Element>) {
          return element_words(payload, false);
        } else if constexpr (std::is_same_v<T, ProcessingInstruction>) {
          if (!payload.data) return instruction_words(payload.target, nullptr);
          const std::string_view data = *payload.data;
          return instruction_words(payload.target, &data);
        } else if constexpr (std::is_same_v<T, Text>) {
          return character_words("text", payload.text);
        } else if constexpr (std::is_same_v<T, CData>) {
          return character_words("CDATA", payload.text);
        } else {
          return character_words("comment", payload.text);
        }
      },
      node.value);
}

std::string element_words(const Element& element, bool with_namespace) {
  std::optional<std::string_view> uri;
  if (element.namespace_uri) uri = *element.namespace_uri;
  return element_text(qualified(element.prefix.value_or(""), element.name), uri, with_namespace);
}

std::string element_words(const StartTag& tag, bool with_namespace) {
  return element_text(qualified(tag.name.prefix, tag.name.local), tag.uri, with_namespace);
}

std::string character_words(std::string_view kind, std::string_view text) {
  return std::string(kind).append(" ").append(shown(text));
}

std::string instruction_words(std::string_view target, const std::string_view* data) {
  std::string words = "processing instruction " + shown(target);
  return data ? words.append(" ").append(shown(*data)) : words.append(" without data");
}

std::string attribute_words(std::string_view name, std::string_view value) {
  return "attribute " + shown(name) + "=" + shown(value);
}

std::string bindings_words(const std::vector<Binding>& bindings) {
  if (bindings.empty()) return "no namespace bindings";
  std::string words = "namespace bindings";
  for (const auto& [prefix, uri] : bindings) words += binding_text(prefix, uri);
  return words;
}

std::string bindings_words(const InScopeNamespaces& namespaces) {
  if (!namespaces) return "no namespace bindings";
  if (namespaces->empty()) return "empty namespace bindings";
  std::string words = "namespace bindings";
  for (const auto& [prefix, uri] : *namespaces) words += binding_text(prefix, uri);
  return words;
}

}  // namespace kivo::stress::independent::detail
