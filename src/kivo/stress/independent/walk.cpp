// Walks pugixml's tree in document order without recursion: a stack of cursors over sibling
// lists (of an element or of an entity's parsed replacement) and over text being expanded.
// Character data is merged across references and markup-free entities and handed on whole.
#include "kivo/stress/independent/reader.hpp"

namespace kivo::stress::independent::detail {
namespace {

// Deeper documents are refused, as by the library's reader.
constexpr std::size_t kMaxDepth = 1000;
// Recorded namespace bindings may exceed the input's length by this much, as with the library.
constexpr std::size_t kRecordedBindingAllowance = std::size_t{1} << 20;

// References are left alone (parse_escapes off): they are resolved here. As a fragment, the
// whole text is kept, so that text outside the root and a misplaced declaration can be refused.
constexpr unsigned kDocumentOptions = pugi::parse_pi | pugi::parse_comments | pugi::parse_cdata |
                                      pugi::parse_eol | pugi::parse_wconv_attribute |
                                      pugi::parse_declaration | pugi::parse_doctype |
                                      pugi::parse_fragment;
// A replacement text already had its line ends unified when it was declared; a CR in it comes
// from a character reference and stays. Blank text stays too: it merges with text around.
constexpr unsigned kReplacementOptions = pugi::parse_pi | pugi::parse_comments | pugi::parse_cdata |
                                         pugi::parse_declaration | pugi::parse_doctype |
                                         pugi::parse_fragment | pugi::parse_ws_pcdata;

std::string pugixml_reason(const pugi::xml_parse_result& result) {
  std::string reason = result.description();
  if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z') reason[0] += 'a' - 'A';
  return reason;
}

bool is_reserved_target(std::string_view target) {
  return target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' &&
         (target[2] | 0x20) == 'l';
}

// Why a comment or processing instruction is malformed, or nothing.
std::optional<std::string> malformed(pugi::xml_node node) {
  if (node.type() == pugi::node_comment) {
    const std::string_view text = node.value();
    if (text.find("--") != std::string_view::npos || text.ends_with('-')) {
      return "'--' in a comment";
    }
    return std::nullopt;
  }
  const std::string_view target = node.name();
  if (is_reserved_target(target)) return "reserved processing instruction target " + quoted(target);
  if (!is_ncname(target)) return "malformed processing instruction target " + quoted(target);
  return std::nullopt;
}

struct Cursor {
  pugi::xml_node next;     // the next sibling to visit
  std::string_view text;   // the text still to expand (when `expanding`)
  const Entity* entity;    // whose replacement this is, closed with the cursor
  bool expanding = false;  // a text, not a sibling list
  bool closes_element = false;
};

class Walker {
 public:
  Walker(const Prolog& prolog, Visitor& visitor, std::size_t input_size)
      : text_(prolog.text()),
        prolog_(prolog),
        visitor_(visitor),
        budget_(input_size),
        binding_limit_(kRecordedBindingAllowance + input_size) {}

  std::expected<void, std::string> run() {
    const pugi::xml_parse_result parsed =
        document_.load_buffer(text_.data(), text_.size(), kDocumentOptions, pugi::encoding_utf8);
    if (!parsed) return refuse(pugixml_reason(parsed), static_cast<std::size_t>(parsed.offset));
    auto root = top_level();
    if (!root) return std::unexpected(root.error());
    tags_.emplace(dtd_, budget_, binding_limit_);  // once the document type is known
    return walk(*root);
  }

 private:
  std::unexpected<std::string> refuse(std::string reason, std::size_t offset) const {
    return std::unexpected(reason + position_in(text_, offset));
  }
  std::unexpected<std::string> refuse(std::string reason) const {
    return refuse(std::move(reason), offset_);
  }

  void locate(pugi::xml_node node) {
    const std::ptrdiff_t offset = node.offset_debug();
    if (open_fragments_ == 0 && offset >= 0) offset_ = static_cast<std::size_t>(offset);
  }

