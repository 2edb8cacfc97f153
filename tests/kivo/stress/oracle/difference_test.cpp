// The strict oracle's own wording of a difference: what a failing case tells its reader.
#include <gtest/gtest.h>

#include "kivo/stress/oracle.hpp"
#include "support/presets.hpp"

namespace kivo::stress::oracle {
namespace {

using namespace kivo::test;

Element holding(std::vector<XMLNode> children, const Attrs& attrs = {}) {
  Element element = el("r", attrs);
  element.children = std::move(children);
  return element;
}

XMLNode node(Element element) { return XMLNode{std::move(element)}; }

TEST(FirstDifference, NamesThePlaceAndBothSides) {
  Element prefixed = el("r");
  prefixed.prefix = "p";
  const ProcessingInstruction pi{"p", "d"}, bare_pi{"p", std::nullopt};
  const struct {
    Element expected, actual;
    std::string message;  // empty: no difference
  } cases[] = {
      {el("a"), el("b"), "/r: expected element <a>, observed <b>"},
      {el("r", {{"x", "1"}}), el("r"), "/r: attribute 'x' missing, expected '1'"},
      {el("r", {{"x", "1"}}), el("r", {{"x", "2"}}),
       "/r: attribute 'x' expected '1', observed '2'"},
      {el("r"), el("r", {{"y", "\t"}}), "/r: unexpected attribute 'y'='\\t'"},
      {holding({node(el("b"))}), holding({node(el("c"))}),
       "/r/#0: expected element <b>, observed <c>"},
      {holding({XMLNode{Comment{"c"}}}), holding({XMLNode{Text{"t"}}}),
       "/r/#0: expected comment 'c', observed text 't'"},
      {holding({XMLNode{pi}}), holding({XMLNode{bare_pi}}),
       "/r/#0: expected processing instruction 'p' 'd', observed processing instruction 'p' "
       "without "
       "data"},
      {holding({XMLNode{CData{"x"}}}), holding({node(el("e"))}),
       "/r/#0: expected CDATA 'x', observed element <e>"},
      {holding({node(el("b"))}), el("r"), "/r: expected 1 child nodes, observed 0"},
      {prefixed, el("r"), "/r: namespace of the element differs"},
      {holding({XMLNode{Text{"t"}}, node(el("b"))}), holding({XMLNode{Text{"t"}}, node(el("b"))}),
       ""},
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
      {holding({node(el("a"))}), holding({node(el("b"))}), "/r/#0: element <a> reads back as <b>"},
      {el("r", {{"x", "1"}}), el("r", {{"x", "2"}}),
       "/r: attribute 'x' is '1' in memory but reads back as '2'"},
      {el("r", {{"x", "1"}}), el("r"), "/r: attribute 'x' is '1' in memory but reads back missing"},
      {el("r"), el("r", {{"y", "1"}}), "/r: reads back with 1 attributes instead of 0"},
      {holding({XMLNode{Comment{"c"}}}), el("r"),
       "/r/#0: missing when read back; expected comment ' c '"},
      {holding({node(el("a"))}), el("r"), "/r/#0: missing when read back; expected element <a>"},
      {el("r"), holding({XMLNode{ProcessingInstruction{"p", "d"}}}),
       "/r/#0: reads back an extra processing instruction 'p' 'd'"},
      {el("r"), holding({XMLNode{ProcessingInstruction{"p", std::nullopt}}}),
       "/r/#0: reads back an extra processing instruction 'p'"},
      {holding({node(el("a"))}), holding({XMLNode{Text{"t"}}}),
       "/r/#0: element <a> reads back as text 't'"},
      {holding({XMLNode{Text{"t"}}}), holding({XMLNode{Text{"u"}}}),
       "/r/#0: expected text 't' to read back, observed text 'u'"},
      {holding({XMLNode{Comment{"c"}}}), holding({XMLNode{Comment{"x"}}}),
       "/r/#0: expected comment ' c ' to read back, observed comment 'x'"},
      {holding({XMLNode{CData{"x"}}}), holding({XMLNode{Text{"x"}}}),
       "/r/#0: expected CDATA 'x' to read back, observed text 'x'"},
      // Blank text is dropped, a section holding a carriage return reads as text, a section
      // holding its end marker is split, and processing instruction data loses leading blanks.
      {holding({XMLNode{Text{" \n "}}}), el("r"), ""},
      {holding({XMLNode{CData{"a\rb"}}}), holding({XMLNode{Text{"a\rb"}}}), ""},
      {holding({XMLNode{CData{"a]]>b"}}}), holding({XMLNode{CData{"a]]"}}, XMLNode{CData{">b"}}}),
       ""},
      {holding(
           {XMLNode{ProcessingInstruction{"p", "  d"}}, XMLNode{ProcessingInstruction{"q", " "}}}),
       holding({XMLNode{ProcessingInstruction{"p", "d"}},
                XMLNode{ProcessingInstruction{"q", std::nullopt}}}),
       ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(reread_difference(c.memory, c.reread).value_or(""), c.message);
}

TEST(FixedForm, NamesWhatHasNoFaithfulTextFormAndWhereWrittenTextDiffers) {
  Element xmlns = el("r", {{"xmlns", "u"}}), control = el("r", {{"a", "\x01"}});
  const std::pair<Element, std::string> cases[] = {
      {el("a b"), "element name 'a b'"},
      {xmlns, "attribute name 'xmlns'"},
      {control, "attribute value '\\x01'"},
      {holding({XMLNode{Text{"bell\x07"}}}), "text 'bell\\x07'"},
      {holding({XMLNode{CData{"\x01"}}}), "CDATA '\\x01'"},
      {holding({XMLNode{Comment{"a--b"}}}), "comment 'a--b'"},
      {holding({XMLNode{ProcessingInstruction{"xml", "x"}}}), "processing instruction 'xml'"},
  };
  for (const auto& [tree, reason] : cases) {
    EXPECT_EQ(fixed_form(tree).error(), reason);
    EXPECT_EQ(text_form_difference(tree, "<r/>"),
              "the writer wrote a tree that has no faithful text form: " + reason);
  }
  EXPECT_EQ(text_form_difference(el("r"), written(el("r"))), std::nullopt);
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  EXPECT_EQ(text_form_difference(el("r"), declaration + "<s/>"),
            "written text differs from the fixed form at line 2, column 2: expected "
            "'encoding=\"UTF-8\"?>\\n<r/>', written 'encoding=\"UTF-8\"?>\\n<s/>'");
}

}  // namespace
}  // namespace kivo::stress::oracle
