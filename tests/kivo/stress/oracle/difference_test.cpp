// The strict oracle's own wording of a difference: what a failing case tells its reader.
#include <gtest/gtest.h>

#include "kivo/stress/oracle.hpp"
#include "support/presets.hpp"

namespace kivo::stress::oracle {
namespace {

using namespace kivo::test;

template <class... Nodes>
Element holding(Nodes... children) {
  Element element = el("r");
  (element.children.push_back(std::move(children)), ...);
  return element;
}

XMLNode node(Element element) { return XMLNode{std::move(element)}; }
XMLNode text(std::string value) { return XMLNode{Text{std::move(value)}}; }
XMLNode comment(std::string value) { return XMLNode{Comment{std::move(value)}}; }
XMLNode cdata(std::string value) { return XMLNode{CData{std::move(value)}}; }
XMLNode pi(std::string target, std::optional<std::string> data) {
  return XMLNode{ProcessingInstruction{std::move(target), std::move(data)}};
}

TEST(FirstDifference, NamesThePlaceAndBothSides) {
  Element prefixed = el("r");
  prefixed.prefix = "p";
  const struct {
    Element expected, actual;
    std::string message;  // empty: no difference
  } cases[] = {
      {el("a"), el("b"), "/r: expected element <a>, observed <b>"},
      {el("r", {{"x", "1"}}), el("r"), "/r: attribute 'x' missing, expected '1'"},
      {el("r", {{"x", "1"}}), el("r", {{"x", "2"}}),
       "/r: attribute 'x' expected '1', observed '2'"},
      {el("r"), el("r", {{"y", "\t"}}), "/r: unexpected attribute 'y'='\\t'"},
      {holding(node(el("b"))), holding(node(el("c"))), "/r/#0: expected element <b>, observed <c>"},
      {holding(comment("c")), holding(text("t")), "/r/#0: expected comment 'c', observed text 't'"},
      {holding(pi("p", "d")), holding(pi("p", std::nullopt)),
       "/r/#0: expected processing instruction 'p' 'd', observed processing instruction 'p' "
       "without data"},
      {holding(cdata("x")), holding(node(el("e"))),
       "/r/#0: expected CDATA 'x', observed element <e>"},
      {holding(node(el("b"))), el("r"), "/r: expected 1 child nodes, observed 0"},
      {prefixed, el("r"), "/r: namespace of the element differs"},
      {holding(text("t"), node(el("b"))), holding(text("t"), node(el("b"))), ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(first_difference(c.expected, c.actual, "/r").value_or(""), c.message);
  }
}

TEST(Shown, QuotesOneLineWithEscapesAndCutsWholeCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\nb\r\t\x01", "'a\\nb\\r\\t\\x01'"},
      {std::string(130, 'x'), "'" + std::string(120, 'x') + "'..."},
      {std::string(119, 'x') + "\xc3\xa9", "'" + std::string(119, 'x') + "\xc3\xa9'"},
      {"\xc3\xa9 \xf0\x9f\x98\x80", "'\xc3\xa9 \xf0\x9f\x98\x80'"},
      {"\xc3", "'\\xc3'"},
      {"\xe2\x82", "'\\xe2\\x82'"},
      {"\x80z", "'\\x80z'"},
      {"\xc3z", "'\\xc3z'"},
  };
  for (const auto& [text, quoted] : cases) EXPECT_EQ(shown(text), quoted);
}

TEST(RereadDifference, ComparesWithWhatAReaderMustFind) {
  const struct {
    Element memory, reread;
    std::string message;  // empty: no difference
  } cases[] = {
      {holding(node(el("a"))), holding(node(el("b"))), "/r/#0: element <a> reads back as <b>"},
      {el("r", {{"x", "1"}}), el("r", {{"x", "2"}}),
       "/r: attribute 'x' is '1' in memory but reads back as '2'"},
      {el("r", {{"x", "1"}}), el("r"), "/r: attribute 'x' is '1' in memory but reads back missing"},
      {el("r"), el("r", {{"y", "1"}}), "/r: reads back with 1 attributes instead of 0"},
      {holding(comment("c")), el("r"), "/r/#0: missing when read back; expected comment ' c '"},
      {holding(node(el("a"))), el("r"), "/r/#0: missing when read back; expected element <a>"},
      {el("r"), holding(pi("p", "d")), "/r/#0: reads back an extra processing instruction 'p' 'd'"},
      {el("r"), holding(pi("p", std::nullopt)),
       "/r/#0: reads back an extra processing instruction 'p'"},
      {holding(node(el("a"))), holding(text("t")), "/r/#0: element <a> reads back as text 't'"},
      {holding(text("t")), holding(text("u")),
       "/r/#0: expected text 't' to read back, observed text 'u'"},
      {holding(comment("c")), holding(comment("x")),
       "/r/#0: expected comment ' c ' to read back, observed comment 'x'"},
      {holding(cdata("x")), holding(text("x")),
       "/r/#0: expected CDATA 'x' to read back, observed text 'x'"},
      // Blank text is dropped, a section holding a carriage return reads as text, a section
      // holding its end marker is split, and processing instruction data loses leading blanks.
      {holding(text(" \n ")), el("r"), ""},
      {holding(cdata("a\rb")), holding(text("a\rb")), ""},
      {holding(cdata("a]]>b")), holding(cdata("a]]"), cdata(">b")), ""},
      {holding(pi("p", "  d"), pi("q", " ")), holding(pi("p", "d"), pi("q", std::nullopt)), ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(reread_difference(c.memory, c.reread).value_or(""), c.message);
}

TEST(FixedForm, NamesWhatHasNoFaithfulTextFormAndWhereWrittenTextDiffers) {
  const std::pair<Element, std::string> cases[] = {
      {el("a b"), "element name 'a b'"},
      {el("r", {{"xmlns", "u"}}), "attribute name 'xmlns'"},
      {el("r", {{"a", "\x01"}}), "attribute value '\\x01'"},
      {holding(text("bell\x07")), "text 'bell\\x07'"},
      {holding(cdata("\x01")), "CDATA '\\x01'"},
      {holding(comment("a--b")), "comment 'a--b'"},
      {holding(pi("xml", "x")), "processing instruction 'xml'"},
  };
  for (const auto& [tree, reason] : cases) {
    EXPECT_EQ(fixed_form(tree).error(), reason);
    EXPECT_EQ(text_form_difference(tree, "<r/>"),
              "the writer wrote a tree that has no faithful text form: " + reason);
  }
  EXPECT_EQ(text_form_difference(el("r"), written(el("r"))), std::nullopt);
  // Whitespace-only character data between markup is written as nothing by both.
  Element blank = holding(text(" \n"));
  blank.children.push_back(cdata("\t\r"));
  blank.children.push_back(XMLNode{el("e")});
  EXPECT_EQ(text_form_difference(blank, written(blank)), std::nullopt);
  EXPECT_EQ(fixed_form(blank).value(), written(el("r", {}, {el("e")})));
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  EXPECT_EQ(text_form_difference(el("r"), declaration + "<s/>"),
            "written text differs from the fixed form at line 2, column 2: expected "
            "'encoding=\"UTF-8\"?>\\n<r/>', written 'encoding=\"UTF-8\"?>\\n<s/>'");
}

}  // namespace
}  // namespace kivo::stress::oracle
