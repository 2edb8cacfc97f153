// The start of a text: byte order mark, XML declaration and encoding. Text in ISO-8859-1 is
// turned into UTF-8 here, so that pugixml only ever reads UTF-8.
#include <algorithm>
#include <array>

#include "kivo/stress/independent/reader.hpp"

namespace kivo::stress::independent::detail {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct Declaration {
  std::size_t length = 0;
  std::string_view encoding;
  bool standalone = false;
};

bool same_letters(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

bool all_of(std::string_view text, bool (*allowed)(char, bool first)) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!allowed(text[i], i == 0)) return false;
  }
  return true;
}

bool version_char(char c, bool) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         c == '.' || c == '-';
}

bool encoding_char(char c, bool first) {
  const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  return first ? letter : letter || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
}

bool valid_pseudo_attribute(std::size_t which, std::string_view value) {
  if (which == 0) return all_of(value, version_char);
  if (which == 1) return !value.empty() && all_of(value, encoding_char);
  return value == "yes" || value == "no";
}

// Reads "<?xml" S version [S encoding] [S standalone] S? "?>"; `text` starts with "<?xml" S.
std::optional<Declaration> read_declaration(std::string_view text) {
  static constexpr std::array<std::string_view, 3> kNames = {"version", "encoding", "standalone"};
  Declaration declaration;
  std::size_t at = 5;
  std::size_t next = 0;  // pseudo-attributes come in this order, version first
  auto skip_spaces = [&] {
    const std::size_t from = at;
    while (at < text.size() && is_space(text[at])) ++at;
    return at > from;
  };
  for (;;) {
    const bool spaced = skip_spaces();
    if (text.substr(at).starts_with("?>")) break;
    const std::size_t name_end = std::min(text.find('=', at), text.size());
    std::string_view name = text.substr(at, name_end - at);
    while (!name.empty() && is_space(name.back())) name.remove_suffix(1);
    const auto found = std::find(kNames.begin() + next, kNames.end(), name);
    if (!spaced || found == kNames.end() || (next == 0 && found != kNames.begin())) return {};
    at = name_end + 1;
    skip_spaces();
    if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) return {};
    const std::size_t close = text.find(text[at], at + 1);
    if (close == std::string_view::npos) return {};
    const std::string_view value = text.substr(at + 1, close - at - 1);
    next = static_cast<std::size_t>(found - kNames.begin()) + 1;
    if (!valid_pseudo_attribute(next - 1, value)) return {};
    if (next == 2) declaration.encoding = value;
    if (next == 3) declaration.standalone = value == "yes";
    at = close + 1;
  }
  if (next == 0) return {};
  declaration.length = at + 2;
  return declaration;
}

}  // namespace

std::expected<Prolog, std::string> Prolog::read(std::string_view input) {
  if (input.starts_with("\xFE\xFF") || input.starts_with("\xFF\xFE") ||
      input.starts_with(std::string_view("\0", 1)) ||
      input.starts_with(std::string_view("<\0", 2))) {
    return std::unexpected("text in UTF-16 or UTF-32 is not read at line 1, column 1");
  }
  Prolog prolog;
  prolog.text_ = input.starts_with(kByteOrderMark) ? input.substr(kByteOrderMark.size()) : input;
  Declaration declaration;
  if (prolog.text_.starts_with("<?xml") && prolog.text_.size() > 5 && is_space(prolog.text_[5])) {
    auto read = read_declaration(prolog.text_);
    if (!read) return std::unexpected("malformed XML declaration at line 1, column 1");
    declaration = *read;
  }
  prolog.declared_ = declaration.length > 0;
  prolog.standalone_ = declaration.standalone;
  return std::move(prolog).take_encoding(declaration.encoding);
}

std::expected<Prolog, std::string> Prolog::take_encoding(std::string_view encoding) && {
  auto invalid_at = [&](std::size_t offset) {
    return std::unexpected("invalid character" + position_in(text_, offset));
  };
  if (encoding.empty() || same_letters(encoding, "UTF-8")) {
    if (auto bad = first_invalid_character(text_)) return invalid_at(*bad);
    return std::move(*this);
  }
  const bool latin1 = same_letters(encoding, "ISO-8859-1");
  if (!latin1 && !same_letters(encoding, "US-ASCII")) {
    const bool wide = same_letters(encoding.substr(0, 6), "UTF-16");
    std::string reason = wide ? "encoding " : "unknown encoding ";
    reason += quoted(encoding);
    if (wide) reason += " of the XML declaration does not match 8-bit text";
    return std::unexpected(reason + " at line 1, column 1");
  }
  for (std::size_t i = 0; i < text_.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text_[i]);
    if ((byte >= 0x80 && !latin1) || (byte < 0x80 && !is_xml_char(byte))) return invalid_at(i);
    if (byte >= 0x80) converted_ = true;
  }
  if (converted_) {
    storage_.reserve(text_.size() + text_.size() / 8);
    for (char c : text_) append_utf8(storage_, static_cast<unsigned char>(c));
  }
  return std::move(*this);
}

}  // namespace kivo::stress::independent::detail
