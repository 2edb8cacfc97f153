#pragma once

#include <atomic>
#include <map>
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
  InScopeNamespaces(Namespaces bindings) : shared_(new Shared{{1}, std::move(bindings)}) {}
  InScopeNamespaces(const InScopeNamespaces& other) noexcept : shared_(other.shared_) {
    if (shared_) shared_->references.fetch_add(1, std::memory_order_relaxed);
  }
  InScopeNamespaces(InScopeNamespaces&& other) noexcept : shared_(other.shared_) {
    other.shared_ = nullptr;
  }
  InScopeNamespaces& operator=(InScopeNamespaces other) noexcept {
    std::swap(shared_, other.shared_);
    return *this;
  }
  ~InScopeNamespaces() { reset(); }

  bool has_value() const { return shared_ != nullptr; }
  explicit operator bool() const { return has_value(); }
  /// The bindings; only when has_value().
  const Namespaces& operator*() const { return shared_->bindings; }
  const Namespaces* operator->() const { return &shared_->bindings; }
  void reset() noexcept {
    if (shared_ && shared_->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete shared_;
    shared_ = nullptr;
  }
  /// True when both hold the very same bindings object (or both hold none).
  bool shares_with(const InScopeNamespaces& other) const { return shared_ == other.shared_; }

  friend bool operator==(const InScopeNamespaces& a, const InScopeNamespaces& b) {
    if (a.shared_ == b.shared_) return true;
    return a.shared_ && b.shared_ && *a == *b;
  }
  friend bool operator==(const InScopeNamespaces& a, std::nullopt_t) { return !a.has_value(); }
  friend bool operator==(const InScopeNamespaces& a, const Namespaces& b) {
    return a.has_value() && *a == b;
  }

 private:
  // Counted in place, so that an element spends one pointer on its bindings.
  struct Shared {
    std::atomic<std::size_t> references;
    const Namespaces bindings;
  };
  Shared* shared_ = nullptr;
};

}  // namespace kivo
