#include "kivo/stress/oracle/written_names.hpp"

#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle::detail {
namespace {

const std::string kXmlUri = "http://www.w3.org/XML/1998/namespace";
const std::string kXmlnsUri = "http://www.w3.org/2000/xmlns/";

// The reserved prefixes and URIs are never declared; a prefix other than the default one needs
// a URI and a name without colon.
bool declarable(const std::string& prefix, const std::string& uri) {
  if (prefix == "xml" || prefix == "xmlns" || uri == kXmlUri || uri == kXmlnsUri) return false;
  return prefix.empty() || (!uri.empty() && fixed_form_name(prefix));
}

}  // namespace

const std::string* WrittenScope::lookup(const std::string& prefix) const {
  if (prefix == "xml") return &kXmlUri;
  for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
    if (it->prefix == prefix) return it->uri.empty() ? nullptr : &it->uri;
  }
  return nullptr;
}

bool WrittenScope::bound_to(const std::string& prefix, const std::string& uri) const {
  const std::string* bound = lookup(prefix);
  return bound ? *bound == uri : uri.empty();
}

void WrittenScope::declare(const std::string& prefix, const std::string& uri, std::size_t mark,
                           WrittenName& name) {
  if (bound_to(prefix, uri)) return;
  bool redeclared = false;
  for (std::size_t i = mark; i < bindings_.size(); ++i) redeclared |= bindings_[i].prefix == prefix;
  bindings_.push_back({prefix, uri});
  // A second declaration of one prefix on one element replaces the first.
  for (auto& declaration : name.declarations) {
    if (redeclared && declaration.first == prefix) {
      declaration.second = uri;
      return;
    }
  }
  name.declarations.emplace_back(prefix, uri);
}

WrittenName WrittenScope::enter(const Element& element) {
  const std::size_t start = mark();
  WrittenName name;
  if (element.namespaces) {
    for (const auto& [prefix, uri] : *element.namespaces) {
      if (declarable(prefix, uri)) declare(prefix, uri, start, name);
    }
  }
  // Recorded bindings without a default namespace undeclare an inherited one.
  if (!element.namespaces || !element.namespaces->contains("")) declare("", "", start, name);
  std::string uri = element.namespace_uri.value_or("");
  if (element.prefix && !element.prefix->empty()) {
    if (!uri.empty() && declarable(*element.prefix, uri)) {
      declare(*element.prefix, uri, start, name);
      name.prefix = *element.prefix;
    } else if (lookup(*element.prefix)) {
      name.prefix = *element.prefix;
    }
  }
  if (name.prefix.empty()) {
    // Written without prefix: the default namespace must be the element's own, or none.
    if (!declarable("", uri)) uri.clear();
    declare("", uri, start, name);
  }
  if (const std::string* bound = lookup(name.prefix)) name.uri = *bound;
  return name;
}

Namespaces WrittenScope::in_force() const {
  Namespaces bindings;
  for (const Binding& binding : bindings_) {
    if (binding.uri.empty()) {
      bindings.erase(binding.prefix);
    } else {
      bindings[binding.prefix] = binding.uri;
    }
  }
  return bindings;
}

}  // namespace kivo::stress::oracle::detail
