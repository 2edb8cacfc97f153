// Escaping for the report page: preset text may hold anything, the page must stay one page.
#include "kivo/stress/report.hpp"

namespace kivo::stress::report {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at the start of `text`, or 0.
std::size_t sequence_length(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
    length = 3;
  else if (lead >= 0xF0 && lead <= 0xF4)
    length = 4;
  else
    return 0;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

void append_ascii(std::string& out, char c) {
  switch (c) {
    case '&':
      out += "&amp;";
      return;
    case '<':
      out += "&lt;";
      return;
    case '>':
      out += "&gt;";
      return;
    case '"':
      out += "&quot;";
      return;
    case '\'':
      out += "&#39;";
      return;
    case '\n':
    case '\t':
      out += c;
      return;
    default:
      break;
  }
  const auto code = static_cast<unsigned char>(c);
  if (code < 0x20 || code == 0x7F)
    out += kReplacement;
  else
    out += c;
}

}  // namespace

std::string escape_html(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      append_ascii(out, text[i++]);
      continue;
    }
    const std::size_t length = sequence_length(text.substr(i));
    if (length == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    out += text.substr(i, length);
    i += length;
  }
  return out;
}

}  // namespace kivo::stress::report
