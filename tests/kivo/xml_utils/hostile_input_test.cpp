#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "kivo/xml_utils.hpp"

namespace {

using kivo::ParseError;
using kivo::xml_utils::parse;
using kivo::xml_utils::write_xml_string;

std::string nested(std::size_t depth) {
  std::string text;
  text.reserve(depth * 7);
  for (std::size_t i = 0; i < depth; ++i) text += "<a>";
  for (std::size_t i = 0; i < depth; ++i) text += "</a>";
  return text;
}

TEST(HostileInput, RefusesNestingDeeperThanTheLimit) {
  for (std::size_t depth : {std::size_t{1001}, std::size_t{100000}}) {
    auto result = parse(nested(depth));
    ASSERT_FALSE(result) << depth;
    EXPECT_EQ(result.error().kind, ParseError::Kind::Malformed);
    EXPECT_EQ(result.error().message(),
              "Malformed XML. document nested deeper than 1000 elements at line 1, column 3001");
  }
}

TEST(HostileInput, AcceptsNestingAtTheLimitAndWritesIt) {
  auto root = parse(nested(1000));
  ASSERT_TRUE(root);
  auto text = write_xml_string(*root);
  ASSERT_TRUE(text);
  EXPECT_EQ(*parse(*text), *root);
}

TEST(HostileInput, RefusesAnEntityExpansionBomb) {
  std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE bomb [\n<!ENTITY e0 \"lollollollol\">\n";
  for (int level = 1; level <= 10; ++level) {
    std::string previous = "&e" + std::to_string(level - 1) + ";";
    text += "<!ENTITY e" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) text += previous;
    text += "\">\n";
  }
  text += "]>\n<bomb>&e10;</bomb>";
  auto result = parse(text);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind, ParseError::Kind::Malformed);
  EXPECT_TRUE(result.error().message().starts_with("Malformed XML. limit on input amplification"))
      << result.error().message();
}

TEST(HostileInput, DoesNotLoadExternalEntities) {
  auto result =
      parse("<!DOCTYPE r [<!ENTITY ext SYSTEM \"file:///etc/hostname\">]><r>before&ext;after</r>");
  ASSERT_TRUE(result) << result.error().message();
  EXPECT_EQ(std::get<kivo::Text>(result->children.at(0).value).text, "beforeafter");
}

TEST(HostileInput, ParsesAHundredMegabyteAttributeValue) {
  constexpr std::size_t kSize = std::size_t{100} << 20;
  std::string text = "<r v=\"";
  text.append(kSize, 'x');
  text += "\"/>";
  auto root = parse(text);
  ASSERT_TRUE(root);
  ASSERT_NE(root->attr("v"), nullptr);
  EXPECT_EQ(root->attr("v")->size(), kSize);
}

TEST(HostileInput, WritesManyNamespaceDeclarationsInLinearTime) {
  constexpr int kPrefixes = 100000;
  std::string text = "<r";
  for (int i = 0; i < kPrefixes; ++i) text += " xmlns:p" + std::to_string(i) + "=\"urn:u\"";
  text += "><p:c xmlns:p=\"urn:c\"/></r>";
  auto root = parse(text);
  ASSERT_TRUE(root);
  const auto started = std::chrono::steady_clock::now();
  auto written = write_xml_string(*root);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  ASSERT_TRUE(written);
  auto reread = parse(*written);
  ASSERT_TRUE(reread);
  EXPECT_EQ(*reread, *root);
}

// Root declaring `prefixes` namespaces, holding `children` empty elements that inherit them.
std::string declared_then_repeated(int prefixes, int children, std::string_view child = "<c/>") {
  std::string text = "<r";
  for (int i = 0; i < prefixes; ++i) text += " xmlns:p" + std::to_string(i) + "=\"urn:u\"";
  text += ">";
  for (int i = 0; i < children; ++i) text += child;
  return text + "</r>";
}

TEST(HostileInput, RefusesNamespaceBindingsMultipliedOverManyElements) {
  const std::string text = declared_then_repeated(1000, 2000, "<c xmlns:q=\"urn:q\"/>");
  auto result = parse(text);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind, ParseError::Kind::Malformed);
  EXPECT_TRUE(result.error().message().starts_with(
      "Malformed XML. document records more than " + std::to_string((1 << 20) + text.size()) +
      " namespace bindings in force at line 1, column "))
      << result.error().message();
}

TEST(HostileInput, AcceptsAFewBindingsInheritedByManyElements) {
  auto root = parse(declared_then_repeated(4, 400000));
  ASSERT_TRUE(root);
  EXPECT_EQ(root->children.back().as_element()->namespaces->size(), 4u);
}

TEST(HostileInput, RefusesDocumentsWithoutExactlyOneRootElement) {
  for (const char* text : {"", "   ", "<?xml version=\"1.0\"?>", "<!-- only -->", "<a/><b/>",
                           "<a/>text", "<a/><b/>text", "\xEF\xBB\xBF"}) {
    auto result = parse(text);
    ASSERT_FALSE(result) << text;
    EXPECT_EQ(result.error().kind, ParseError::Kind::Malformed) << text;
    EXPECT_TRUE(result.error().message().starts_with("Malformed XML. ")) << text;
  }
}

}  // namespace