  // Checks what stands beside the root element; reads the document type on the way.
  std::expected<pugi::xml_node, std::string> top_level() {
    pugi::xml_node root;
    bool doctype_seen = false;
    for (pugi::xml_node node : document_.children()) {
      locate(node);
      const bool first = node == document_.first_child();
      switch (node.type()) {
        case pugi::node_declaration:
          if (!first || !prolog_.declared()) {
            return refuse("XML declaration not at the start of the text");
          }
          break;
        case pugi::node_doctype:
          if (root || doctype_seen) return refuse("misplaced document type declaration");
          doctype_seen = true;
          if (auto read = doctype(node); !read) return std::unexpected(read.error());
          break;
        case pugi::node_element:
          if (root) return refuse("more than one root element");
          root = node;
          break;
        case pugi::node_comment:
        case pugi::node_pi:
          if (auto reason = malformed(node)) return refuse(*reason);
          break;
        default:
          return refuse("text outside the root element");
      }
    }
    if (!root) return refuse("no root element", text_.size());
    return root;
  }

  std::expected<void, std::string> doctype(pugi::xml_node node) {
    const std::size_t at = offset_;
    if (at == 0 || !is_space(text_[at - 1])) {
      return refuse("malformed document type declaration");
    }
    auto read = read_doctype(node.value(), prolog_.standalone(), budget_);
    if (!read) return refuse(read.error().reason, at + read.error().offset);
    dtd_ = std::move(*read);
    return {};
  }

  std::expected<void, std::string> walk(pugi::xml_node root) {
    if (auto opened = open_element(root); !opened) return opened;
    while (!stack_.empty() && !stopped_) {
      Cursor& top = stack_.back();
      std::expected<void, std::string> step;
      if (top.expanding) {
        step = expand(top);
      } else if (!top.next) {
        close_cursor();
      } else {
        const pugi::xml_node node = top.next;
        top.next = node.next_sibling();
        step = visit(node);
      }
      if (!step) return step;
    }
    return {};
  }

  // One node of a sibling list; may push a cursor.
  std::expected<void, std::string> visit(pugi::xml_node node) {
    locate(node);
    switch (node.type()) {
      case pugi::node_pcdata:
        return character_data(node.value());
      case pugi::node_cdata:
        flush();
        deliver([&] { return visitor_.cdata(node.value()); });
        return {};
      case pugi::node_comment: {
        if (auto reason = malformed(node)) return refuse(*reason);
        flush();
        std::string unified;
        deliver([&] { return visitor_.comment(unified_line_ends(node.value(), unified)); });
        return {};
      }
      case pugi::node_pi:
        return instruction(node);
      case pugi::node_element:
        flush();
        if (stopped_) return {};
        return open_element(node);
      case pugi::node_declaration:
        return refuse("XML declaration not at the start of the text");
      default:
        return refuse("misplaced document type declaration");
    }
  }

  std::expected<void, std::string> instruction(pugi::xml_node node) {
    if (auto reason = malformed(node)) return refuse(*reason);
    flush();
    std::string unified;
    std::string_view data = unified_line_ends(node.value(), unified);
    while (!data.empty() && is_space(data.front())) data.remove_prefix(1);
    deliver([&] { return visitor_.instruction(node.name(), data); });
    return {};
  }

  std::expected<void, std::string> character_data(std::string_view raw) {
    if (raw.find("]]>") != std::string_view::npos) return refuse("']]>' in character data");
    if (raw.find('&') == std::string_view::npos) {
      append(raw);
    } else {
      stack_.push_back(Cursor{{}, raw, nullptr, true, false});
    }
    return {};
  }

  std::expected<void, std::string> open_element(pugi::xml_node node) {
    if (depth_ >= kMaxDepth) {
      return refuse("elements nested deeper than " + std::to_string(kMaxDepth));
    }
    auto tag = tags_->read(node, scope_);
    if (!tag) return refuse(tag.error());
    ++depth_;
    stack_.push_back(Cursor{node.first_child(), {}, nullptr, false, true});
    deliver([&] { return visitor_.start(**tag); });
    return {};
  }

  void close_cursor() {
    const Cursor done = stack_.back();
    stack_.pop_back();
    if (done.entity) {
      done.entity->open = false;
      if (!done.expanding) --open_fragments_;
    }
    if (!done.closes_element) return;
    flush();
    scope_.close();
    --depth_;
    deliver([&] { return visitor_.end(); });
  }

