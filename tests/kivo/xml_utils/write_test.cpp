#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
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
  // A prefixed subtree copied without the parent that declared it, with and without its own
  // bindings: the prefix is declared where the subtree starts.
  Element copied = parse_doc("<p:s xmlns:p=\"urn:p\"><p:t/></p:s>");
  Element copied_with_bindings = with("r", {XMLNode{copied}});
  copied.namespaces.reset();
  copied.children[0].as_element()->namespaces.reset();
  const std::string copied_body = "<r>\n  <p:s xmlns:p=\"urn:p\">\n    <p:t/>\n  </p:s>\n</r>";
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
      // Empty texts, and runs of character data that are only whitespace (a reader keeps
      // neither), write nothing and take no line; whitespace beside other text stays.
      {with("r", {XMLNode{Text{""}}, node("a"), XMLNode{Text{" \n"}}, XMLNode{CData{"\r\t"}},
                  XMLNode{with("e", {XMLNode{Text{" "}}})}, XMLNode{Text{""}}}),
       "<r>\n  <a/>\n  <e/>\n</r>"},
      {with("r", {node("a"), XMLNode{Text{" "}}, XMLNode{CData{"x\r"}}, node("b")}),
       "<r>\n  <a/> x&#xD;<b/>\n</r>"},
      {attributes, "<r z=\"1\" a=\"2\"/>"},
      {with("r", {XMLNode{Comment{"x"}}, XMLNode{Comment{" y "}}, XMLNode{Comment{"\tz"}},
                  XMLNode{Comment{""}}, XMLNode{Comment{"a-"}}}),
       "<r>\n  <!-- x -->\n  <!-- y -->\n  <!--\tz -->\n  <!--  -->\n  <!-- a- -->\n</r>"},
      // Only the target "xml" itself is reserved, not longer ones that start with it.
      {with("r", {XMLNode{ProcessingInstruction{"t", "d a"}},
                  XMLNode{ProcessingInstruction{"u", std::nullopt}},
                  XMLNode{ProcessingInstruction{"xml-stylesheet", "href=\"a\""}},
                  XMLNode{ProcessingInstruction{"xmm", std::nullopt}}}),
       "<r>\n  <?t d a?>\n  <?u?>\n  <?xml-stylesheet href=\"a\"?>\n  <?xmm?>\n</r>"},
      {escaped,
       "<r "
       "v=\"a&amp;b&lt;c&gt;d&quot;e&apos;f&#x9;g&#xA;h&#xD;i\">a&amp;b&lt;c&gt;d\"e'f\tg\nh&#xD;i<"
       "/r>"},
      {with("r", {XMLNode{CData{"a]]>b]]>"}}, node("e")}),
       "<r><![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]><e/>\n</r>"},
      {with("r", {XMLNode{CData{"a\r\n<b"}}}), "<r>a&#xD;\n&lt;b</r>"},
      {parse_doc("<r><![CDATA[a]]>b]]&gt;</r>"), "<r><![CDATA[a]]>b]]&gt;</r>"},
      {with("r", {XMLNode{Comment{"a\r\nb\rc"}}}), "<r>\n  <!-- a\nb\nc -->\n</r>"},
      {parse_doc("<r>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</r>"),
       "<r>caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</r>"},
      {parse_doc("<r a=\"&lt;\xC3\xA9&amp;\xF0\x9F\x98\x80\x7F\"/>"),
       "<r a=\"&lt;\xC3\xA9&amp;\xF0\x9F\x98\x80\x7F\"/>"},
      {parse_doc("<r xmlns:p=\"urn:p\" xmlns=\"urn:d\" a=\"1\"><p:a><b/><p:c "
                 "xmlns:p=\"urn:q\"/></p:a></r>"),
       "<r xmlns=\"urn:d\" xmlns:p=\"urn:p\" a=\"1\">\n  <p:a>\n    <b/>\n    <p:c "
       "xmlns:p=\"urn:q\"/>\n  </p:a>\n</r>"},
      {parse_doc("<r><q:s xmlns:q=\"urn:q\"><q:t xmlns:q=\"urn:other\"/></q:s><q:u "
                 "xmlns:q=\"urn:q\"/></r>"),
       "<r>\n  <q:s xmlns:q=\"urn:q\">\n    <q:t xmlns:q=\"urn:other\"/>\n  </q:s>\n  <q:u "
       "xmlns:q=\"urn:q\"/>\n</r>"},
      // Attributes keep their local name only, as the parser reads them.
      {parse_doc("<r xml:lang=\"en\"><xml:space/></r>"), "<r lang=\"en\">\n  <xml:space/>\n</r>"},
      {undeclared, "<r xmlns=\"urn:d\">\n  <a/>\n  <plain xmlns=\"\"/>\n</r>"},
      {prefixed, "<r/>"},
      {copied_with_bindings, copied_body},
      {with("r", {XMLNode{copied}}), copied_body},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(body(c.tree), c.body);
    // What the writer emits reads back to a tree it writes again byte for byte.
    EXPECT_EQ(written(parse_doc(written(c.tree))), written(c.tree));
  }
  // A whole real preset reads back as the very tree that was written.
  const Element bundled = test::load_template();
  EXPECT_EQ(parse_doc(written(bundled)), bundled);
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
  const WriterConfig flat{.write_declaration = false,
                          .perform_indent = false,
                          .normalize_empty_elements = false,
                          .cdata_to_characters = true,
                          .autopad_comments = false};
  const WriterConfig padded{.line_separator = "\r\n",
                            .indent_string = "\t",
                            .cdata_to_characters = true,
                            .pad_self_closing = true};
  // Unpadded, comments are written as they are unless that cannot be read back.
  const WriterConfig unpadded{
      .write_declaration = false, .perform_indent = false, .autopad_comments = false};
  const struct {
    WriterConfig config;
    Element tree;
    std::string text;
  } cases[] = {
      {flat, with("r", {node("e"), XMLNode{CData{"<c>"}}, XMLNode{Comment{"x"}}}),
       "<r><e></e>&lt;c&gt;<!--x--></r>"},
      // An empty CDATA section turned into characters takes no line either.
      {padded, with("r", {XMLNode{CData{""}}, node("e")}),
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>\r\n\t<e />\r\n</r>"},
      {unpadded, with("r", {XMLNode{Comment{"-a"}}}), "<r><!---a--></r>"},
      {unpadded, with("r", {XMLNode{Comment{"a - b"}}}), "<r><!--a - b--></r>"},
      {unpadded, with("r", {XMLNode{Comment{""}}}), "<r><!----></r>"},
  };
  for (const auto& c : cases) {
    std::string sink = "kept|";
    ASSERT_TRUE(write_with_config(c.tree, sink, c.config)) << c.text;
    EXPECT_EQ(sink, "kept|" + c.text);
  }
}

