// The strict corpus holds each hard case its edits are there for, and only documents that their
// own text reads back as, so that every strict case replays.
#include <gtest/gtest.h>

#include <set>

#include "kivo/stress/config.hpp"
#include "kivo/stress/generator.hpp"
#include "kivo/xml_utils.hpp"
#include "support/presets.hpp"

namespace {

using kivo::Element;

// Every attribute met anywhere, and the names of the structural hard cases met.
struct Seen {
  std::set<std::pair<std::string, std::string>> attributes;
  std::set<std::string> cases;
};

void look(const Element& e, Seen& seen) {
  for (const auto& [name, value] : e.attributes) {
    seen.attributes.insert({name, value});
    if (name == "name" && value.ends_with(" (Copy 7)")) seen.cases.insert("copy suffix");
  }
  if (e.name == "Screen" && !kivo::xml_utils::child(e, "layers")) seen.cases.insert("bare screen");
  if (e.name == "Slice" && !kivo::xml_utils::child(e, "InputRect")) seen.cases.insert("no input");
  if ((e.name == "Slice" || e.name == "Mask") && !kivo::xml_utils::params_by_name(e, "Common")) {
    seen.cases.insert("nameless layer");
  }
  for (const kivo::XMLNode& node : e.children) {
    if (std::holds_alternative<kivo::CData>(node.value)) seen.cases.insert("CDATA");
    if (const Element* child = node.as_element()) look(*child, seen);
  }
}

TEST(StrictEdits, CorpusHoldsEveryHardCaseAndReadsBackAsItself) {
  auto config = kivo::stress::default_for_profile(kivo::stress::StressProfile::Fast);
  config.strict = true;
  auto corpus = kivo::stress::generator::generate_docs(kivo::test::load_template(), config);
  ASSERT_TRUE(corpus);
  Seen seen;
  for (const auto& generated : *corpus) {
    look(generated.doc, seen);
    auto text = kivo::xml_utils::write_xml_string(generated.doc);
    ASSERT_TRUE(text) << generated.name;
    EXPECT_EQ(*kivo::xml_utils::parse(*text), generated.doc) << generated.name;
  }
  EXPECT_EQ(seen.cases, (std::set<std::string>{"CDATA", "bare screen", "copy suffix", "no input",
                                               "nameless layer"}));
  const std::pair<std::string, std::string> attributes[] = {
      {"value", "Quote \"A\""},
      {"value", "Line\nbreak"},
      {"uniqueId", "18446744073709551615"},  // the id counter's end
      {"uniqueId", "+12"},
  };
  for (const auto& attribute : attributes) {
    EXPECT_TRUE(seen.attributes.contains(attribute)) << attribute.first << "=" << attribute.second;
  }
}

}  // namespace