  // Takes the next run of text or the next reference from the text at the top.
  std::expected<void, std::string> expand(Cursor& top) {
    if (top.text.empty()) {
      close_cursor();
      return {};
    }
    const std::size_t plain = std::min(top.text.find('&'), top.text.size());
    if (plain > 0) {
      append(top.text.substr(0, plain));
      top.text.remove_prefix(plain);
      return {};
    }
    auto reference = parse_reference(top.text);
    if (!reference) return refuse(reference.error());
    top.text.remove_prefix(reference->length);
    if (reference->name.empty()) {
      std::string encoded;  // at most four bytes: no allocation
      append_utf8(encoded, reference->code);
      append_copy(encoded);
      return {};
    }
    if (auto character = predefined_entity(reference->name)) {
      append(*character);
      return {};
    }
    return enter(reference->name);
  }

  // Expands a reference to entity `name` by pushing its replacement.
  std::expected<void, std::string> enter(std::string_view name) {
    const Entity* entity = dtd_.entity(name);
    if (!entity) {
      if (dtd_.skips_undeclared) return {};
      return refuse("undeclared entity " + quoted(name));
    }
    if (entity->kind == Entity::Kind::External) return {};  // never read
    if (entity->kind == Entity::Kind::Unparsed) {
      return refuse("reference to unparsed entity " + quoted(name));
    }
    if (entity->open) return refuse("recursive reference to entity " + quoted(name));
    if (!budget_.spend(entity->replacement.size())) {
      return refuse("entity expansion beyond " + std::to_string(budget_.limit()) + " bytes");
    }
    if (entity->replacement.find('<') == std::string::npos) {
      if (entity->replacement.find("]]>") != std::string::npos) {
        return refuse("']]>' in character data of entity " + quoted(name));
      }
      entity->open = true;
      stack_.push_back(Cursor{{}, entity->replacement, entity, true, false});
      return {};
    }
    if (!entity->fragment) {
      auto fragment = std::make_unique<pugi::xml_document>();
      const pugi::xml_parse_result parsed =
          fragment->load_buffer(entity->replacement.data(), entity->replacement.size(),
                                kReplacementOptions, pugi::encoding_utf8);
      // pugixml takes a '<' that ends a fragment for text.
      if (!parsed || entity->replacement.ends_with('<')) {
        return refuse("malformed replacement text of entity " + quoted(name) + ": " +
                      (parsed ? std::string("unclosed markup") : pugixml_reason(parsed)));
      }
      entity->fragment = std::move(fragment);
    }
    entity->open = true;
    ++open_fragments_;
    stack_.push_back(Cursor{entity->fragment->first_child(), {}, entity, false, false});
    return {};
  }

  // Hands a node to the visitor unless it stopped the reading already.
  template <class Call>
  void deliver(Call call) {
    if (!stopped_ && !call()) stopped_ = true;
  }

  // Character data waits here until markup ends it; text that stays put in memory is only
  // viewed, copied once a second piece joins it.
  void append(std::string_view stable) {
    if (stable.empty()) return;
    if (!copied_ && pending_.empty()) {
      pending_ = stable;
      return;
    }
    append_copy(stable);
  }
  void append_copy(std::string_view piece) {
    if (!copied_) {
      buffer_.assign(pending_);
      copied_ = true;
    }
    buffer_.append(piece);
  }
  void flush() {
    const std::string_view text = copied_ ? std::string_view(buffer_) : pending_;
    pending_ = {};
    copied_ = false;
    if (!text.empty() && !is_blank(text)) deliver([&] { return visitor_.text(text); });
  }

  std::string_view text_;
  const Prolog& prolog_;
  Visitor& visitor_;
  Budget budget_;
  std::size_t binding_limit_;
  pugi::xml_document document_;
  Dtd dtd_;
  Scope scope_;
  std::optional<StartTagReader> tags_;
  std::vector<Cursor> stack_;
  std::size_t depth_ = 0;
  std::size_t open_fragments_ = 0;
  std::size_t offset_ = 0;  // of the last node of the text itself, for refusals
  bool stopped_ = false;
  std::string_view pending_;
  std::string buffer_;
  bool copied_ = false;
};

}  // namespace

std::expected<void, std::string> read(std::string_view text, Visitor& visitor) {
  auto prolog = Prolog::read(text);
  if (!prolog) return std::unexpected(prolog.error());
  return Walker(*prolog, visitor, text.size()).run();
}

}  // namespace kivo::stress::independent::detail
