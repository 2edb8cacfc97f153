// The fixed text form, written independently of the library's writer so that the two can be
// held against each other.
#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "kivo/stress/oracle/detail.hpp"
#include "kivo/stress/oracle/written_names.hpp"

namespace kivo::stress::oracle {
namespace {

struct Unwritable {
  std::string reason;
};

// Decodes the UTF-8 character at `i`; 0 when the bytes are not UTF-8.
std::size_t decode(std::string_view text, std::size_t i, std::uint32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || i + length > text.size()) return 0;
  cp = length == 1 ? lead : lead & (0xFF >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

bool xml_char(std::uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

bool name_start(std::uint32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
         (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
         (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
         (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) ||
         (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool name_char(std::uint32_t c) {
  return name_start(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

template <class Accept>
bool all_chars(std::string_view text, Accept accept) {
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t cp = 0;
    const std::size_t length = decode(text, i, cp);
    if (length == 0 || !accept(cp, i == 0)) return false;
    i += length;
  }
  return true;
}

bool valid_text(std::string_view text) {
  return all_chars(text, [](std::uint32_t cp, bool) { return xml_char(cp); });
}

bool valid_name(std::string_view name) {
  return !name.empty() && all_chars(name, [](std::uint32_t cp, bool first) {
    return first ? name_start(cp) : name_char(cp);
  });
}

// The text a node adds to the character data around it (a CDATA holding a CR is written as
// characters), or nothing for markup.
const std::string* characters_of(const XMLNode& node) {
  if (const auto* text = std::get_if<Text>(&node.value)) return &text->text;
  const auto* cdata = std::get_if<CData>(&node.value);
  return cdata && cdata->text.find('\r') != std::string::npos ? &cdata->text : nullptr;
}

struct CharacterRun {
  std::size_t end;
  bool blank;
};

// The run of character data starting at `from`: where it ends, and whether it is only
// whitespace, which a reader does not keep between two pieces of markup.
CharacterRun character_run(const std::vector<XMLNode>& nodes, std::size_t from) {
  CharacterRun run{from, true};
  for (const std::string* text; run.end < nodes.size() && (text = characters_of(nodes[run.end]));
       ++run.end) {
    run.blank = run.blank && std::ranges::all_of(*text, detail::xml_space);
  }
  return run;
}

class Writer {
 public:
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

  void element(const Element& element, std::size_t depth) {
    if (!valid_name(element.name)) throw Unwritable{"element name " + shown(element.name)};
    const std::size_t scope_mark = scope_.mark();
    const detail::WrittenName written = scope_.enter(element);
    const std::string qualified =
        written.prefix.empty() ? element.name.str() : written.prefix + ':' + element.name;
    out += '<' + qualified;
    for (const auto& [prefix, uri] : written.declarations) {
      out += prefix.empty() ? " xmlns=\"" : " xmlns:" + prefix + "=\"";
      escaped(uri, true);
      out += '"';
    }
    for (const auto& [name, value] : element.attributes) {
      if (!valid_name(name) || name == "xmlns") throw Unwritable{"attribute name " + shown(name)};
      if (!valid_text(value)) throw Unwritable{"attribute value " + shown(value)};
      out += ' ' + name + "=\"";
      escaped(value, true);
      out += '"';
    }
    const std::vector<XMLNode>& nodes = element.children;
    const CharacterRun leading = character_run(nodes, 0);
    if (leading.end == nodes.size() && leading.blank) {
      out += "/>";
      scope_.restore(scope_mark);
      return;
    }
    out += '>';
    bool after_text = false;
    for (std::size_t i = 0; i < nodes.size();) {
      // A blank run writes nothing: no line of its own, and the next markup still gets one.
      if (characters_of(nodes[i])) {
        const CharacterRun run = character_run(nodes, i);
        if (!run.blank) {
          for (; i < run.end; ++i) node(nodes[i], depth + 1);
          after_text = true;
        }
        i = run.end;
        continue;
      }
      const bool cdata = std::holds_alternative<CData>(nodes[i].value);
      if (!cdata && !after_text) indent(depth + 1);
      node(nodes[i++], depth + 1);
      after_text = cdata;
    }
    if (!after_text) indent(depth);
    out += "</" + qualified + '>';
    scope_.restore(scope_mark);
  }

 private:
  void indent(std::size_t depth) {
    out += '\n';
    out.append(2 * depth, ' ');
  }

  void escaped(std::string_view text, bool in_attribute) {
    for (char c : text) {
      switch (c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '\r':
          out += "&#xD;";
          break;
        case '"':
          out += in_attribute ? "&quot;" : "\"";
          break;
        case '\'':
          out += in_attribute ? "&apos;" : "'";
          break;
        case '\n':
          out += in_attribute ? "&#xA;" : "\n";
          break;
        case '\t':
          out += in_attribute ? "&#x9;" : "\t";
          break;
        default:
          out += c;
      }
    }
  }

  void text(std::string_view text) {
    if (!valid_text(text)) throw Unwritable{"text " + shown(text)};
    escaped(text, false);
  }

  void cdata(std::string_view text) {
    if (text.find('\r') != std::string_view::npos) return this->text(text);
    if (!valid_text(text)) throw Unwritable{"CDATA " + shown(text)};
    out += "<![CDATA[";
    for (std::size_t end; (end = text.find("]]>")) != std::string_view::npos;) {
      out += text.substr(0, end);
      out += "]]]]><![CDATA[>";
      text.remove_prefix(end + 3);
    }
    out += text;
    out += "]]>";
  }

  void comment(std::string_view text) {
    if (!valid_text(text) || text.find("--") != std::string_view::npos) {
      throw Unwritable{"comment " + shown(text)};
    }
    out += "<!--" + detail::padded_comment(text) + "-->";
  }

  void instruction(const ProcessingInstruction& pi) {
    const std::string_view data = pi.data ? std::string_view(*pi.data) : std::string_view();
    const bool reserved = pi.target.size() == 3 && (pi.target[0] | 0x20) == 'x' &&
                          (pi.target[1] | 0x20) == 'm' && (pi.target[2] | 0x20) == 'l';
    if (!valid_name(pi.target) || reserved || !valid_text(data) ||
        data.find("?>") != std::string_view::npos) {
      throw Unwritable{"processing instruction " + shown(pi.target)};
    }
    out += "<?" + pi.target;
    if (!data.empty()) {
      out += ' ' + detail::unified_line_ends(data);
    }
    out += "?>";
  }

  void node(const XMLNode& node, std::size_t depth) {
    std::visit(
        [&](const auto& payload) {
          using T = std::decay_t<decltype(payload)>;
          if constexpr (std::is_same_v<T, Element>) {
            element(payload, depth);
          } else if constexpr (std::is_same_v<T, Text>) {
            text(payload.text);
          } else if constexpr (std::is_same_v<T, CData>) {
            cdata(payload.text);
          } else if constexpr (std::is_same_v<T, Comment>) {
            comment(payload.text);
          } else {
            instruction(payload);
          }
        },
        node.value);
  }

  detail::WrittenScope scope_;
};

// Line and column (from 1) of byte `offset`.
std::string position(std::string_view text, std::size_t offset) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

std::expected<std::string, std::string> fixed_form(const Element& root) {
  try {
    Writer writer;
    writer.element(root, 0);
    return std::move(writer.out);
  } catch (const Unwritable& unwritable) {
    return std::unexpected(unwritable.reason);
  }
}

namespace detail {
bool fixed_form_name(std::string_view name) { return valid_name(name); }
}  // namespace detail

std::optional<std::string> text_form_difference(const Element& root, std::string_view written) {
  auto expected = fixed_form(root);
  if (!expected) {
    return "the writer wrote a tree that has no faithful text form: " + expected.error();
  }
  if (*expected == written) return std::nullopt;
  std::size_t at = 0;
  while (at < expected->size() && at < written.size() && (*expected)[at] == written[at]) ++at;
  // Start the excerpts a little before the difference, on a character boundary.
  std::size_t from = at > 20 ? at - 20 : 0;
  while (from > 0 && (static_cast<unsigned char>((*expected)[from]) & 0xC0) == 0x80) --from;
  auto excerpt = [&](std::string_view text) {
    return from < text.size() ? shown(text.substr(from, 60)) : std::string("the end");
  };
  return "written text differs from the fixed form at " + position(written, at) + ": expected " +
         excerpt(*expected) + ", written " + excerpt(written);
}

}  // namespace kivo::stress::oracle
