#include <gtest/gtest.h>

#include <string>

#include "kivo/xml_utils.hpp"

namespace {

using kivo::CData;
using kivo::Comment;
using kivo::Element;
using kivo::ProcessingInstruction;
using kivo::Text;
using kivo::XMLNode;
using kivo::xml_utils::parse;
using kivo::xml_utils::write_with_config;
using kivo::xml_utils::write_xml_string;

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

std::string written(const Element& root) {
  auto text = write_xml_string(root);
  EXPECT_TRUE(text) << (text ? "" : text.error().description);
  return text ? *text : std::string();
}

std::string body(const Element& root) {
  std::string text = written(root);
  EXPECT_TRUE(text.starts_with(kDeclaration)) << text;
  return text.substr(kDeclaration.size());
}

Element with(Element element, std::vector<XMLNode> children) {
  element.children = std::move(children);
  return element;
}

XMLNode el(std::string name) { return XMLNode{Element::make(std::move(name))}; }

TEST(Write, MixedContentFollowsTheTextMarkupRule) {
  Element a = with(Element::make("A"), {XMLNode{Text{"text"}}, el("B"), el("C")});
  EXPECT_EQ(written(a), std::string(kDeclaration) + "<A>text<B/>\n  <C/>\n</A>");
}

TEST(Write, EndTagFollowsTrailingTextDirectly) {
  Element a = with(Element::make("A"), {el("B"), XMLNode{Text{"t"}}});
  EXPECT_EQ(body(a), "<A>\n  <B/>t</A>");
  Element b = with(Element::make("A"), {XMLNode{Text{" x "}}});
  EXPECT_EQ(body(b), "<A> x </A>");
}

TEST(Write, NestsElementsOnTheirOwnLinesWithoutFinalLineBreak) {
  Element screen = with(Element::make("Screen"), {el("layers")});
  Element root =
      with(Element::make("XmlState"),
           {XMLNode{with(Element::make("ScreenSetup"), {XMLNode{screen}})}, el("Other")});
  EXPECT_EQ(body(root),
            "<XmlState>\n  <ScreenSetup>\n    <Screen>\n      <layers/>\n    </Screen>\n"
            "  </ScreenSetup>\n  <Other/>\n</XmlState>");
}

TEST(Write, SelfClosesAnEmptyElementWithItsAttributesInOrder) {
  Element root = Element::make("r");
  root.set_attr("z", "1");
  root.set_attr("a", "2");
  EXPECT_EQ(written(root), std::string(kDeclaration) + "<r z=\"1\" a=\"2\"/>");
}

TEST(Write, PadsCommentsOnlyWhereContentLacksWhitespace) {
  Element root = with(Element::make("r"), {XMLNode{Comment{"x"}}, XMLNode{Comment{" y "}},
                                           XMLNode{Comment{"\tz"}}, XMLNode{Comment{""}}});
  EXPECT_EQ(body(root), "<r>\n  <!-- x -->\n  <!-- y -->\n  <!--\tz -->\n  <!--  -->\n</r>");
}

TEST(Write, WritesProcessingInstructionsWithAndWithoutData) {
  Element root = with(Element::make("r"), {XMLNode{ProcessingInstruction{"t", "d a"}},
                                           XMLNode{ProcessingInstruction{"u", std::nullopt}}});
  EXPECT_EQ(body(root), "<r>\n  <?t d a?>\n  <?u?>\n</r>");
}

TEST(Write, EscapesTextAndAttributeValues) {
  Element root = with(Element::make("r"), {XMLNode{Text{"a&b<c>d\"e'f\tg\nh\ri"}}});
  root.set_attr("v", "a&b<c>d\"e'f\tg\nh\ri");
  EXPECT_EQ(body(root),
            "<r v=\"a&amp;b&lt;c&gt;d&quot;e&apos;f&#x9;g&#xA;h&#xD;i\">"
            "a&amp;b&lt;c&gt;d\"e'f\tg\nh&#xD;i</r>");
}

TEST(Write, SplitsCdataAtItsEndMarker) {
  Element root = with(Element::make("r"), {XMLNode{CData{"a]]>b]]>"}}, el("e")});
  EXPECT_EQ(body(root), "<r><![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]><e/>\n</r>");
}

TEST(Write, WritesCdataHoldingACarriageReturnAsEscapedText) {
  Element root = with(Element::make("r"), {XMLNode{CData{"a\r\n<b"}}});
  EXPECT_EQ(body(root), "<r>a&#xD;\n&lt;b</r>");
  Element reread = *parse(written(root));
  EXPECT_EQ(std::get<Text>(reread.children.at(0).value).text, "a\r\n<b");
  EXPECT_EQ(written(reread), written(root));
}

TEST(Write, NormalisesCarriageReturnsInCommentsAsAReaderWould) {
  Element root = with(Element::make("r"), {XMLNode{Comment{"a\r\nb\rc"}}});
  EXPECT_EQ(body(root), "<r>\n  <!-- a\nb\nc -->\n</r>");
}

TEST(Write, DeclaresThePrefixOfASubtreeCopiedWithoutItsBinding) {
  Element copied = *parse("<p:s xmlns:p=\"urn:p\"><p:t/></p:s>");
  Element root = with(Element::make("r"), {XMLNode{copied}});
  copied.namespaces.reset();
  Element bare = copied;
  std::get<Element>(bare.children[0].value).namespaces.reset();
  Element root_bare = with(Element::make("r"), {XMLNode{bare}});
  for (const Element* tree : {&root, &root_bare}) {
    EXPECT_EQ(body(*tree), "<r>\n  <p:s xmlns:p=\"urn:p\">\n    <p:t/>\n  </p:s>\n</r>");
    auto reread = parse(written(*tree));
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->children.at(0).as_element()->namespace_uri, "urn:p");
  }
}

