// Character rules of the text form that the writer and the reader of it share.
#include "kivo/stress/oracle/detail.hpp"

namespace kivo::stress::oracle::detail {

bool xml_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string unified_line_ends(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      out += '\n';
    }
  }
  return out;
}

std::string padded_comment(std::string_view text) {
  std::string out = text.empty() || !xml_space(text.front()) ? " " : "";
  out += unified_line_ends(text);
  if (text.empty() || !xml_space(text.back())) out += ' ';
  return out;
}

}  // namespace kivo::stress::oracle::detail
