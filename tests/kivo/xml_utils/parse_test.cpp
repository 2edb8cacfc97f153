#include <gtest/gtest.h>

#include <string>

#include "kivo/xml_utils.hpp"
#include "support/presets.hpp"

namespace {

using namespace kivo;
using namespace kivo::xml_utils;
using kivo::test::parse_doc;

const std::string& text_of(const XMLNode& node) { return std::get<Text>(node.value).text; }

TEST(Parse, BuildsEveryNodeKindInDocumentOrderAndDropsBlankText) {
  Element root = parse_doc(
      "<?xml version=\"1.0\"?>\n<!-- outside --><r>\n  <!--c-->\n  <?pi data here?>\n"
      "  <?bare?><![CDATA[a<b]]>t &amp; &#x41;<![CDATA[]]>\n<a> x </a> <b>  "
      "</b>a&lt;\nb&#xD;c</r>");
  Element a = test::el("a");
  a.children.push_back(XMLNode{Text{" x "}});
  EXPECT_EQ(root.children,
            (std::vector<XMLNode>{XMLNode{Comment{"c"}},
                                  XMLNode{ProcessingInstruction{"pi", "data here"}},
                                  XMLNode{ProcessingInstruction{"bare", std::nullopt}},
                                  XMLNode{CData{"a<b"}}, XMLNode{Text{"t & A"}}, XMLNode{CData{""}},
                                  XMLNode{a}, XMLNode{test::el("b")}, XMLNode{Text{"a<\nb\rc"}}}));
  // Internal entities expand, character references inside them included; external ones are
  // not read.
  EXPECT_EQ(text_of(parse_doc("<!DOCTYPE r [<!ENTITY e \"ent&#38;#38;ity\"><!ENTITY ext SYSTEM "
                              "\"file:///etc/hostname\">]><r>&e; and&ext;&e;</r>")
                        .children.at(0)),
            "ent&ity andent&ity");
  root = parse_doc("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r v=\"\xE9\">\xFC</r>");
  EXPECT_EQ(*root.attr("v"), "\xC3\xA9");
  EXPECT_EQ(text_of(root.children.at(0)), "\xC3\xBC");
}

// An inner redeclaration ends with its element and an empty default undeclares it.
TEST(Parse, RecordsTheBindingsInForceOnEachDeclaringElement) {
  Element root = parse_doc(
      "<p:r xmlns:p=\"urn:p\" xmlns=\"urn:d\"><f xmlns:p=\"urn:p2\"/><e xmlns=\"\"/><c/></p:r>");
  EXPECT_EQ(root.prefix, "p");
  EXPECT_EQ(root.namespace_uri, "urn:p");
  EXPECT_EQ(root.namespaces, (Namespaces{{"", "urn:d"}, {"p", "urn:p"}}));
  EXPECT_EQ(child(root, "f")->namespaces, (Namespaces{{"", "urn:d"}, {"p", "urn:p2"}}));
  EXPECT_EQ(child(root, "e")->namespaces, (Namespaces{{"p", "urn:p"}}));
  EXPECT_EQ(child(root, "e")->namespace_uri, std::nullopt);
  EXPECT_EQ(child(root, "c")->namespace_uri, "urn:d");
  EXPECT_TRUE(child(root, "c")->namespaces.shares_with(root.namespaces));
}

// Setting takes the first Param of the name, with a value or not; a miss changes nothing.
TEST(Lookups, SetParamValue) {
  Element group =
      parse_doc("<Params><Param name=\"Name\"/><Param name=\"Name\" value=\"X\"/></Params>");
  EXPECT_TRUE(set_param_value(group, "Name", "Y"));
  EXPECT_EQ(test::written(group), test::normalized("<Params><Param name=\"Name\" value=\"Y\"/>"
                                                   "<Param name=\"Name\" value=\"X\"/></Params>"));
  const Element before = group;
  EXPECT_FALSE(set_param_value(group, "Other", "Y"));
  EXPECT_EQ(group, before);
}

TEST(Parse, ComparesBindingsByContentNotByIdentity) {
  Element first = parse_doc("<r xmlns:p=\"urn:p\"><c/></r>");
  Element second = parse_doc("<r xmlns:p=\"urn:p\"><c/></r>");
  EXPECT_FALSE(first.namespaces.shares_with(second.namespaces));
  EXPECT_EQ(first, second);
  Element changed = first;
  changed.children[0].as_element()->namespaces = Namespaces{{"p", "urn:other"}};
  EXPECT_NE(changed, first);
  EXPECT_EQ(first.children[0].as_element()->namespaces, (Namespaces{{"p", "urn:p"}}));
  changed.children[0].as_element()->namespaces.reset();
  EXPECT_EQ(changed.children[0].as_element()->namespaces, std::nullopt);
}

std::string nested(std::size_t depth) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += "<a>";
  for (std::size_t i = 0; i < depth; ++i) text += "</a>";
  return text;
}

