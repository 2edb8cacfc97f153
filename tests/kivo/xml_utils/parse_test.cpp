#include <gtest/gtest.h>

#include <string>

#include "kivo/xml_utils.hpp"

namespace {

using kivo::CData;
using kivo::Comment;
using kivo::Element;
using kivo::ParseError;
using kivo::ProcessingInstruction;
using kivo::Text;
using kivo::xml_utils::child;
using kivo::xml_utils::parse;

Element parsed(std::string_view text) {
  auto root = parse(text);
  EXPECT_TRUE(root) << text << " -> " << (root ? "" : root.error().message());
  return root ? *root : Element{};
}

TEST(Parse, BuildsEveryNodeKindInDocumentOrder) {
  Element root = parsed(
      "<?xml version=\"1.0\"?>\n<!-- outside --><r>\n  <!--c-->\n  <?pi data here?>\n"
      "  <?bare?><![CDATA[a<b]]>t &amp; &#x41;<![CDATA[]]>\n</r><!-- after -->");
  ASSERT_EQ(root.children.size(), 6u);
  EXPECT_EQ(std::get<Comment>(root.children[0].value).text, "c");
  EXPECT_EQ(std::get<ProcessingInstruction>(root.children[1].value),
            (ProcessingInstruction{"pi", "data here"}));
  EXPECT_EQ(std::get<ProcessingInstruction>(root.children[2].value),
            (ProcessingInstruction{"bare", std::nullopt}));
  EXPECT_EQ(std::get<CData>(root.children[3].value).text, "a<b");
  EXPECT_EQ(std::get<Text>(root.children[4].value).text, "t & A");
  EXPECT_EQ(std::get<CData>(root.children[5].value).text, "");
}

TEST(Parse, DropsWhitespaceOnlyTextAndKeepsOtherTextUntrimmed) {
  Element root = parsed("<r>\n  <a> x </a>\n  <b>  </b><c></c>\n</r>");
  ASSERT_EQ(root.children.size(), 3u);
  EXPECT_EQ(std::get<Text>(child(root, "a")->children.at(0).value).text, " x ");
  EXPECT_TRUE(child(root, "b")->children.empty());
  EXPECT_TRUE(child(root, "c")->children.empty());
}

TEST(Parse, MergesTextAcrossReferencesAndLines) {
  Element root = parsed("<r>a&lt;\nb&#xD;c&gt;</r>");
  ASSERT_EQ(root.children.size(), 1u);
  EXPECT_EQ(std::get<Text>(root.children[0].value).text, "a<\nb\rc>");
}

TEST(Parse, KeepsAttributesInDocumentOrderWithReferencesResolved) {
  Element root = parsed("<r z=\"1\" a=\"&quot;&apos;&#x9;&#xA;&#xD;\" m=\"x\ty\"/>");
  ASSERT_EQ(root.attributes.size(), 3u);
  EXPECT_EQ(root.attributes.entries()[0].first, "z");
  EXPECT_EQ(root.attributes.entries()[1], (std::pair<std::string, std::string>{"a", "\"'\t\n\r"}));
  EXPECT_EQ(*root.attr("m"), "x y");  // a literal tab is normalised by the reader
}

TEST(Parse, RecordsPrefixNamespaceAndBindingsInForce) {
  Element root = parsed(
      "<p:r xmlns:p=\"urn:p\" xmlns=\"urn:d\"><c><q:d xmlns:q=\"urn:q\" q:x=\"1\"/></c>"
      "<e xmlns=\"\"/></p:r>");
  EXPECT_EQ(root.name, "r");
  EXPECT_EQ(root.prefix, "p");
  EXPECT_EQ(root.namespace_uri, "urn:p");
  EXPECT_EQ(root.namespaces, (kivo::Namespaces{{"", "urn:d"}, {"p", "urn:p"}}));

  const Element* c = child(root, "c");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->prefix, std::nullopt);
  EXPECT_EQ(c->namespace_uri, "urn:d");
  const Element* d = child(*c, "d");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->namespaces, (kivo::Namespaces{{"", "urn:d"}, {"p", "urn:p"}, {"q", "urn:q"}}));
  EXPECT_EQ(*d->attr("x"), "1");

  const Element* e = child(root, "e");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->namespace_uri, std::nullopt);
  EXPECT_EQ(e->namespaces, (kivo::Namespaces{{"p", "urn:p"}}));
}

