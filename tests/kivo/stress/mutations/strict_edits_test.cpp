// The strict corpus holds each hard case its edits are there for, and only documents that their
// own text reads back as, so that every strict case replays.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "kivo/stress/config.hpp"
#include "kivo/stress/generator.hpp"
#include "kivo/xml_utils.hpp"
#include "support/presets.hpp"

namespace {

using kivo::Element;

bool any_element(const Element& element, const std::function<bool(const Element&)>& test) {
  if (test(element)) return true;
  for (const kivo::XMLNode& node : element.children) {
    if (const Element* child = node.as_element(); child && any_element(*child, test)) return true;
  }
  return false;
}

bool attribute_is(const Element& e, const char* name, std::string_view value) {
  const std::string* found = e.attr(name);
  return found && *found == value;
}

TEST(StrictEdits, CorpusHoldsEveryHardCaseAndReadsBackAsItself) {
  auto config = kivo::stress::default_for_profile(kivo::stress::StressProfile::Fast);
  config.strict = true;
  auto corpus = kivo::stress::generator::generate_docs(kivo::test::load_template(), config);
  ASSERT_TRUE(corpus);

  const std::vector<std::pair<const char*, std::function<bool(const Element&)>>> hard_cases = {
      {"quote in a name",
       [](const Element& e) {
         return attribute_is(e, "name", "Quote \"A\"") || attribute_is(e, "value", "Quote \"A\"");
       }},
      {"line break in a name",
       [](const Element& e) { return attribute_is(e, "value", "Line\nbreak"); }},
      {"name with a copy suffix",
       [](const Element& e) {
         const std::string* name = e.attr("name");
         return name && name->ends_with(" (Copy 7)");
       }},
      {"CDATA",
       [](const Element& e) {
         return std::ranges::any_of(e.children, [](const kivo::XMLNode& n) {
           return std::holds_alternative<kivo::CData>(n.value);
         });
       }},
      {"uniqueId at the counter's end",
       [](const Element& e) { return attribute_is(e, "uniqueId", "18446744073709551615"); }},
      {"uniqueId with a sign", [](const Element& e) { return attribute_is(e, "uniqueId", "+12"); }},
      {"screen without layers",
       [](const Element& e) { return e.name == "Screen" && !kivo::xml_utils::child(e, "layers"); }},
      {"slice without an input rectangle",
       [](const Element& e) {
         return e.name == "Slice" && !kivo::xml_utils::child(e, "InputRect");
       }},
      {"layer without its name group",
       [](const Element& e) {
         return (e.name == "Slice" || e.name == "Mask") &&
                !kivo::xml_utils::params_by_name(e, "Common");
       }},
  };
  for (const auto& [what, test] : hard_cases) {
    EXPECT_TRUE(std::ranges::any_of(*corpus, [&](const auto& g) {
      return any_element(g.doc, test);
    })) << what;
  }
  for (const auto& generated : *corpus) {
    auto text = kivo::xml_utils::write_xml_string(generated.doc);
    ASSERT_TRUE(text) << generated.name;
    EXPECT_EQ(*kivo::xml_utils::parse(*text), generated.doc) << generated.name;
  }
}

}  // namespace
