#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace kivo {

/// Namespace bindings, prefix ("" for the default namespace) to URI.
using Namespaces = std::map<std::string, std::string>;

/// The namespace bindings in force at an element, or none. The bindings are immutable once set,
/// so elements that declare nothing of their own can share their parent's without copying, and
/// a copied element behaves exactly like a deep copy. Compares by content.
class InScopeNamespaces {
 public:
  InScopeNamespaces() = default;
  InScopeNamespaces(std::nullopt_t) {}
  InScopeNamespaces(Namespaces bindings)
      : bindings_(std::make_shared<const Namespaces>(std::move(bindings))) {}

  bool has_value() const { return bindings_ != nullptr; }
  explicit operator bool() const { return has_value(); }
  /// The bindings; only when has_value().
  const Namespaces& operator*() const { return *bindings_; }
  const Namespaces* operator->() const { return bindings_.get(); }
  void reset() { bindings_.reset(); }
  /// True when both hold the very same bindings object (or both hold none).
  bool shares_with(const InScopeNamespaces& other) const { return bindings_ == other.bindings_; }

  friend bool operator==(const InScopeNamespaces& a, const InScopeNamespaces& b) {
    if (a.bindings_ == b.bindings_) return true;
    return a.bindings_ && b.bindings_ && *a.bindings_ == *b.bindings_;
  }
  friend bool operator==(const InScopeNamespaces& a, std::nullopt_t) { return !a.has_value(); }
  friend bool operator==(const InScopeNamespaces& a, const Namespaces& b) {
    return a.has_value() && *a == b;
  }

 private:
  std::shared_ptr<const Namespaces> bindings_;
};

}  // namespace kivo
