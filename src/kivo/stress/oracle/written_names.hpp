#pragma once

// How the fixed text form writes an element's name with its namespace declarations, and what a
// reader of that text then records: one simulation of the bindings in the written text, shared
// by the harness's writer and by its account of what reading the text must give.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kivo/element.hpp"

namespace kivo::stress::oracle::detail {

/// One element's name as written.
struct WrittenName {
  std::string prefix;  // empty when the name is written without one
  std::vector<std::pair<std::string, std::string>> declarations;  // prefix to URI, in order
  std::optional<std::string> uri;  // what the name resolves to for a reader
};

/// The namespace bindings of the text written so far.
class WrittenScope {
 public:
  std::size_t mark() const { return bindings_.size(); }
  void restore(std::size_t mark) { bindings_.resize(mark); }
  /// Declares what `element` needs and returns how its name is written.
  WrittenName enter(const Element& element);
  /// The bindings in force, as a reader records them on an element that declares any.
  Namespaces in_force() const;

 private:
  struct Binding {
    std::string prefix;
    std::string uri;  // empty: the default namespace undeclared
  };
  const std::string* lookup(const std::string& prefix) const;
  bool bound_to(const std::string& prefix, const std::string& uri) const;
  void declare(const std::string& prefix, const std::string& uri, std::size_t mark,
               WrittenName& name);
  std::vector<Binding> bindings_;
};

}  // namespace kivo::stress::oracle::detail
