// Namespace bindings from xmlns attributes, with the rules on the two reserved prefixes.
#include <algorithm>

#include "kivo/stress/independent/reader.hpp"

namespace kivo::stress::independent::detail {
namespace {

constexpr std::string_view kXmlUri = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsUri = "http://www.w3.org/2000/xmlns/";
// Up to this many bindings in force, a prefix is looked up by a scan.
constexpr std::size_t kLinearScan = 16;

}  // namespace

void Scope::close() {
  while (bindings_.size() > marks_.back()) {
    auto found = positions_.find(bindings_.back().prefix);
    found->second.pop_back();
    if (found->second.empty()) positions_.erase(found);
    bindings_.pop_back();
  }
  marks_.pop_back();
}

std::expected<void, std::string> Scope::declare(std::string_view prefix, std::string_view uri) {
  if (prefix == "xmlns") return std::unexpected("the prefix 'xmlns' is declared");
  if (prefix == "xml" && uri != kXmlUri) {
    return std::unexpected("the prefix 'xml' is bound to another namespace");
  }
  if ((uri == kXmlUri && prefix != "xml") || uri == kXmlnsUri) {
    return std::unexpected("a reserved namespace is bound to prefix " + quoted(prefix));
  }
  if (uri.empty() && !prefix.empty()) {
    return std::unexpected("the prefix " + quoted(prefix) + " is undeclared");
  }
  positions_[std::string(prefix)].push_back(bindings_.size());
  bindings_.push_back(Declared{std::string(prefix), std::string(uri)});
  return {};
}

std::optional<std::string_view> Scope::uri_of(std::string_view prefix) const {
  const Declared* latest = nullptr;
  if (bindings_.size() <= kLinearScan) {
    for (auto it = bindings_.rbegin(); it != bindings_.rend() && !latest; ++it) {
      if (it->prefix == prefix) latest = &*it;
    }
  } else if (auto found = positions_.find(prefix); found != positions_.end()) {
    latest = &bindings_[found->second.back()];
  }
  if (latest) {
    if (latest->uri.empty()) return std::nullopt;
    return std::string_view(latest->uri);
  }
  if (prefix == "xml") return kXmlUri;
  return std::nullopt;
}

void Scope::in_force(std::vector<Binding>& out) const {
  out.clear();
  // The latest declaration of a prefix wins; an empty URI undeclares the default namespace.
  for (const auto& [prefix, positions] : positions_) {
    const Declared& latest = bindings_[positions.back()];
    if (!latest.uri.empty()) out.emplace_back(latest.prefix, latest.uri);
  }
  std::sort(out.begin(), out.end());
}

}  // namespace kivo::stress::independent::detail
