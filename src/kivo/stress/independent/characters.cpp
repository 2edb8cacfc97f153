// Characters as XML 1.0 has them: UTF-8 sequences, allowed code points, line ends, positions.
#include <array>
#include <cstring>

#include "kivo/stress/independent/reader.hpp"

namespace kivo::stress::independent::detail {
namespace {

// Bytes below 0x80 that may stand in a document as they are.
constexpr std::array<bool, 128> kAsciiAllowed = [] {
  std::array<bool, 128> allowed{};
  for (int c = 0x20; c < 0x80; ++c) allowed[c] = true;
  allowed['\t'] = allowed['\n'] = allowed['\r'] = true;
  return allowed;
}();

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool is_blank(std::string_view text) {
  for (char c : text) {
    if (!is_space(c)) return false;
  }
  return true;
}

bool is_xml_char(char32_t code) {
  if (code < 0x80) return kAsciiAllowed[code];
  return (code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
         (code >= 0x10000 && code <= 0x10FFFF);
}

Decoded decode_utf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return {};
  char32_t code = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(text[at + k]);
    if (!is_continuation(byte)) return {};
    code = (code << 6) | (byte & 0x3F);
  }
  static constexpr char32_t kLowest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kLowest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
  return {code, length};
}

void append_utf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::optional<std::size_t> first_invalid_character(std::string_view utf8) {
  std::size_t at = 0;
  while (at < utf8.size()) {
    const auto byte = static_cast<unsigned char>(utf8[at]);
    if (byte < 0x80) {
      if (!kAsciiAllowed[byte]) return at;
      ++at;
      continue;
    }
    const Decoded decoded = decode_utf8(utf8, at);
    if (decoded.length == 0 || !is_xml_char(decoded.code)) return at;
    at += decoded.length;
  }
  return std::nullopt;
}

std::string_view unified_line_ends(std::string_view text, std::string& storage) {
  if (std::memchr(text.data(), '\r', text.size()) == nullptr) return text;
  storage.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      storage += text[i];
      continue;
    }
    storage += '\n';
    if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  return storage;
}

std::string position_in(std::string_view text, std::size_t offset) {
  std::size_t line = 1;
  std::size_t column = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++line;
      column = 1;
    } else if (c != '\r' && !is_continuation(static_cast<unsigned char>(c))) {
      ++column;
    }
  }
  return " at line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace kivo::stress::independent::detail
