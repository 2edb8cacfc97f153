// The failing step's subtree as indented XML lines, and one column of the side-by-side view.
#include <algorithm>

#include "kivo/stress/report.hpp"

namespace kivo::stress::report {
namespace {

std::string attribute_value(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

std::string start_tag(const Element& element) {
  std::string tag = "<" + element.name.str();
  for (const auto& [name, value] : element.attributes) {
    tag += " " + name.str() + "=\"" + attribute_value(value) + "\"";
  }
  return tag;
}

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

bool has_content(const Element& element) {
  return std::ranges::any_of(element.children, [](const XMLNode& child) {
    const auto* text = std::get_if<Text>(&child.value);
    return !text || !trimmed(text->text).empty();
  });
}

void lines_rec(const Element& element, std::size_t depth, std::vector<std::string>& out) {
  const std::string indent(depth * 2, ' ');
  if (!has_content(element)) {
    out.push_back(indent + start_tag(element) + "/>");
    return;
  }
  out.push_back(indent + start_tag(element) + ">");
  const std::string inner(depth * 2 + 2, ' ');
  for (const XMLNode& child : element.children) {
    if (const Element* nested = child.as_element()) {
      lines_rec(*nested, depth + 1, out);
    } else if (const auto* text = std::get_if<Text>(&child.value)) {
      if (auto shown = trimmed(text->text); !shown.empty()) out.push_back(inner + shown);
    } else if (const auto* comment = std::get_if<Comment>(&child.value)) {
      out.push_back(inner + "<!--" + comment->text + "-->");
    } else if (const auto* cdata = std::get_if<CData>(&child.value)) {
      out.push_back(inner + "<![CDATA[" + cdata->text + "]]>");
    } else if (const auto* pi = std::get_if<ProcessingInstruction>(&child.value)) {
      out.push_back(inner + "<?" + pi->target + (pi->data ? " " + *pi->data : "") + "?>");
    }
  }
  out.push_back(indent + "</" + element.name.str() + ">");
}

}  // namespace

std::vector<std::string> indented_lines(const Element& element) {
  std::vector<std::string> out;
  lines_rec(element, 0, out);
  return out;
}

std::optional<std::size_t> first_differing_line(const std::vector<std::string>& a,
                                                const std::vector<std::string>& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) return i;
  }
  if (a.size() != b.size()) return common;
  return std::nullopt;
}

std::string xml_column_html(const std::vector<std::string>& lines,
                            std::optional<std::size_t> highlight, std::size_t focus,
                            std::size_t window) {
  // The window is centred on the focus so the first difference is in view in every column.
  const std::size_t half = window / 2;
  const std::size_t first = focus > half ? std::min(focus - half, lines.size()) : 0;
  const std::size_t last = std::min(lines.size(), first + window);
  std::string html = "<pre class=\"xml\">";
  if (first > 0) {
    html += "<span class=\"skip\">… " + std::to_string(first) + " lines above</span>\n";
  }
  for (std::size_t i = first; i < last; ++i) {
    const bool marked = highlight && *highlight == i;
    html += marked ? "<span class=\"diff\">" : "<span>";
    html += "<span class=\"ln\">" + std::to_string(i + 1) + "</span>" + escape_html(lines[i]) +
            "</span>\n";
  }
  if (highlight && *highlight >= lines.size()) {
    html += "<span class=\"diff\">(ends here)</span>\n";
  }
  if (last < lines.size()) {
    html +=
        "<span class=\"skip\">… " + std::to_string(lines.size() - last) + " lines below</span>\n";
  }
  return html + "</pre>";
}

}  // namespace kivo::stress::report
