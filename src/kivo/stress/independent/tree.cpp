// The independent reading as a tree of the library's kind, built from the very events that the
// comparison with the library's tree follows, so that the two cannot read a text differently.
#include "kivo/stress/independent.hpp"
#include "kivo/stress/independent/reader.hpp"

namespace kivo::stress::independent {
namespace {

class Builder : public detail::Visitor {
 public:
  /// The root element, once the reading closed it.
  std::optional<Element>& root() { return root_; }

  bool start(const detail::StartTag& tag) override {
    Element element;
    element.name.assign(tag.name.local);
    if (!tag.name.prefix.empty()) element.prefix.emplace(tag.name.prefix);
    if (tag.uri) element.namespace_uri.emplace(*tag.uri);
    element.namespaces = namespaces_of(tag);
    auto& entries = element.attributes.entries();
    entries.reserve(tag.attributes.size());
    for (const auto& [name, value] : tag.attributes) entries.emplace_back(name, value);
    open_.push_back(std::move(element));
    return true;
  }

  bool end() override {
    Element done = std::move(open_.back());
    open_.pop_back();
    if (open_.empty()) {
      root_ = std::move(done);
    } else {
      add(std::move(done));
    }
    return true;
  }

  bool text(std::string_view text) override { return add(Text{std::string(text)}); }
  bool cdata(std::string_view text) override { return add(CData{std::string(text)}); }
  bool comment(std::string_view text) override { return add(Comment{std::string(text)}); }

  bool instruction(std::string_view target, std::string_view data) override {
    ProcessingInstruction node{std::string(target), std::nullopt};
    if (!data.empty()) node.data.emplace(data);
    return add(std::move(node));
  }

 private:
  template <class Node>
  bool add(Node node) {
    open_.back().children.push_back(XMLNode{std::move(node)});
    return true;
  }

  // A declaring element records the bindings in force (none when all are undeclared); the
  // others share their parent's, as the library's do.
  InScopeNamespaces namespaces_of(const detail::StartTag& tag) const {
    if (!tag.declares) return open_.empty() ? InScopeNamespaces{} : open_.back().namespaces;
    if (tag.bindings.empty()) return {};
    Namespaces bindings;
    for (const auto& [prefix, uri] : tag.bindings) {
      bindings.emplace_hint(bindings.end(), prefix, uri);  // sorted already
    }
    return bindings;
  }

  std::vector<Element> open_;
  std::optional<Element> root_;
};

}  // namespace

std::expected<Element, std::string> read_tree(std::string_view text) {
  Builder builder;
  if (auto read = detail::read(text, builder); !read) return std::unexpected(read.error());
  return std::move(*builder.root());
}

}  // namespace kivo::stress::independent
