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

// Length of the character at `i` when it is UTF-8 that XML 1.0 allows, or 0.
std::size_t allowed_length(std::string_view text, std::size_t i) {
  std::uint32_t cp = 0;
  const std::size_t length = decode_utf8(text, i, cp);
  return length != 0 && is_allowed_code_point(cp) ? length : 0;
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

enum class ByteKind : std::uint8_t { Plain, Escaped, Checked };

// What each byte asks of `Escape`'s pass: a replacement, a look at the character it starts
// (control characters and every byte past ASCII), or nothing, so that plain runs are copied whole.
template <std::string_view (*Escape)(char)>
constexpr std::array<ByteKind, 256> kByteKinds = [] {
  std::array<ByteKind, 256> kinds{};
  for (int byte = 0; byte < 256; ++byte) {
    ByteKind& kind = kinds[static_cast<std::size_t>(byte)];
    if (!Escape(static_cast<char>(byte)).empty()) {
      kind = ByteKind::Escaped;
    } else if (byte >= 0x80 || (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')) {
      kind = ByteKind::Checked;
    }
  }
  return kinds;
}();

// Appends `text`, replacing each byte for which `Escape` yields a non-empty replacement, and
// checks the characters on the way; false when one cannot be represented.
template <std::string_view (*Escape)(char)>
bool append_escaped(std::string& out, std::string_view text) {
  const auto& kinds = kByteKinds<Escape>;
  bool representable = true;
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    switch (kinds[byte]) {
      case ByteKind::Plain:
        ++i;
        break;
      case ByteKind::Escaped:
        out.append(text.data() + run, i - run);
        out.append(Escape(text[i]));
        run = ++i;
        break;
      case ByteKind::Checked: {
        const std::size_t length = allowed_length(text, i);
        representable = representable && length != 0;
        i += length == 0 ? 1 : length;
        break;
      }
    }
  }
  out.append(text.data() + run, text.size() - run);
  return representable;
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
    const std::size_t length = allowed_length(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool append_escaped_text(std::string& out, std::string_view text) {
  return append_escaped<text_escape>(out, text);
}

bool append_escaped_attribute(std::string& out, std::string_view value) {
  return append_escaped<attribute_escape>(out, value);
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
