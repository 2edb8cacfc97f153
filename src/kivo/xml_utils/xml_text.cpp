#include "kivo/xml_utils/xml_text.hpp"

#include <array>
#include <cstdint>

namespace kivo::xml_utils::detail {
namespace {

bool is_allowed_code_point(std::uint32_t cp) {
  if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
  if (cp <= 0xD7FF) return true;
  if (cp < 0xE000) return false;
  if (cp <= 0xFFFD) return true;
  return cp >= 0x10000 && cp <= 0x10FFFF;
}

// Decodes one multi-byte UTF-8 sequence at `i`; returns its length, or 0 when invalid.
std::size_t decode_multibyte(std::string_view text, std::size_t i, std::uint32_t& cp) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || i + length > text.size()) return 0;
  cp = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMinimum[length]) return 0;
  return length;
}

constexpr std::string_view text_escape(char c) {
  switch (c) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '\r':
      return "&#xD;";
    default:
      return {};
  }
}

constexpr std::string_view attribute_escape(char c) {
  switch (c) {
    case '"':
      return "&quot;";
    case '\'':
      return "&apos;";
    case '\n':
      return "&#xA;";
    case '\t':
      return "&#x9;";
    default:
      return text_escape(c);
  }
}

// Which bytes `escape` replaces, so that the runs between them are copied whole.
template <std::string_view (*Escape)(char)>
constexpr std::array<bool, 256> kEscaped = [] {
  std::array<bool, 256> escaped{};
  for (int byte = 0; byte < 256; ++byte) {
    escaped[static_cast<std::size_t>(byte)] = !Escape(static_cast<char>(byte)).empty();
  }
  return escaped;
}();

// Appends `text`, replacing each byte for which `Escape` yields a non-empty replacement.
template <std::string_view (*Escape)(char)>
void append_escaped(std::string& out, std::string_view text) {
  const auto& escaped = kEscaped<Escape>;
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!escaped[static_cast<unsigned char>(text[i])]) continue;
    out.append(text.data() + run, i - run);
    out.append(Escape(text[i]));
    run = i + 1;
  }
  out.append(text.data() + run, text.size() - run);
}

}  // namespace

std::size_t decode_utf8(std::string_view text, std::size_t i, std::uint32_t& cp) {
  auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) {
    cp = lead;
    return 1;
  }
  return decode_multibyte(text, i, cp);
}

bool is_xml_text(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x80) {
      ++i;
      continue;
    }
    std::uint32_t cp = c;
    std::size_t length = c < 0x80 ? 1 : decode_multibyte(text, i, cp);
    if (length == 0 || !is_allowed_code_point(cp)) return false;
    i += length;
  }
  return true;
}

void append_escaped_text(std::string& out, std::string_view text) {
  append_escaped<text_escape>(out, text);
}

void append_escaped_attribute(std::string& out, std::string_view value) {
  append_escaped<attribute_escape>(out, value);
}

void append_normalized_line_ends(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out.push_back(text[i]);
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      out.push_back('\n');
    }
  }
}

}  // namespace kivo::xml_utils::detail