TEST(Parse, LeavesNamespacesAbsentWithoutBindings) {
  Element root = parsed("<r><c/></r>");
  EXPECT_EQ(root.namespaces, std::nullopt);
  EXPECT_EQ(root.namespace_uri, std::nullopt);
  EXPECT_EQ(root.prefix, std::nullopt);
  EXPECT_EQ(child(root, "c")->namespaces, std::nullopt);
}

TEST(Parse, FirstAttributeWinsOnLocalNameClash) {
  Element first = parsed("<r xmlns:p=\"urn:p\" x=\"plain\" p:x=\"prefixed\"/>");
  ASSERT_EQ(first.attributes.size(), 1u);
  EXPECT_EQ(*first.attr("x"), "plain");

  Element second = parsed("<r xmlns:p=\"urn:p\" p:x=\"prefixed\" x=\"plain\"/>");
  ASSERT_EQ(second.attributes.size(), 1u);
  EXPECT_EQ(*second.attr("x"), "prefixed");
}

TEST(Parse, FirstAttributeWinsOnClashAmongManyAttributes) {
  std::string text = "<r xmlns:p=\"urn:p\"";
  for (int i = 0; i < 40; ++i) text += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
  text += " p:a7=\"late\"/>";
  Element root = parsed(text);
  EXPECT_EQ(root.attributes.size(), 40u);
  EXPECT_EQ(*root.attr("a7"), "7");
}

TEST(Parse, HonoursTheDeclaredEncoding) {
  Element root = parsed("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r v=\"\xE9\">\xFC</r>");
  EXPECT_EQ(*root.attr("v"), "\xC3\xA9");
  EXPECT_EQ(std::get<Text>(root.children.at(0).value).text, "\xC3\xBC");
}

TEST(Parse, RefusesMalformedInputWithThePositionInTheDescription) {
  struct Case {
    const char* text;
    const char* description;
  };
  for (const Case& c : {
           Case{"", "no element found at line 1, column 1"},
           Case{"<?xml version=\"1.0\"?>", "no element found at line 1, column 22"},
           Case{"<a/>x", "junk after document element at line 1, column 5"},
           Case{"<a/><b/>", "junk after document element at line 1, column 5"},
           Case{"<a>\n<b></a>", "mismatched tag at line 2, column 6"},
           Case{"x<a/>", "not well-formed (invalid token) at line 1, column 2"},
           Case{"<p:a/>", "unbound prefix at line 1, column 1"},
           Case{"<a x=\"1\" x=\"2\"/>", "duplicate attribute at line 1, column 10"},
       }) {
    auto result = parse(c.text);
    ASSERT_FALSE(result) << c.text;
    EXPECT_EQ(result.error().kind, ParseError::Kind::Malformed) << c.text;
    EXPECT_EQ(result.error().description, c.description) << c.text;
    EXPECT_EQ(result.error().message(), std::string("Malformed XML. ") + c.description);
  }
}

TEST(Child, FindsTheFirstElementByLocalNameOnly) {
  Element root =
      parsed("<r xmlns:p=\"urn:p\">Screen<!--Screen--><p:Screen n=\"1\"/><Screen n=\"2\"/></r>");
  const Element* found = child(root, "Screen");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(*found->attr("n"), "1");
  EXPECT_EQ(child(root, "screen"), nullptr);
  EXPECT_EQ(child(root, "p:Screen"), nullptr);

  Element only_other_nodes =
      parsed("<r>Screen<!--Screen--><?Screen Screen?><![CDATA[Screen]]></r>");
  EXPECT_EQ(child(only_other_nodes, "Screen"), nullptr);

  Element* editable = child(root, "Screen");
  editable->set_attr("n", "changed");
  EXPECT_EQ(*child(std::as_const(root), "Screen")->attr("n"), "changed");
}

}  // namespace
