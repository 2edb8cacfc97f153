// Start tags: attribute values resolved, defaults of the document type added, namespaces
// declared and names resolved, attributes kept by local name (the first of a name wins).
#include <unordered_set>

#include "kivo/stress/independent/reader.hpp"

namespace kivo::stress::independent::detail {
namespace {

// Above this many attributes, clashes are found with a hash set instead of a scan.
constexpr std::size_t kLinearScan = 16;

std::string hash_key(std::string_view text) { return std::string(text); }
std::string hash_key(const std::pair<std::string_view, std::string_view>& name) {
  return std::string(name.first) + '\x01' + std::string(name.second);
}

// Index of the first item of `items` whose key an earlier item has, or nothing.
template <class Item, class Key>
std::optional<std::size_t> first_repeat(const std::vector<Item>& items, Key key) {
  if (items.size() <= kLinearScan) {
    for (std::size_t i = 1; i < items.size(); ++i) {
      for (std::size_t k = 0; k < i; ++k) {
        if (key(items[k]) == key(items[i])) return i;
      }
    }
    return std::nullopt;
  }
  std::unordered_set<std::string> seen;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!seen.insert(hash_key(key(items[i]))).second) return i;
  }
  return std::nullopt;
}

// Keeps the first attribute of each local name, in order.
void keep_first_of_each_name(std::vector<Binding>& attributes) {
  std::unordered_set<std::string_view> seen;
  const bool hashed = attributes.size() > kLinearScan;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < attributes.size(); ++i) {
    bool repeated = false;
    if (hashed) {
      repeated = !seen.insert(attributes[i].first).second;
    } else {
      for (std::size_t k = 0; k < kept && !repeated; ++k) {
        repeated = attributes[k].first == attributes[i].first;
      }
    }
    if (!repeated) attributes[kept++] = attributes[i];
  }
  attributes.resize(kept);
}

bool is_declaration(std::string_view qname) {
  return qname == "xmlns" || qname.starts_with("xmlns:");
}

const AttributeRule* rule_for(const std::vector<AttributeRule>* rules, std::string_view name) {
  if (!rules) return nullptr;
  for (const AttributeRule& rule : *rules) {
    if (rule.name == name) return &rule;
  }
  return nullptr;
}

}  // namespace

std::expected<const StartTag*, std::string> StartTagReader::read(pugi::xml_node element,
                                                                 Scope& scope) {
  scope.open();
  if (auto gathered = gather(element); !gathered) return std::unexpected(gathered.error());
  if (auto declared = declare(scope); !declared) return std::unexpected(declared.error());
  if (auto resolved = resolve(element, scope); !resolved) {
    return std::unexpected(resolved.error());
  }
  return &tag_;
}

// The specified attributes with their values resolved, then the defaults not specified.
std::expected<void, std::string> StartTagReader::gather(pugi::xml_node element) {
  raw_.clear();
  for (pugi::xml_attribute attribute : element.attributes()) {
    raw_.push_back(Raw{attribute.name(), attribute.value()});
  }
  if (auto repeat = first_repeat(raw_, [](const Raw& raw) { return raw.qname; })) {
    return std::unexpected("duplicate attribute " + quoted(raw_[*repeat].qname));
  }
  const std::vector<AttributeRule>* rules = dtd_.rules_of(element.name());
  if (values_.size() < raw_.size()) values_.resize(raw_.size());
  for (std::size_t i = 0; i < raw_.size(); ++i) {
    std::string_view& value = raw_[i].value;
    const AttributeRule* rule = rule_for(rules, raw_[i].qname);
    const bool tokenized = rule && rule->tokenized;
    if (!tokenized && value.find_first_of("&<\t\n\r") == std::string_view::npos) continue;
    std::string& resolved = values_[i];
    resolved.clear();
    // pugixml turned the line ends of the text into spaces already; a CR LF still here comes
    // from an entity's character references and gives two spaces.
    if (auto done = resolve_attribute(value, false, dtd_, budget_, resolved); !done) return done;
    if (tokenized) collapse_spaces(resolved);
    value = resolved;
  }
  if (!rules) return {};
  const std::size_t specified = raw_.size();
  for (const AttributeRule& rule : *rules) {
    bool given = false;
    for (std::size_t i = 0; i < specified && !given; ++i) given = raw_[i].qname == rule.name;
    if (!given && rule.default_value) raw_.push_back(Raw{rule.name, *rule.default_value});
  }
  return {};
}

// Declarations come first: they hold for the element's own names.
std::expected<void, std::string> StartTagReader::declare(Scope& scope) {
  tag_.declares = false;
  for (const Raw& raw : raw_) {
    if (!is_declaration(raw.qname)) continue;
    const std::string_view prefix = raw.qname.size() > 5 ? raw.qname.substr(6) : "";
    if (raw.qname.size() > 5 && !is_ncname(prefix)) {
      return std::unexpected("malformed attribute name " + quoted(raw.qname));
    }
    if (auto declared = scope.declare(prefix, raw.value); !declared) return declared;
    tag_.declares = true;
  }
  if (!tag_.declares) return {};
  scope.in_force(tag_.bindings);
  recorded_bindings_ += tag_.bindings.size();
  if (recorded_bindings_ > binding_limit_) {
    return std::unexpected("more than " + std::to_string(binding_limit_) +
                           " namespace bindings recorded");
  }
  return {};
}

std::expected<void, std::string> StartTagReader::resolve(pugi::xml_node element,
                                                         const Scope& scope) {
  const std::string_view qname = element.name();
  const auto name = split_qname(qname);
  if (!name) return std::unexpected("malformed element name " + quoted(qname));
  tag_.name = *name;
  tag_.uri = scope.uri_of(name->prefix);
  if (!name->prefix.empty() && !tag_.uri) {
    return std::unexpected("unbound prefix " + quoted(name->prefix));
  }
  return take_attributes(scope);
}

// Attributes in order without declarations; prefixed ones may not share namespace and local
// name; of those sharing a local name the first is kept.
std::expected<void, std::string> StartTagReader::take_attributes(const Scope& scope) {
  tag_.attributes.clear();
  expanded_.clear();
  for (const Raw& raw : raw_) {
    if (is_declaration(raw.qname)) continue;
    const auto name = split_qname(raw.qname);
    if (!name) return std::unexpected("malformed attribute name " + quoted(raw.qname));
    if (!name->prefix.empty()) {
      const auto uri = scope.uri_of(name->prefix);
      if (!uri) return std::unexpected("unbound prefix " + quoted(name->prefix));
      expanded_.emplace_back(*uri, name->local);
    }
    tag_.attributes.emplace_back(name->local, raw.value);
  }
  if (auto repeat = first_repeat(expanded_, [](const auto& name) { return name; })) {
    return std::unexpected("duplicate attribute " + quoted(expanded_[*repeat].second) +
                           " in namespace " + quoted(expanded_[*repeat].first));
  }
  keep_first_of_each_name(tag_.attributes);
  return {};
}

}  // namespace kivo::stress::independent::detail
