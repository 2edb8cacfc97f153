#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kivo/in_scope_namespaces.hpp"
#include "kivo/name.hpp"

namespace kivo {

struct XMLNode;

/// Attribute map that keeps the order in which attributes were read or set.
class Attributes {
 public:
  using Entry = std::pair<Name, std::string>;

  /// Value of `name`, or nullptr when absent.
  const std::string* get(std::string_view name) const;
  /// As `get`, for a name held ready: names compare by address, not by spelling.
  const std::string* find(const Name& name) const {
    for (const auto& [key, value] : entries_) {
      if (key == name) return &value;
    }
    return nullptr;
  }
  /// True when `name` is present.
  bool contains(std::string_view name) const { return get(name) != nullptr; }
  /// Inserts or replaces `name`; a new name goes last.
  void set(std::string_view name, std::string value);
  /// Removes `name`; true when it was present.
  bool remove(std::string_view name);
  /// Mutable access to the values in order (names are fixed).
  std::vector<Entry>& entries() { return entries_; }
  /// The attributes in order.
  const std::vector<Entry>& entries() const { return entries_; }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  friend bool operator==(const Attributes&, const Attributes&) = default;

 private:
  std::vector<Entry> entries_;
};

/// One element of a preset tree; owns its attributes and children (deep copies only).
struct Element {
  Name name;
  InScopeNamespaces namespaces;
  OptionalName prefix;
  OptionalName namespace_uri;
  Attributes attributes;
  std::vector<XMLNode> children;

  /// An empty element named `name` (stands in for the factory `new`, a C++ keyword).
  static Element make(std::string_view name);

  /// Value of attribute `name`, or nullptr when absent.
  const std::string* attr(std::string_view attr_name) const { return attributes.get(attr_name); }
  /// Sets attribute `name` (added when missing).
  void set_attr(std::string_view attr_name, std::string value) {
    attributes.set(attr_name, std::move(value));
  }

  friend bool operator==(const Element&, const Element&) = default;
};

struct Comment {
  std::string text;
  friend bool operator==(const Comment&, const Comment&) = default;
};

struct CData {
  std::string text;
  friend bool operator==(const CData&, const CData&) = default;
};

struct Text {
  std::string text;
  friend bool operator==(const Text&, const Text&) = default;
};

struct ProcessingInstruction {
  std::string target;
  std::optional<std::string> data;
  friend bool operator==(const ProcessingInstruction&, const ProcessingInstruction&) = default;
};

/// One child slot of an element: element, comment, CDATA, text or processing instruction.
struct XMLNode {
  std::variant<Element, Comment, CData, Text, ProcessingInstruction> value;

  /// The element held, or nullptr for the other node kinds.
  const Element* as_element() const { return std::get_if<Element>(&value); }
  /// The element held, or nullptr for the other node kinds.
  Element* as_element() { return std::get_if<Element>(&value); }

  friend bool operator==(const XMLNode&, const XMLNode&) = default;
};

}  // namespace kivo
