// Escaping for the report page: preset text may hold anything, the page must stay one page.
#include "kivo/stress/report.hpp"
#include "kivo/stress/text_utf8.hpp"

namespace kivo::stress::report {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

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

std::string escape_html(std::string_view raw) {
  // Bytes that are not UTF-8 become U+FFFD first; what is left above ASCII is well-formed.
  const std::string text = utf8_lossy(raw);
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x80) {
      append_ascii(out, c);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kivo::stress::report
