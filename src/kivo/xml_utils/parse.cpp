// Builds the element tree from the events of the expat parser in namespace mode.
#include <expat.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_set>
#include <utility>
#include <vector>

#include "kivo/xml_utils.hpp"

namespace kivo::xml_utils {
namespace {

// Growing a children vector must move subtrees, never copy them.
static_assert(std::is_nothrow_move_constructible_v<XMLNode>);

// Separates URI, local name and prefix in expat's names; U+0001 cannot occur in XML 1.0 text.
constexpr char kNameSeparator = '\x01';
// Deeper documents are refused so that every tree algorithm may recurse.
constexpr std::size_t kMaxDepth = 1000;
// An element that declares namespaces records a copy of all bindings in force (the others share
// their parent's), so many declarations under many inherited ones would multiply memory; the
// copied total may exceed the input's length by at most this much.
constexpr std::size_t kRecordedBindingAllowance = std::size_t{1} << 20;
// Attribute counts above this use a hash set for the local-name clash check.
constexpr std::size_t kLinearAttributeScan = 16;

struct ExpandedName {
  std::string_view uri;
  std::string_view local;
  std::string_view prefix;
  bool has_uri = false;
  bool has_prefix = false;
};

// Splits expat's "uri<sep>local<sep>prefix" (or "uri<sep>local", or "local").
ExpandedName split_name(std::string_view raw) {
  ExpandedName name;
  auto first = raw.find(kNameSeparator);
  if (first == std::string_view::npos) {
    name.local = raw;
    return name;
  }
  name.has_uri = true;
  name.uri = raw.substr(0, first);
  auto rest = raw.substr(first + 1);
  auto second = rest.find(kNameSeparator);
  if (second == std::string_view::npos) {
    name.local = rest;
    return name;
  }
  name.local = rest.substr(0, second);
  name.prefix = rest.substr(second + 1);
  name.has_prefix = true;
  return name;
}

bool is_xml_whitespace_only(const std::string& text) {
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return false;
  }
  return true;
}

// " at line L, column C" of the current event, both counted from 1.
std::string position_of(XML_Parser parser) {
  return " at line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
         std::to_string(XML_GetCurrentColumnNumber(parser) + 1);
}

// One namespace declaration in force; an absent URI undeclares the default namespace.
struct Binding {
  std::string prefix;
  std::optional<std::string> uri;
};

class TreeBuilder {
 public:
  TreeBuilder(XML_Parser parser, std::size_t input_size)
      : parser_(parser), binding_limit_(kRecordedBindingAllowance + input_size) {
    open_.reserve(64);
    children_.reserve(256);
  }

  std::optional<Element>& root() { return root_; }
  const std::string& failure() const { return failure_; }

  void start_element(const XML_Char* raw_name, const XML_Char** atts) {
    flush_text();
    if (open_.size() >= kMaxDepth) {
      fail("document nested deeper than " + std::to_string(kMaxDepth) + " elements");
      return;
    }
    // Built where it will stay until its parent closes, so it is moved once, not three times.
    Element& element = std::get<Element>(children_.emplace_back().value);
    ExpandedName name = split_name(raw_name);
    element.name = Name(name.local);
    if (name.has_uri) element.namespace_uri.emplace(name.uri);
    if (name.has_prefix) element.prefix.emplace(name.prefix);
    if (!take_bindings(element)) {
      children_.pop_back();
      return;
    }
    add_attributes(element, atts);
    open_.push_back(children_.size() - 1);
  }

  // An open element waits among the pending children, followed by its own; when it closes it
  // takes them in one allocation of the exact size, so no vector grows by copying and none
  // holds spare room.
  void end_element() {
    flush_text();
    if (open_.empty()) return;
    const std::size_t at = open_.back();
    open_.pop_back();
    Element& done = *children_[at].as_element();
    const auto first = children_.begin() + static_cast<std::ptrdiff_t>(at) + 1;
    done.children.reserve(static_cast<std::size_t>(children_.end() - first));
    std::move(first, children_.end(), std::back_inserter(done.children));
    children_.erase(first, children_.end());
    if (open_.empty()) {
      if (!root_) root_ = std::move(done);
      children_.pop_back();
    }
  }

  void character_data(const XML_Char* data, int length) {
    if (open_.empty()) return;
    auto& target = in_cdata_ ? cdata_ : text_;
    target.append(data, static_cast<std::size_t>(length));
  }

  void comment(const XML_Char* data) {
    flush_text();
    if (open_.empty()) return;
    append_child(XMLNode{Comment{data}});
  }

  void processing_instruction(const XML_Char* target, const XML_Char* data) {
    flush_text();
    if (open_.empty()) return;
    ProcessingInstruction pi{target, std::nullopt};
    if (data != nullptr && *data != '\0') pi.data.emplace(data);
    append_child(XMLNode{std::move(pi)});
  }

  void start_cdata() {
    flush_text();
    in_cdata_ = true;
    cdata_.clear();
  }

  void end_cdata() {
    in_cdata_ = false;
    if (open_.empty()) return;
    append_child(XMLNode{CData{std::string(cdata_)}});
    cdata_.clear();
  }

  void start_namespace(const XML_Char* prefix, const XML_Char* uri) {
    Binding binding{prefix ? prefix : "", std::nullopt};
    if (uri != nullptr) binding.uri.emplace(uri);
    bindings_.push_back(std::move(binding));
    declared_ = true;
  }

  void end_namespace(const XML_Char* prefix) {
    std::string_view name = prefix ? prefix : "";
    for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
      if (it->prefix == name) {
        bindings_.erase(std::next(it).base());
        break;
      }
    }
  }

