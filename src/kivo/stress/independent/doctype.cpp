// The document type declaration: its internal subset declares general entities and attribute
// defaults; everything else in it is only checked. Parameter entities are never read, and after
// a reference to one only a standalone text still takes declarations, as with the library.
#include <array>

#include "kivo/stress/independent/reader.hpp"

namespace kivo::stress::independent::detail {
namespace {

constexpr std::string_view kDeclarationEnd = ">";

bool is_pubid_char(char c) {
  static constexpr std::string_view kMarks = " \r\n-'()+,./:=?;!*#@$_%";
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         kMarks.find(c) != std::string_view::npos;
}

// What ends a name in a declaration.
constexpr std::string_view kNameEnds = " \t\r\n%&;<>()|,?*+\"'[]=";

// Element and attribute names are qualified; entity, notation and instruction names have no
// colon; enumerated values are name tokens.
enum class NameKind { Qualified, Plain, Token };

bool is_name_of(NameKind kind, std::string_view text) {
  switch (kind) {
    case NameKind::Qualified:
      return split_qname(text).has_value();
    case NameKind::Plain:
      return is_ncname(text);
    case NameKind::Token:
      return !text.empty() && is_name(std::string("x").append(text));
  }
  return false;
}

class DoctypeReader {
 public:
  DoctypeReader(std::string_view text, bool standalone, Budget& budget)
      : text_(text), standalone_(standalone), budget_(budget) {}

  std::expected<Dtd, Refusal> read() {
    if (!name(NameKind::Qualified)) return fail("malformed document type declaration");
    if (spaces() && (peek("SYSTEM") || peek("PUBLIC"))) {
      if (auto checked = external_id(false); !checked) return std::unexpected(checked.error());
      dtd_.skips_undeclared = !standalone_;
      spaces();
    }
    if (peek("[")) {
      ++at_;
      if (auto checked = subset(); !checked) return std::unexpected(checked.error());
      ++at_;
      spaces();
    }
    if (at_ != text_.size()) return fail("malformed document type declaration");
    return std::move(dtd_);
  }

 private:
  std::unexpected<Refusal> fail(std::string reason) const {
    return std::unexpected(Refusal{std::move(reason), at_});
  }
  std::unexpected<Refusal> syntax_error() const {
    return fail("syntax error in the document type declaration");
  }

  bool peek(std::string_view word) const { return text_.substr(at_).starts_with(word); }
  bool take(std::string_view word) {
    if (!peek(word)) return false;
    at_ += word.size();
    return true;
  }
  bool spaces() {
    const std::size_t from = at_;
    while (at_ < text_.size() && is_space(text_[at_])) ++at_;
    return at_ > from;
  }
  // The name at hand, taken when it is of the kind asked for.
  std::optional<std::string_view> name(NameKind kind) {
    const std::size_t end = std::min(text_.find_first_of(kNameEnds, at_), text_.size());
    const std::string_view found = text_.substr(at_, end - at_);
    if (!is_name_of(kind, found)) return std::nullopt;
    at_ = end;
    return found;
  }
  std::optional<std::string_view> quoted() {
    if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) return std::nullopt;
    const std::size_t close = text_.find(text_[at_], at_ + 1);
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view literal = text_.substr(at_ + 1, close - at_ - 1);
    at_ = close + 1;
    return literal;
  }
  Checked close_declaration() {
    spaces();
    if (!take(kDeclarationEnd)) return syntax_error();
    return {};
  }

  // SYSTEM "system" | PUBLIC "public" "system" (the system literal optional in a notation).
  Checked external_id(bool in_notation) {
    if (take("SYSTEM")) {
      if (!spaces() || !quoted()) return syntax_error();
      return {};
    }
    if (!take("PUBLIC") || !spaces()) return syntax_error();
    auto public_id = quoted();
    if (!public_id) return syntax_error();
    for (char c : *public_id) {
      if (!is_pubid_char(c)) return fail("illegal character in a public identifier");
    }
    const std::size_t before = at_;
    if (spaces() && quoted()) return {};
    if (!in_notation) return syntax_error();
    at_ = before;
    return {};
  }

