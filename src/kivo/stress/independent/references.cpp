// Character and entity references, and attribute values with theirs resolved.
#include <algorithm>
#include <limits>

#include "kivo/stress/independent/reader.hpp"

namespace kivo::stress::independent::detail {
namespace {

// Expansion may always reach this, and beyond it only 100 times the input, as the library's
// reader allows, so that a small text cannot grow without bound.
constexpr std::size_t kFreeExpansion = std::size_t{8} << 20;
constexpr std::size_t kExpansionFactor = 100;

std::optional<char32_t> digit_value(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (hex && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (hex && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

std::expected<Reference, std::string> parse_character(std::string_view text) {
  const bool hex = text.size() > 2 && text[2] == 'x';
  std::size_t at = hex ? 3 : 2;
  const std::size_t first_digit = at;
  char32_t code = 0;
  for (; at < text.size(); ++at) {
    auto digit = digit_value(text[at], hex);
    if (!digit) break;
    code = std::min<char32_t>(code * (hex ? 16 : 10) + *digit, 0x110000);
  }
  if (at == first_digit || at >= text.size() || text[at] != ';') {
    return std::unexpected("malformed character reference");
  }
  if (!is_xml_char(code)) return std::unexpected("reference to invalid character number");
  return Reference{at + 1, code, {}};
}

// Clears the expansion marks of the entities still open when a resolution ends early.
struct OpenEntities {
  std::vector<const Entity*> entities;
  ~OpenEntities() {
    for (const Entity* entity : entities) entity->open = false;
  }
};

std::expected<const Entity*, std::string> expandable(std::string_view name, const Dtd& dtd,
                                                     Budget& budget) {
  const Entity* entity = dtd.entity(name);
  const std::string name_quoted = quoted(name);
  if (!entity) {
    if (dtd.skips_undeclared) return nullptr;
    return std::unexpected("undeclared entity " + name_quoted);
  }
  if (entity->kind == Entity::Kind::External) {
    return std::unexpected("reference to external entity " + name_quoted +
                           " in an attribute value");
  }
  if (entity->kind == Entity::Kind::Unparsed) {
    return std::unexpected("reference to unparsed entity " + name_quoted);
  }
  if (entity->open) return std::unexpected("recursive reference to entity " + name_quoted);
  if (!budget.spend(entity->replacement.size())) {
    return std::unexpected("entity expansion beyond " + std::to_string(budget.limit()) + " bytes");
  }
  return entity;
}

}  // namespace

Budget::Budget(std::size_t input_size)
    : limit_(input_size > std::numeric_limits<std::size_t>::max() / kExpansionFactor
                 ? std::numeric_limits<std::size_t>::max()
                 : std::max(kFreeExpansion, input_size * kExpansionFactor)) {}

bool Budget::spend(std::size_t bytes) {
  if (bytes > limit_ - used_) return false;
  used_ += bytes;
  return true;
}

std::expected<Reference, std::string> parse_reference(std::string_view text) {
  if (text.size() > 1 && text[1] == '#') return parse_character(text);
  const std::size_t end = text.find_first_of("; \t\r\n<&\"'", 1);
  if (end == std::string_view::npos || text[end] != ';' || !is_ncname(text.substr(1, end - 1))) {
    return std::unexpected("malformed entity reference");
  }
  return Reference{end + 1, 0, text.substr(1, end - 1)};
}

std::optional<std::string_view> predefined_entity(std::string_view name) {
  static constexpr std::pair<std::string_view, std::string_view> kPredefined[] = {
      {"lt", "<"}, {"gt", ">"}, {"amp", "&"}, {"apos", "'"}, {"quot", "\""}};
  for (const auto& [entity, character] : kPredefined) {
    if (entity == name) return character;
  }
  return std::nullopt;
}

std::expected<void, std::string> resolve_attribute(std::string_view raw, bool raw_line_ends,
                                                   const Dtd& dtd, Budget& budget,
                                                   std::string& out) {
  struct Part {
    std::string_view rest;
    bool raw;
  };
  Part part{raw, raw_line_ends};
  std::vector<Part> outer;
  OpenEntities open;
  for (;;) {
    if (part.rest.empty()) {
      if (outer.empty()) return {};
      open.entities.back()->open = false;
      open.entities.pop_back();
      part = outer.back();
      outer.pop_back();
      continue;
    }
    const std::size_t plain = std::min(part.rest.find_first_of("<&\t\n\r"), part.rest.size());
    out.append(part.rest.substr(0, plain));
    part.rest.remove_prefix(plain);
    if (part.rest.empty()) continue;
    const char c = part.rest.front();
    if (c == '<') return std::unexpected("'<' in an attribute value");
    if (c != '&') {
      out += ' ';
      const bool pair = part.raw && c == '\r' && part.rest.size() > 1 && part.rest[1] == '\n';
      part.rest.remove_prefix(pair ? 2 : 1);
      continue;
    }
    auto reference = parse_reference(part.rest);
    if (!reference) return std::unexpected(reference.error());
    part.rest.remove_prefix(reference->length);
    if (reference->name.empty()) {
      append_utf8(out, reference->code);
      continue;
    }
    if (auto character = predefined_entity(reference->name)) {
      out.append(*character);
      continue;
    }
    auto entity = expandable(reference->name, dtd, budget);
    if (!entity) return std::unexpected(entity.error());
    if (!*entity) continue;
    (*entity)->open = true;
    open.entities.push_back(*entity);
    outer.push_back(part);
    part = Part{(*entity)->replacement, false};
  }
}

void collapse_spaces(std::string& value) {
  std::size_t kept = 0;
  for (char c : value) {
    if (c == ' ' && (kept == 0 || value[kept - 1] == ' ')) continue;
    value[kept++] = c;
  }
  if (kept > 0 && value[kept - 1] == ' ') --kept;
  value.resize(kept);
}

}  // namespace kivo::stress::independent::detail