TEST(Write, RefusesTreesThatCannotBeWrittenAsXmlAndLeavesTheSinkAlone) {
  auto holding = [](XMLNode child) { return with("r", {std::move(child)}); };
  auto valued = [](std::string value) {
    Element element = Element::make("r");
    element.set_attr("a", std::move(value));
    return element;
  };
  const std::string bad_value = "Attribute value holds a character XML 1.0 cannot represent";
  const std::string bad_text = "Text holds a character XML 1.0 cannot represent";
  const WriterConfig unpadded{.autopad_comments = false};
  const std::string dash = "Comment text cannot be written as an XML comment";
  const struct {
    Element tree;
    std::string message;
    bool padded = true;
  } cases[] = {
      // Control characters, cut or overlong sequences, surrogates and non-characters, also
      // next to a character that is escaped.
      {valued("\x01"), bad_value},
      {valued("&\xED\xA0\x80<"), bad_value},
      {valued("\xC0\x80"), bad_value},
      {valued("\xE2\x82"), bad_value},
      {holding(XMLNode{Comment{"a--b"}}), dash},
      {holding(XMLNode{Text{"bell\x07"}}), bad_text},
      {holding(XMLNode{Text{"\xC3"}}), bad_text},
      {holding(XMLNode{Text{"<\xEF\xBF\xBE&"}}), bad_text},
      {holding(XMLNode{CData{"\r\x1F"}}), bad_text},
      {holding(XMLNode{ProcessingInstruction{"xml", "x"}}),
       "Processing instruction \"xml\" cannot be written"},
      {holding(XMLNode{ProcessingInstruction{"t", "a?>b"}}),
       "Processing instruction \"t\" cannot be written"},
      // Unpadded, a comment may not end in a dash.
      {holding(XMLNode{Comment{"-"}}), dash, false},
      {holding(XMLNode{Comment{"x -"}}), dash, false},
  };
  for (const auto& c : cases) {
    std::string sink = "kept";
    auto result = write_with_config(c.tree, sink, c.padded ? WriterConfig{} : unpadded);
    ASSERT_FALSE(result) << c.message;
    EXPECT_EQ(result.error().description, c.message);
    EXPECT_EQ(sink, "kept");
  }
}

TEST(NameRules, RefusesNamesOutsideTheXmlNameCharactersAndWritesOthers) {
  // Not names by the fifth-edition ranges, or names the parser does not read back.
  for (const std::string name :
       {"", "a b", "1a", "a\u00D7", "\u0660a", "\u0301a", "\u0483a", "a\u200Bb", "\u2070",
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

WriterConfig config_from_bits(unsigned bits) {
  return {.write_declaration = (bits & 1) != 0,
          .indent_string = (bits & 64) != 0 ? "\t" : "  ",
          .perform_indent = (bits & 2) != 0,
          .normalize_empty_elements = (bits & 4) != 0,
          .cdata_to_characters = (bits & 32) != 0,
          .pad_self_closing = (bits & 8) != 0,
          .autopad_comments = (bits & 16) != 0};
}

// Under every writer setting the output reads back as a tree written the same way again. Inputs
// that once broke this are kept in tests/data/fuzz_regressions.
TEST(WriterFixedPoint, StoredFuzzInputsUnderEverySetting) {
  const std::filesystem::path dir = KIVO_SOURCE_DIR "/tests/data/fuzz_regressions/xml_round_trip";
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    auto tree = parse(test::read_whole_file(entry.path()));
    ASSERT_TRUE(tree) << entry.path();
    for (unsigned bits = 0; bits < 128; ++bits) {
      const WriterConfig config = config_from_bits(bits);
      std::string first, second;
      if (!write_with_config(*tree, first, config)) continue;
      auto reread = parse(first);
      ASSERT_TRUE(reread) << entry.path() << " bits=" << bits << "\n" << first;
      ASSERT_TRUE(write_with_config(*reread, second, config)) << entry.path() << " bits=" << bits;
      EXPECT_EQ(second, first) << entry.path() << " bits=" << bits;
    }
  }
}

}  // namespace