  Checked subset() {
    for (;;) {
      spaces();
      if (at_ >= text_.size()) return fail("unclosed internal subset");
      if (peek("]")) return {};
      Checked checked = declaration();
      if (!checked) return checked;
    }
  }

  Checked declaration() {
    if (take("%")) return parameter_reference();
    if (take("<!--")) return comment();
    if (take("<?")) return instruction();
    if (take("<!ENTITY")) return entity();
    if (take("<!ATTLIST")) return attribute_list();
    if (take("<!ELEMENT")) return element();
    if (take("<!NOTATION")) return notation();
    return syntax_error();
  }

  // A parameter entity is never read: what it might declare stays unknown.
  Checked parameter_reference() {
    if (!name(NameKind::Plain) || !take(";")) return syntax_error();
    dtd_.skips_undeclared = !standalone_;
    if (!standalone_) taking_ = false;
    return {};
  }

  Checked comment() {
    const std::size_t end = text_.find("-->", at_);
    if (end == std::string_view::npos) return syntax_error();
    const std::string_view body = text_.substr(at_, end - at_);
    if (body.find("--") != std::string_view::npos || body.ends_with('-')) {
      return fail("'--' in a comment");
    }
    at_ = end + 3;
    return {};
  }

  Checked instruction() {
    const auto target = name(NameKind::Plain);
    if (!target || (target->size() == 3 && (((*target)[0] | 0x20) == 'x') &&
                    (((*target)[1] | 0x20) == 'm') && (((*target)[2] | 0x20) == 'l'))) {
      return fail("reserved or malformed processing instruction target");
    }
    const std::size_t end = text_.find("?>", at_);
    if (end == std::string_view::npos || (end > at_ && !is_space(text_[at_]))) {
      return syntax_error();
    }
    at_ = end + 2;
    return {};
  }

  Checked entity() {
    if (!spaces()) return syntax_error();
    const bool parameter = take("%");
    if (parameter && !spaces()) return syntax_error();
    const auto entity_name = name(NameKind::Plain);
    if (!entity_name || !spaces()) return syntax_error();
    Entity entity;
    if (auto literal = quoted()) {
      if (Checked read = replacement_text(*literal, entity.replacement); !read) return read;
    } else {
      entity.kind = Entity::Kind::External;
      if (Checked checked = external_id(false); !checked) return checked;
      const std::size_t before = at_;
      if (!parameter && spaces() && take("NDATA")) {
        if (!spaces() || !name(NameKind::Plain)) return syntax_error();
        entity.kind = Entity::Kind::Unparsed;
      } else {
        at_ = before;
      }
    }
    if (Checked closed = close_declaration(); !closed) return closed;
    // The first declaration of a name is binding.
    if (!parameter && taking_ && !dtd_.entities.contains(*entity_name)) {
      dtd_.entities.emplace(std::string(*entity_name), std::move(entity));
    }
    return {};
  }

  // The literal with line ends unified and character references resolved; entity references
  // stay for when the entity is used.
  Checked replacement_text(std::string_view literal, std::string& out) {
    std::string unified;
    literal = unified_line_ends(literal, unified);
    for (std::size_t i = 0; i < literal.size();) {
      if (literal[i] == '%') return fail("parameter entity reference in an entity value");
      if (literal[i] != '&') {
        out += literal[i++];
        continue;
      }
      auto reference = parse_reference(literal.substr(i));
      if (!reference) return fail(reference.error());
      if (reference->name.empty()) {
        append_utf8(out, reference->code);
      } else {
        out.append(literal.substr(i, reference->length));
      }
      i += reference->length;
    }
    return {};
  }

  Checked attribute_list() {
    if (!spaces()) return syntax_error();
    const auto element_name = name(NameKind::Qualified);
    if (!element_name) return syntax_error();
    for (;;) {
      const bool spaced = spaces();
      if (take(kDeclarationEnd)) return {};
      const auto attribute_name = spaced ? name(NameKind::Qualified) : std::nullopt;
      if (!attribute_name || !spaces()) return syntax_error();
      AttributeRule rule{std::string(*attribute_name), std::nullopt, false};
      if (Checked typed = attribute_type(rule); !typed) return typed;
      if (!spaces()) return syntax_error();
      if (Checked defaulted = attribute_default(rule); !defaulted) return defaulted;
      if (taking_) record(*element_name, std::move(rule));
    }
  }