TEST(Write, DeclaresEachBindingOnceWhereItComesIntoForce) {
  Element root = *parse(
      "<r xmlns:p=\"urn:p\" xmlns=\"urn:d\" a=\"1\"><p:a><b/><p:c xmlns:p=\"urn:q\"/></p:a></r>");
  EXPECT_EQ(body(root),
            "<r xmlns=\"urn:d\" xmlns:p=\"urn:p\" a=\"1\">\n  <p:a>\n    <b/>\n"
            "    <p:c xmlns:p=\"urn:q\"/>\n  </p:a>\n</r>");
}

TEST(Write, UndeclaresTheDefaultNamespaceForAnElementWithoutNamespace) {
  Element root = *parse("<r xmlns=\"urn:d\"><a/></r>");
  root.children.push_back(el("plain"));
  EXPECT_EQ(body(root), "<r xmlns=\"urn:d\">\n  <a/>\n  <plain xmlns=\"\"/>\n</r>");
  Element reread = *parse(written(root));
  EXPECT_EQ(reread.children.at(1).as_element()->namespace_uri, std::nullopt);
}

TEST(Write, DropsAPrefixThatHasNoKnownUri) {
  Element root = Element::make("r");
  root.prefix = "p";
  EXPECT_EQ(body(root), "<r/>");
}

TEST(Write, HonoursTheWriterSettings) {
  Element root = with(Element::make("r"), {el("e"), XMLNode{CData{"<c>"}}, XMLNode{Comment{"x"}}});
  kivo::xml_utils::WriterConfig config;
  config.write_declaration = false;
  config.perform_indent = false;
  config.normalize_empty_elements = false;
  config.cdata_to_characters = true;
  config.autopad_comments = false;
  std::string sink = "before|";
  ASSERT_TRUE(write_with_config(root, sink, config));
  EXPECT_EQ(sink, "before|<r><e></e>&lt;c&gt;<!--x--></r>");

  kivo::xml_utils::WriterConfig padded;
  padded.pad_self_closing = true;
  padded.indent_string = "\t";
  padded.line_separator = "\r\n";
  sink.clear();
  ASSERT_TRUE(write_with_config(with(Element::make("r"), {el("e")}), sink, padded));
  EXPECT_EQ(sink, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>\r\n\t<e />\r\n</r>");
}

TEST(Write, RefusesTreesThatCannotBeWrittenAsXmlAndLeavesTheSinkAlone) {
  auto named = [](std::string name) { return Element::make(std::move(name)); };
  auto holding = [&](XMLNode node) { return with(named("r"), {std::move(node)}); };
  Element bad_attribute = named("r");
  bad_attribute.set_attr("a b", "1");
  Element bad_value = named("r");
  bad_value.set_attr("a", "\x01");
  for (const Element& tree :
       {named(""), named("a b"), named("1a"), bad_attribute, bad_value,
        holding(XMLNode{Comment{"a--b"}}), holding(XMLNode{Text{"bell\x07"}}),
        holding(XMLNode{Text{"\xC3"}}), holding(XMLNode{ProcessingInstruction{"xml", "x"}}),
        holding(XMLNode{ProcessingInstruction{"t", "a?>b"}})}) {
    std::string sink = "kept";
    auto result = write_with_config(tree, sink, {});
    EXPECT_FALSE(result) << sink;
    EXPECT_EQ(sink, "kept");
    EXPECT_FALSE(write_xml_string(tree));
  }
}

}  // namespace
