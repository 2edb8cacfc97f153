#include "kivo/stress/runner/packed_tree.hpp"

#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace kivo::stress::runner {
namespace {

enum Tag : char { kElement, kComment, kCData, kText, kInstruction };

// How an element holds its namespace bindings.
enum Scope : char { kNoScope, kParentScope, kOwnScope };

constexpr char kHasPrefix = 1;
constexpr char kHasUri = 2;
constexpr char kHasData = 4;

}  // namespace

class Packer {
 public:
  explicit Packer(PackedTree& packed) : packed_(packed) {}

  void element(const Element& element, const InScopeNamespaces* parent) {
    packed_.bytes_ += kElement;
    name(element.name);
    char flags = 0;
    if (element.prefix) flags |= kHasPrefix;
    if (element.namespace_uri) flags |= kHasUri;
    packed_.bytes_ += flags;
    if (element.prefix) name(*element.prefix);
    if (element.namespace_uri) name(*element.namespace_uri);
    scope(element.namespaces, parent);
    number(element.attributes.size());
    for (const auto& [attribute, value] : element.attributes) {
      name(attribute);
      text(value);
    }
    number(element.children.size());
    for (const XMLNode& child : element.children) node(child, element.namespaces);
  }

 private:
  void node(const XMLNode& node, const InScopeNamespaces& parent) {
    std::visit(
        [&](const auto& payload) {
          using T = std::decay_t<decltype(payload)>;
          if constexpr (std::is_same_v<T, Element>) {
            element(payload, &parent);
          } else if constexpr (std::is_same_v<T, ProcessingInstruction>) {
            packed_.bytes_ += kInstruction;
            text(payload.target);
            packed_.bytes_ += payload.data ? kHasData : char{0};
            if (payload.data) text(*payload.data);
          } else {
            packed_.bytes_ += std::is_same_v<T, Comment> ? kComment
                              : std::is_same_v<T, CData> ? kCData
                                                         : kText;
            text(payload.text);
          }
        },
        node.value);
  }

  // Elements that declare nothing share their parent's bindings; the tree keeps that sharing.
  void scope(const InScopeNamespaces& scope, const InScopeNamespaces* parent) {
    if (!scope) {
      packed_.bytes_ += kNoScope;
    } else if (parent != nullptr && scope.shares_with(*parent)) {
      packed_.bytes_ += kParentScope;
    } else {
      packed_.bytes_ += kOwnScope;
      number(packed_.scopes_.size());
      packed_.scopes_.push_back(scope);
    }
  }

  // A name's spelling lives as long as the name, so its address identifies it.
  void name(const Name& name) {
    const auto [at, added] = indexes_.try_emplace(&name.str(), packed_.names_.size());
    if (added) packed_.names_.push_back(name);
    number(at->second);
  }

  void text(std::string_view value) {
    number(value.size());
    packed_.bytes_.append(value);
  }

  void number(std::size_t value) {
    while (value >= 0x80) {
      packed_.bytes_ += static_cast<char>((value & 0x7F) | 0x80);
      value >>= 7;
    }
    packed_.bytes_ += static_cast<char>(value);
  }

  PackedTree& packed_;
  std::unordered_map<const std::string*, std::size_t> indexes_;
};

class Unpacker {
 public:
  explicit Unpacker(const PackedTree& packed) : packed_(packed) {}

  Element element(const InScopeNamespaces* parent) {
    ++at_;  // the element tag
    Element element;
    element.name = name();
    const char flags = packed_.bytes_[at_++];
    if ((flags & kHasPrefix) != 0) element.prefix = OptionalName(name());
    if ((flags & kHasUri) != 0) element.namespace_uri = OptionalName(name());
    const char scope = packed_.bytes_[at_++];
    if (scope == kParentScope) {
      element.namespaces = *parent;
    } else if (scope == kOwnScope) {
      element.namespaces = packed_.scopes_[number()];
    }
    const std::size_t attributes = number();
    auto& entries = element.attributes.entries();
    entries.reserve(attributes);
    for (std::size_t i = 0; i < attributes; ++i) {
      // Read apart: the name's bytes come first, and arguments have no order of evaluation.
      Name attribute = name();
      entries.emplace_back(std::move(attribute), text());
    }
    const std::size_t children = number();
    element.children.reserve(children);
    for (std::size_t i = 0; i < children; ++i) element.children.push_back(node(element.namespaces));
    return element;
  }

 private:
  XMLNode node(const InScopeNamespaces& parent) {
    switch (packed_.bytes_[at_]) {
      case kElement:
        return XMLNode{element(&parent)};
      case kInstruction: {
        ++at_;
        ProcessingInstruction instruction{text(), std::nullopt};
        if (packed_.bytes_[at_++] == kHasData) instruction.data = text();
        return XMLNode{std::move(instruction)};
      }
      case kComment:
        ++at_;
        return XMLNode{Comment{text()}};
      case kCData:
        ++at_;
        return XMLNode{CData{text()}};
      default:
        ++at_;
        return XMLNode{Text{text()}};
    }
  }

  const Name& name() { return packed_.names_[number()]; }

  std::string text() {
    const std::size_t length = number();
    std::string value(packed_.bytes_.data() + at_, length);
    at_ += length;
    return value;
  }

  std::size_t number() {
    std::size_t value = 0;
    for (unsigned shift = 0;; shift += 7) {
      const auto byte = static_cast<unsigned char>(packed_.bytes_[at_++]);
      value |= static_cast<std::size_t>(byte & 0x7F) << shift;
      if ((byte & 0x80) == 0) return value;
    }
  }

  const PackedTree& packed_;
  std::size_t at_ = 0;
};

PackedTree::PackedTree(const Element& root) {
  Packer(*this).element(root, nullptr);
  bytes_.shrink_to_fit();
  names_.shrink_to_fit();
  scopes_.shrink_to_fit();
}

Element PackedTree::unpack() const {
  if (bytes_.empty()) return Element{};
  return Unpacker(*this).element(nullptr);
}

std::size_t PackedTree::size_bytes() const {
  return bytes_.capacity() + names_.capacity() * sizeof(Name) +
         scopes_.capacity() * sizeof(InScopeNamespaces);
}

}  // namespace kivo::stress::runner