  Checked attribute_type(AttributeRule& rule) {
    static constexpr std::array<std::string_view, 7> kTokenized = {
        "IDREFS", "IDREF", "ID", "ENTITIES", "ENTITY", "NMTOKENS", "NMTOKEN"};
    if (take("CDATA")) return {};
    rule.tokenized = true;
    if (take("NOTATION")) {
      if (!spaces()) return syntax_error();
      return enumeration(true);
    }
    if (peek("(")) return enumeration(false);
    for (std::string_view type : kTokenized) {
      if (take(type)) return {};
    }
    return syntax_error();
  }

  Checked enumeration(bool names) {
    if (!take("(")) return syntax_error();
    do {
      spaces();
      if (!name(names ? NameKind::Plain : NameKind::Token)) return syntax_error();
      spaces();
    } while (take("|"));
    if (!take(")")) return syntax_error();
    return {};
  }

  Checked attribute_default(AttributeRule& rule) {
    if (take("#REQUIRED") || take("#IMPLIED")) return {};
    if (take("#FIXED") && !spaces()) return syntax_error();
    const std::size_t literal_at = at_;
    const auto literal = quoted();
    if (!literal) return syntax_error();
    std::string value;
    auto resolved = resolve_attribute(*literal, true, dtd_, budget_, value);
    if (!resolved) return std::unexpected(Refusal{resolved.error(), literal_at});
    if (rule.tokenized) collapse_spaces(value);
    rule.default_value = std::move(value);
    return {};
  }

  // The first rule for an attribute of an element is binding.
  void record(std::string_view element_name, AttributeRule rule) {
    auto [rules, added] = dtd_.attributes.try_emplace(std::string(element_name));
    for (const AttributeRule& known : rules->second) {
      if (known.name == rule.name) return;
    }
    rules->second.push_back(std::move(rule));
  }

  Checked element() {
    if (!spaces() || !name(NameKind::Qualified) || !spaces()) return syntax_error();
    if (take("EMPTY") || take("ANY")) return close_declaration();
    if (!peek("(")) return syntax_error();
    return content_model();
  }

  // Only the parentheses and the names of a content model are checked.
  Checked content_model() {
    int depth = 0;
    while (at_ < text_.size() && text_[at_] != '>') {
      const char c = text_[at_];
      if (c == '(' || c == ')') {
        depth += c == '(' ? 1 : -1;
        if (depth < 0) return syntax_error();
        ++at_;
      } else if (is_space(c) || std::string_view("|,?*+").find(c) != std::string_view::npos) {
        ++at_;
      } else if (!take("#PCDATA") && !name(NameKind::Qualified)) {
        return syntax_error();
      }
    }
    if (depth != 0) return syntax_error();
    return close_declaration();
  }

  Checked notation() {
    if (!spaces() || !name(NameKind::Plain) || !spaces()) return syntax_error();
    if (Checked checked = external_id(true); !checked) return checked;
    return close_declaration();
  }

  std::string_view text_;
  std::size_t at_ = 0;
  bool standalone_;
  Budget& budget_;
  Dtd dtd_;
  bool taking_ = true;  // declarations still count
};

}  // namespace

const Entity* Dtd::entity(std::string_view name) const {
  auto found = entities.find(name);
  return found == entities.end() ? nullptr : &found->second;
}

const std::vector<AttributeRule>* Dtd::rules_of(std::string_view qname) const {
  if (attributes.empty()) return nullptr;
  auto found = attributes.find(qname);
  return found == attributes.end() ? nullptr : &found->second;
}

std::expected<Dtd, Refusal> read_doctype(std::string_view value, bool standalone, Budget& budget) {
  return DoctypeReader(value, standalone, budget).read();
}

}  // namespace kivo::stress::independent::detail