 private:
  // Records the reason with the position of the event at hand, then stops the parser.
  void fail(std::string reason) {
    if (failure_.empty()) failure_ = std::move(reason) + position_of(parser_);
    XML_StopParser(parser_, XML_FALSE);
  }

  void append_child(XMLNode node) { children_.push_back(std::move(node)); }

  Element& open_element() { return *children_[open_.back()].as_element(); }

  // Adjacent character data becomes one Text node unless it is only whitespace.
  void flush_text() {
    if (text_.empty()) return;
    if (!open_.empty() && !is_xml_whitespace_only(text_)) {
      append_child(XMLNode{Text{std::string(text_)}});
    }
    text_.clear();
  }

  // An element without declarations of its own shares its parent's bindings; one with
  // declarations gets a new map of all bindings in force, counted against the limit.
  bool take_bindings(Element& element) {
    if (!declared_) {
      if (!open_.empty()) element.namespaces = open_element().namespaces;
      return true;
    }
    declared_ = false;
    Namespaces in_force = bindings_in_force();
    recorded_bindings_ += in_force.size();
    if (recorded_bindings_ > binding_limit_) {
      fail("document records more than " + std::to_string(binding_limit_) +
           " namespace bindings in force");
      return false;
    }
    if (!in_force.empty()) element.namespaces = std::move(in_force);
    return true;
  }

  Namespaces bindings_in_force() const {
    Namespaces in_force;
    for (const auto& binding : bindings_) {
      if (binding.uri) {
        in_force[binding.prefix] = *binding.uri;
      } else {
        in_force.erase(binding.prefix);
      }
    }
    return in_force;
  }

  // Stores attributes under their local names; on a clash the first in document order wins.
  static void add_attributes(Element& element, const XML_Char** atts) {
    std::size_t count = 0;
    while (atts[2 * count] != nullptr) ++count;
    auto& entries = element.attributes.entries();
    entries.reserve(count);
    std::unordered_set<std::string_view> seen;
    const bool hashed = count > kLinearAttributeScan;
    for (std::size_t i = 0; i < count; ++i) {
      std::string_view local = split_name(atts[2 * i]).local;
      Name name(local);
      const bool clash = hashed ? !seen.insert(local).second
                                : std::ranges::any_of(entries, [&](const auto& entry) {
                                    return entry.first == name;
                                  });
      if (!clash) entries.emplace_back(std::move(name), std::string(atts[2 * i + 1]));
    }
  }

  XML_Parser parser_;
  std::size_t binding_limit_;
  std::size_t recorded_bindings_ = 0;
  std::vector<std::size_t> open_;  // where each open element waits in children_
  std::vector<XMLNode> children_;
  std::optional<Element> root_;
  std::string text_;
  std::string cdata_;
  bool in_cdata_ = false;
  std::vector<Binding> bindings_;
  bool declared_ = false;  // a declaration began since the last start tag
  std::string failure_;
};

TreeBuilder& builder_of(void* user_data) { return *static_cast<TreeBuilder*>(user_data); }

void install_handlers(XML_Parser parser) {
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** atts) {
        builder_of(data).start_element(name, atts);
      },
      [](void* data, const XML_Char*) { builder_of(data).end_element(); });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
    builder_of(data).character_data(text, length);
  });
  XML_SetCommentHandler(parser,
                        [](void* data, const XML_Char* text) { builder_of(data).comment(text); });
  XML_SetProcessingInstructionHandler(parser,
                                      [](void* data, const XML_Char* target, const XML_Char* text) {
                                        builder_of(data).processing_instruction(target, text);
                                      });
  XML_SetCdataSectionHandler(
      parser, [](void* data) { builder_of(data).start_cdata(); },
      [](void* data) { builder_of(data).end_cdata(); });
  XML_SetNamespaceDeclHandler(
      parser,
      [](void* data, const XML_Char* prefix, const XML_Char* uri) {
        builder_of(data).start_namespace(prefix, uri);
      },
      [](void* data, const XML_Char* prefix) { builder_of(data).end_namespace(prefix); });
}

ParseError malformed(std::string description) {
  return ParseError{ParseError::Kind::Malformed, std::move(description)};
}

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// Feeds the whole text, in pieces that fit expat's int length; true when it was accepted.
bool feed(XML_Parser parser, std::string_view text) {
  constexpr std::size_t kPiece = std::size_t{1} << 30;
  do {
    std::size_t size = std::min(text.size(), kPiece);
    bool last = size == text.size();
    if (XML_Parse(parser, text.data(), static_cast<int>(size), last ? XML_TRUE : XML_FALSE) !=
        XML_STATUS_OK) {
      return false;
    }
    text.remove_prefix(size);
  } while (!text.empty());
  return true;
}

}  // namespace

std::expected<Element, ParseError> parse(std::string_view text) {
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(
      XML_ParserCreateNS(nullptr, kNameSeparator));
  if (!parser) return std::unexpected(malformed("out of memory"));
  XML_SetReturnNSTriplet(parser.get(), XML_TRUE);
  TreeBuilder builder(parser.get(), text.size());
  XML_SetUserData(parser.get(), &builder);
  install_handlers(parser.get());

  if (!feed(parser.get(), text)) {
    if (!builder.failure().empty()) return std::unexpected(malformed(builder.failure()));
    const XML_LChar* reason = XML_ErrorString(XML_GetErrorCode(parser.get()));
    return std::unexpected(
        malformed(std::string(reason ? reason : "unknown error") + position_of(parser.get())));
  }
  if (!builder.root()) return std::unexpected(ParseError{ParseError::Kind::CannotParse, {}});
  return std::move(*builder.root());
}

}  // namespace kivo::xml_utils