// Root declaring `prefixes` namespaces over `children` copies of `child`.
std::string declared_then_repeated(int prefixes, int children, std::string_view child = "<c/>") {
  std::string text = "<r";
  for (int i = 0; i < prefixes; ++i) text += " xmlns:p" + std::to_string(i) + "=\"urn:u\"";
  text += ">";
  for (int i = 0; i < children; ++i) text += child;
  return text + "</r>";
}

TEST(Parse, RefusesMalformedAndHostileInputWithTheReasonAndPosition) {
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE bomb [\n<!ENTITY e0 \"lollollollol\">\n";
  for (int level = 1; level <= 10; ++level) {
    bomb += "<!ENTITY e" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) bomb += "&e" + std::to_string(level - 1) + ";";
    bomb += "\">\n";
  }
  const std::string bindings = declared_then_repeated(1000, 2000, "<c xmlns:q=\"urn:q\"/>");
  const struct {
    std::string text;
    std::string description;  // a trailing '*' matches any rest
  } cases[] = {
      {"", "no element found at line 1, column 1"},
      {"<?xml version=\"1.0\"?>", "no element found at line 1, column 22"},
      {"<a/>x", "junk after document element at line 1, column 5"},
      {"<a>\n<b></a>", "mismatched tag at line 2, column 6"},
      {"x<a/>", "not well-formed (invalid token) at line 1, column 2"},
      {"<p:a/>", "unbound prefix at line 1, column 1"},
      {"<a x=\"1\" x=\"2\"/>", "duplicate attribute at line 1, column 10"},
      {nested(1001), "document nested deeper than 1000 elements at line 1, column 3001"},
      {bomb + "]>\n<bomb>&e10;</bomb>", "limit on input amplification*"},
      {bindings, "document records more than " + std::to_string((1 << 20) + bindings.size()) +
                     " namespace bindings in force at line 1, column *"},
  };
  for (const auto& c : cases) {
    auto result = parse(c.text);
    ASSERT_FALSE(result) << c.text.substr(0, 40);
    EXPECT_EQ(result.error().kind, ParseError::Kind::Malformed);
    const std::string& got = result.error().description;
    if (c.description.ends_with('*')) {
      EXPECT_TRUE(got.starts_with(c.description.substr(0, c.description.size() - 1))) << got;
    } else {
      EXPECT_EQ(got, c.description);
    }
    EXPECT_EQ(result.error().message(), "Malformed XML. " + got);
  }
}

TEST(Parse, AcceptsLargeInputsWithinTheLimits) {
  Element deepest = parse_doc(nested(1000));
  EXPECT_EQ(parse_doc(test::written(deepest)), deepest);
  constexpr std::size_t kSize = std::size_t{100} << 20;
  std::string huge = "<r v=\"";
  huge.append(kSize, 'x');
  EXPECT_EQ(parse_doc(huge + "\"/>").attr("v")->size(), kSize);
  // Shared bindings do not count against the limit on bindings in force.
  Element inherited = parse_doc(declared_then_repeated(4, 400000));
  ASSERT_EQ(inherited.children.size(), 400000u);
  for (const auto& node : inherited.children) {
    ASSERT_TRUE(node.as_element()->namespaces.shares_with(inherited.namespaces));
  }
  EXPECT_EQ(inherited.namespaces->size(), 4u);
}

}  // namespace
