#include <gtest/gtest.h>

#include <string>

#include "kivo/xml_utils.hpp"

namespace {

using kivo::Element;
using kivo::XMLNode;
using kivo::xml_utils::parse;
using kivo::xml_utils::write_xml_string;

struct NameCase {
  const char* label;
  std::string name;
};

// Not names by the fifth-edition ranges, or not names the parser reads back.
const NameCase kUnwritableNames[] = {
    {"multiplication sign", "a\u00D7"},
    {"Arabic-Indic digit first", "\u0660a"},
    {"combining mark first", "\u0301a"},
    {"Cyrillic combining mark first", "\u0483a"},
    {"zero width space", "a\u200Bb"},
    {"superscript zero, unknown to the parser", "\u2070"},
    {"ideographic comma, unknown to the parser", "\u3001a"},
    {"supplementary letter, unknown to the parser", "\U00010000"},
    {"colon", "a:b"},
    {"truncated UTF-8", "a\xC3"},
    {"encoded surrogate", "a\xED\xA0\x80"},
};

// Names that hold non-ASCII characters and must survive a round trip.
const NameCase kWritableNames[] = {
    {"accented letter", "\u00E9t\u00E9"},         {"Arabic-Indic digit after a letter", "a\u0660"},
    {"combining mark after a letter", "a\u0301"}, {"middle dot inside", "a\u00B7b"},
    {"CJK ideographs", "\u4E2D\u6587"},           {"Greek letters", "\u03A9mega"},
};

TEST(NameRules, RefusesElementNamesOutsideTheXmlNameCharacters) {
  for (const auto& [label, name] : kUnwritableNames) {
    auto written = write_xml_string(Element::make(name));
    ASSERT_FALSE(written) << label;
    EXPECT_EQ(written.error().description, "Element name \"" + name + "\" is not a valid XML name")
        << label;
  }
}

TEST(NameRules, RefusesAttributeNamesOutsideTheXmlNameCharacters) {
  for (const auto& [label, name] : kUnwritableNames) {
    Element root = Element::make("r");
    root.set_attr(name, "v");
    auto written = write_xml_string(root);
    ASSERT_FALSE(written) << label;
    EXPECT_EQ(written.error().description,
              "Attribute name \"" + name + "\" is not a valid XML name")
        << label;
  }
}

TEST(NameRules, RefusesProcessingInstructionTargetsOutsideTheXmlNameCharacters) {
  for (const auto& [label, name] : kUnwritableNames) {
    Element root = Element::make("r");
    root.children.push_back(XMLNode{kivo::ProcessingInstruction{name, std::nullopt}});
    auto written = write_xml_string(root);
    ASSERT_FALSE(written) << label;
    EXPECT_EQ(written.error().description,
              "Processing instruction \"" + name + "\" cannot be written")
        << label;
  }
}

TEST(NameRules, WritesNonAsciiNamesThatReadBack) {
  for (const auto& [label, name] : kWritableNames) {
    Element root = Element::make(name);
    root.set_attr(name, "v");
    root.children.push_back(XMLNode{Element::make(name)});
    auto written = write_xml_string(root);
    ASSERT_TRUE(written) << label << ": " << written.error().description;
    auto reread = parse(*written);
    ASSERT_TRUE(reread) << label << ": " << reread.error().message() << "\n" << *written;
    EXPECT_EQ(*reread, root) << label;
  }
}

}  // namespace
