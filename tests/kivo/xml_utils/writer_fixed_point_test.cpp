// The writer's output is its own fixed point: what it writes reads back as a tree it writes the
// same way again, under every writer setting. Inputs that once broke this live in
// tests/data/fuzz_regressions.
#include <gtest/gtest.h>

#include <filesystem>

#include "kivo/xml_utils.hpp"
#include "support/presets.hpp"

namespace {

using kivo::Element;
using kivo::XMLNode;
using kivo::xml_utils::WriterConfig;

WriterConfig config_from_bits(unsigned bits) {
  WriterConfig config;
  config.write_declaration = bits & 1;
  config.perform_indent = bits & 2;
  config.normalize_empty_elements = bits & 4;
  config.pad_self_closing = bits & 8;
  config.autopad_comments = bits & 16;
  config.cdata_to_characters = bits & 32;
  if (bits & 64) config.indent_string = "\t";
  return config;
}

std::string write(const Element& tree, const WriterConfig& config) {
  std::string text;
  auto written = kivo::xml_utils::write_with_config(tree, text, config);
  return written ? text : "<refused: " + written.error().description + ">";
}

TEST(WriterFixedPoint, StoredFuzzInputsUnderEverySetting) {
  const std::filesystem::path dir = KIVO_SOURCE_DIR "/tests/data/fuzz_regressions/xml_round_trip";
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    auto tree = kivo::xml_utils::parse(kivo::test::read_whole_file(entry.path()));
    ASSERT_TRUE(tree) << entry.path();
    for (unsigned bits = 0; bits < 128; ++bits) {
      const WriterConfig config = config_from_bits(bits);
      const std::string first = write(*tree, config);
      if (first.starts_with("<refused")) continue;
      auto reread = kivo::xml_utils::parse(first);
      ASSERT_TRUE(reread) << entry.path() << " bits=" << bits << "\n" << first;
      EXPECT_EQ(write(*reread, config), first) << entry.path() << " bits=" << bits;
    }
  }
}

TEST(WriterFixedPoint, EmptyTextsWriteNothingAndTakeNoLine) {
  Element root;
  root.name = "r";
  Element only_empty;
  only_empty.name = "e";
  only_empty.children = {XMLNode{kivo::Text{""}}};
  root.children = {XMLNode{kivo::Comment{"c"}}, XMLNode{kivo::Text{""}},
                   XMLNode{kivo::ProcessingInstruction{"pi", "d"}}, XMLNode{only_empty},
                   XMLNode{kivo::Text{""}}};
  EXPECT_EQ(*kivo::xml_utils::write_xml_string(root),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<r>\n  <!-- c -->\n  <?pi d?>\n  <e/>\n</r>");
  WriterConfig characters;
  characters.cdata_to_characters = true;
  root.children = {XMLNode{kivo::CData{""}}, XMLNode{kivo::Comment{"c"}}};
  EXPECT_EQ(write(root, characters),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>\n  <!-- c -->\n</r>");
}

}  // namespace
