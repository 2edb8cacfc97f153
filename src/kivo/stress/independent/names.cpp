// XML names and qualified names. Characters outside the Basic Multilingual Plane are never part
// of a name, as with the library's reader; within it the XML 1.0 (fifth edition) classes hold.
#include "kivo/stress/independent/reader.hpp"

namespace kivo::stress::independent::detail {
namespace {

bool in(char32_t code, char32_t low, char32_t high) { return code >= low && code <= high; }

bool is_name_start(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
  return in(c, 0xC0, 0xD6) || in(c, 0xD8, 0xF6) || in(c, 0xF8, 0x2FF) || in(c, 0x370, 0x37D) ||
         in(c, 0x37F, 0x1FFF) || in(c, 0x200C, 0x200D) || in(c, 0x2070, 0x218F) ||
         in(c, 0x2C00, 0x2FEF) || in(c, 0x3001, 0xD7FF) || in(c, 0xF900, 0xFDCF) ||
         in(c, 0xFDF0, 0xFFFD);
}

bool is_name_char(char32_t c) {
  if (is_name_start(c)) return true;
  if (c < 0x80) return (c >= '0' && c <= '9') || c == '-' || c == '.';
  return c == 0xB7 || in(c, 0x300, 0x36F) || in(c, 0x203F, 0x2040);
}

}  // namespace

bool is_name(std::string_view text) {
  if (text.empty()) return false;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {  // most names are plain ASCII
      if (!(at == 0 ? is_name_start(byte) : is_name_char(byte))) return false;
      ++at;
      continue;
    }
    const Decoded decoded = decode_utf8(text, at);
    if (decoded.length == 0) return false;
    if (!(at == 0 ? is_name_start(decoded.code) : is_name_char(decoded.code))) return false;
    at += decoded.length;
  }
  return true;
}

bool is_ncname(std::string_view text) {
  return text.find(':') == std::string_view::npos && is_name(text);
}

std::optional<QName> split_qname(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    if (!is_name(text)) return std::nullopt;
    return QName{{}, text};
  }
  QName name{text.substr(0, colon), text.substr(colon + 1)};
  if (!is_ncname(name.prefix) || !is_ncname(name.local)) return std::nullopt;
  return name;
}

std::string quoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '\'';
  out += text;
  out += '\'';
  return out;
}

}  // namespace kivo::stress::independent::detail
