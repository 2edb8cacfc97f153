#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "kivo/xml_utils.hpp"
#include "support/presets.hpp"

namespace {

using namespace kivo;
using namespace kivo::xml_utils;
using kivo::test::parse_doc;
using kivo::test::written;

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

Element with(std::string name, std::vector<XMLNode> children) {
  Element element = Element::make(std::move(name));
  element.children = std::move(children);
  return element;
}

XMLNode node(std::string name) { return XMLNode{Element::make(std::move(name))}; }

std::string body(const Element& root) {
  const std::string text = written(root);
  EXPECT_TRUE(text.starts_with(kDeclaration)) << text;
  return text.substr(kDeclaration.size());
}

TEST(Write, FixedTextForm) {
  Element attributes = Element::make("r");
  attributes.set_attr("z", "1");
  attributes.set_attr("a", "2");
  Element escaped = with("r", {XMLNode{Text{"a&b<c>d\"e'f\tg\nh\ri"}}});
  escaped.set_attr("v", "a&b<c>d\"e'f\tg\nh\ri");
  Element prefixed = Element::make("r");
  prefixed.prefix = "p";  // no known URI: dropped
  Element undeclared = parse_doc("<r xmlns=\"urn:d\"><a/></r>");
  undeclared.children.push_back(node("plain"));
  const struct {
    Element tree;
    std::string body;
  } cases[] = {
      {with("A", {XMLNode{Text{"text"}}, node("B"), node("C")}), "<A>text<B/>\n  <C/>\n</A>"},
      {with("A", {node("B"), XMLNode{Text{"t"}}}), "<A>\n  <B/>t</A>"},
      {with("A", {XMLNode{Text{" x "}}}), "<A> x </A>"},
      {with("XmlState", {XMLNode{with("ScreenSetup", {XMLNode{with("Screen", {node("layers")})}})},
                         node("Other")}),
       "<XmlState>\n  <ScreenSetup>\n    <Screen>\n      <layers/>\n    </Screen>\n"
       "  </ScreenSetup>\n  <Other/>\n</XmlState>"},
      {attributes, "<r z=\"1\" a=\"2\"/>"},
      {with("r", {XMLNode{Comment{"x"}}, XMLNode{Comment{" y "}}, XMLNode{Comment{"\tz"}},
                  XMLNode{Comment{""}}}),
       "<r>\n  <!-- x -->\n  <!-- y -->\n  <!--\tz -->\n  <!--  -->\n</r>"},
      {with("r", {XMLNode{ProcessingInstruction{"t", "d a"}},
                  XMLNode{ProcessingInstruction{"u", std::nullopt}}}),
       "<r>\n  <?t d a?>\n  <?u?>\n</r>"},
      {escaped,
       "<r "
       "v=\"a&amp;b&lt;c&gt;d&quot;e&apos;f&#x9;g&#xA;h&#xD;i\">a&amp;b&lt;c&gt;d\"e'f\tg\nh&#xD;i<"
       "/r>"},
      {with("r", {XMLNode{CData{"a]]>b]]>"}}, node("e")}),
       "<r><![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]><e/>\n</r>"},
      {with("r", {XMLNode{CData{"a\r\n<b"}}}), "<r>a&#xD;\n&lt;b</r>"},
      {with("r", {XMLNode{Comment{"a\r\nb\rc"}}}), "<r>\n  <!-- a\nb\nc -->\n</r>"},
      {parse_doc("<r xmlns:p=\"urn:p\" xmlns=\"urn:d\" a=\"1\"><p:a><b/><p:c "
                 "xmlns:p=\"urn:q\"/></p:a></r>"),
       "<r xmlns=\"urn:d\" xmlns:p=\"urn:p\" a=\"1\">\n  <p:a>\n    <b/>\n    <p:c "
       "xmlns:p=\"urn:q\"/>\n  </p:a>\n</r>"},
      {undeclared, "<r xmlns=\"urn:d\">\n  <a/>\n  <plain xmlns=\"\"/>\n</r>"},
      {prefixed, "<r/>"},
      {parse_doc("<root xmlns:a=\"urn:a\" xmlns:b=\"urn:b\"><i n=\"0\"/><i n=\"1\"/></root>"),
       "<root xmlns:a=\"urn:a\" xmlns:b=\"urn:b\">\n  <i n=\"0\"/>\n  <i n=\"1\"/>\n</root>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(body(c.tree), c.body);
    // What the writer emits reads back to the tree and writes again byte for byte.
    EXPECT_EQ(written(parse_doc(written(c.tree))), written(c.tree));
  }
  EXPECT_EQ(std::get<Text>(parse_doc(written(cases[9].tree)).children.at(0).value).text, "a\r\n<b");
  EXPECT_EQ(parse_doc(written(undeclared)).children.at(1).as_element()->namespace_uri,
            std::nullopt);
}

TEST(Write, DeclaresThePrefixOfASubtreeCopiedWithoutItsBinding) {
  Element copied = parse_doc("<p:s xmlns:p=\"urn:p\"><p:t/></p:s>");
  Element root = with("r", {XMLNode{copied}});
  copied.namespaces.reset();
  std::get<Element>(copied.children[0].value).namespaces.reset();
  for (const Element& tree : {root, with("r", {XMLNode{copied}})}) {
    EXPECT_EQ(body(tree), "<r>\n  <p:s xmlns:p=\"urn:p\">\n    <p:t/>\n  </p:s>\n</r>");
    EXPECT_EQ(parse_doc(written(tree)).children.at(0).as_element()->namespace_uri, "urn:p");
  }
}

TEST(Write, WritesManyNamespaceDeclarationsInLinearTime) {
  std::string text = "<r";
  for (int i = 0; i < 100000; ++i) text += " xmlns:p" + std::to_string(i) + "=\"urn:u\"";
  const Element root = parse_doc(text + "><p:c xmlns:p=\"urn:c\"/></r>");
  const auto started = std::chrono::steady_clock::now();
  const std::string once = written(root);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(parse_doc(once), root);
}

TEST(Write, HonoursTheWriterSettings) {
  WriterConfig config;
  config.write_declaration = false;
  config.perform_indent = false;
  config.normalize_empty_elements = false;
  config.cdata_to_characters = true;
  config.autopad_comments = false;
  std::string sink = "before|";
  ASSERT_TRUE(write_with_config(
      with("r", {node("e"), XMLNode{CData{"<c>"}}, XMLNode{Comment{"x"}}}), sink, config));
  EXPECT_EQ(sink, "before|<r><e></e>&lt;c&gt;<!--x--></r>");

  WriterConfig padded;
  padded.pad_self_closing = true;
  padded.indent_string = "\t";
  padded.line_separator = "\r\n";
  sink.clear();
  ASSERT_TRUE(write_with_config(with("r", {node("e")}), sink, padded));
  EXPECT_EQ(sink, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>\r\n\t<e />\r\n</r>");
}

TEST(Write, CommentsWithoutPaddingAreWrittenAsTheyAreUnlessTheyEndInADash) {
  WriterConfig unpadded;
  unpadded.write_declaration = false;
  unpadded.perform_indent = false;
  unpadded.autopad_comments = false;
  for (const char* text : {"-a", "a - b", "", "a", " - ", "-", "a-", "x -", "-a-"}) {
    std::string sink = "kept";
    auto result = write_with_config(with("r", {XMLNode{Comment{text}}}), sink, unpadded);
    if (std::string_view(text).ends_with('-')) {
      ASSERT_FALSE(result) << text;
      EXPECT_EQ(result.error().description, "Comment text cannot be written as an XML comment");
      EXPECT_EQ(sink, "kept");
    } else {
      ASSERT_TRUE(result) << text;
      EXPECT_EQ(sink, "kept<r><!--" + std::string(text) + "--></r>");
      EXPECT_EQ(parse_doc(sink.substr(4)), with("r", {XMLNode{Comment{text}}}));
    }
  }
  WriterConfig padded = unpadded;
  padded.autopad_comments = true;
  std::string sink;
  ASSERT_TRUE(write_with_config(with("r", {XMLNode{Comment{"a-"}}}), sink, padded));
  EXPECT_EQ(sink, "<r><!-- a- --></r>");
  EXPECT_EQ(parse_doc(sink), with("r", {XMLNode{Comment{" a- "}}}));
}

TEST(Write, RefusesTreesThatCannotBeWrittenAsXmlAndLeavesTheSinkAlone) {
  auto holding = [](XMLNode child) { return with("r", {std::move(child)}); };
  Element bad_attribute = Element::make("r");
  bad_attribute.set_attr("a b", "1");
  Element bad_value = Element::make("r");
  bad_value.set_attr("a", "\x01");
  for (const Element& tree :
       {Element::make(""), Element::make("a b"), Element::make("1a"), bad_attribute, bad_value,
        holding(XMLNode{Comment{"a--b"}}), holding(XMLNode{Text{"bell\x07"}}),
        holding(XMLNode{Text{"\xC3"}}), holding(XMLNode{ProcessingInstruction{"xml", "x"}}),
        holding(XMLNode{ProcessingInstruction{"t", "a?>b"}})}) {
    std::string sink = "kept";
    EXPECT_FALSE(write_with_config(tree, sink, {}));
    EXPECT_EQ(sink, "kept");
    EXPECT_FALSE(write_xml_string(tree));
  }
}

TEST(NameRules, RefusesNamesOutsideTheXmlNameCharactersAndWritesOthers) {
  // Not names by the fifth-edition ranges, or names the parser does not read back.
  for (const std::string name : {"a\u00D7", "\u0660a", "\u0301a", "\u0483a", "a\u200Bb", "\u2070",
                                 "\u3001a", "\U00010000", "a:b", "a\xC3", "a\xED\xA0\x80"}) {
    Element attribute = Element::make("r");
    attribute.set_attr(name, "v");
    const std::pair<Element, std::string> refusals[] = {
        {Element::make(name), "Element name \"" + name + "\" is not a valid XML name"},
        {attribute, "Attribute name \"" + name + "\" is not a valid XML name"},
        {with("r", {XMLNode{ProcessingInstruction{name, std::nullopt}}}),
         "Processing instruction \"" + name + "\" cannot be written"}};
    for (const auto& [tree, message] : refusals) {
      auto result = write_xml_string(tree);
      ASSERT_FALSE(result) << message;
      EXPECT_EQ(result.error().description, message);
    }
  }
  for (const std::string name :
       {"\u00E9t\u00E9", "a\u0660", "a\u0301", "a\u00B7b", "\u4E2D\u6587", "\u03A9mega"}) {
    Element root = with(name, {node(name)});
    root.set_attr(name, "v");
    EXPECT_EQ(parse_doc(written(root)), root) << name;
  }
}

// The tree as the writer's comment padding leaves it; everything else reads back unchanged.
Element with_padded_comments(Element element) {
  for (auto& child : element.children) {
    if (auto* nested = child.as_element()) {
      *nested = with_padded_comments(std::move(*nested));
    } else if (auto* comment = std::get_if<Comment>(&child.value)) {
      auto is_space = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
      std::string& text = comment->text;
      const bool front = text.empty() || !is_space(text.front());
      if (text.empty() || !is_space(text.back())) text.push_back(' ');
      if (front) text.insert(text.begin(), ' ');
    }
  }
  return element;
}

TEST(RoundTrip, WrittenTextIsAFixedPoint) {
  std::vector<std::string> cases = {
      "<r/>",
      "<r>\n  <a> x </a>\n</r>",
      "<A>text<B/><C/>tail<D>in</D></A>",
      "<r><![CDATA[a]]>b]]&gt;</r>",
      "<r><![CDATA[x]]]]><![CDATA[>y]]><![CDATA[<&>]]>t<![CDATA[]]></r>",
      "<r><!----><!--c--><!-- d --><!--\te\n--><?pi some data?><?bare?>text<!--x--></r>",
      "<r a=\"&quot;&apos;&lt;&gt;&amp;&#x9;&#xA;&#xD;\">&lt;&amp;&gt;&#xD;\"'\t</r>",
      "<p:r xmlns:p=\"urn:p\" xmlns=\"urn:d\"><c/><p:d p:x=\"1\" y=\"2\"/><e "
      "xmlns=\"\"><f/></e></p:r>",
      "<r><q:s xmlns:q=\"urn:q\"><q:t xmlns:q=\"urn:other\"/></q:s><q:u xmlns:q=\"urn:q\"/></r>",
      "<r xml:lang=\"en\"><xml:space/></r>",
      "<r>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</r>",
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r v=\"\xE9\"/>",
      "<!DOCTYPE r [<!ENTITY e \"ent&#38;#38;ity\">]><r>&e; and &e;</r>",
      "<r>\n  <a>1</a>\n  <!-- between -->\n  <b><c><d/></c></b>\n</r><!-- trailing -->",
      test::read_whole_file(test::kBundledTemplate),
  };
  for (const std::string& text : cases) {
    const Element first = parse_doc(text);
    const std::string once = written(first);
    const Element second = parse_doc(once);
    EXPECT_EQ(second, with_padded_comments(first)) << once;
    EXPECT_EQ(written(second), once);
  }
}

}  // namespace
