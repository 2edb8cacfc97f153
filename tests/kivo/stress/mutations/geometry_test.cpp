#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "kivo/stress/mutations.hpp"
#include "support/presets.hpp"
#include "support/rngs.hpp"

namespace {

namespace m = kivo::stress::mutations;
using namespace kivo::test;

constexpr const char* kLayers = R"(<XmlState><layers>
  <Slice uniqueId="10">
    <InputRect><v x="3" y="7"/><v x="10"/><v x="abc" y="1"/><v x="100" y="20"/><w x="1" y="1"/></InputRect>
    <OutputRect><v x="nan" y="inf"/></OutputRect>
  </Slice>
  <Mask uniqueId="20"><InputRect><v x="5" y="5"/></InputRect></Mask>
</layers></XmlState>)";

using Result = std::pair<std::string, std::string>;

// The draws of perturb_rect over `text` and the document it leaves.
Result perturbed(const std::string& text, Script script) {
  auto doc = parse_doc(text);
  ScriptedRng rng(std::move(script));
  m::perturb_rect(doc, rng);
  EXPECT_TRUE(rng.exhausted());
  return {rng.trail(), written(doc)};
}

TEST(PerturbRect, MovesTheParsablePointsOfTheChosenRectangle) {
  const std::string jitter = "gen_range_f64 -40 40";
  std::string moved = kLayers;
  moved.replace(moved.find(R"(<v x="3" y="7"/>)"), 16, R"(<v x="0.0001" y="8.25"/>)");
  moved.replace(moved.find(R"(<v x="100" y="20"/>)"), 19, R"(<v x="102.5" y="20"/>)");
  EXPECT_EQ(perturbed(kLayers, {.integers = {0}, .reals = {-39.5, 1.25, 2.5, 0.0}}),
            std::pair("choose_index 4|" + jitter + "|" + jitter + "|" + jitter + "|" + jitter,
                      normalized(moved)));
  // Non-finite results are stored as the floor.
  std::string floored = kLayers;
  floored.replace(floored.find(R"(x="nan" y="inf")"), 15, R"(x="0.0001" y="0.0001")");
  EXPECT_EQ(perturbed(kLayers, {.integers = {1}, .reals = {3.0, -3.0}}).second,
            normalized(floored));
  // A missing rectangle (the mask's OutputRect) still spends the choice, and draws nothing more.
  EXPECT_EQ(perturbed(kLayers, {.integers = {3}}), Result("choose_index 4", normalized(kLayers)));
  // Without identified layers: an empty choice, no draw behind it.
  const std::string unidentified =
      R"(<XmlState><Slice><InputRect><v x="1" y="1"/></InputRect></Slice>
    <Screen uniqueId="1"/></XmlState>)";
  EXPECT_EQ(perturbed(unidentified, {}), Result("choose_index 0", normalized(unidentified)));
  // Twin layers: choosing the second twin's InputRect changes the first in document order.
  const std::string twin =
      R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/></InputRect></Slice>)";
  EXPECT_EQ(
      perturbed("<XmlState>" + twin + twin + "</XmlState>", {.integers = {2}, .reals = {1.0, 2.0}})
          .second,
      normalized(
          R"(<XmlState><Slice uniqueId="10"><InputRect><v x="2" y="3"/></InputRect></Slice>)" +
          twin + "</XmlState>"));
}

TEST(PerturbMask, ScalesPointsAtAnyDepthWithOneFactorEach) {
  auto mask = parse_doc(R"(<SliceMask><Rect>
    <v x="10" y="20"><v x="100" y="100"/></v><v x="1"/><v x="-4" y="8"/></Rect></SliceMask>)");
  ScriptedRng rng({.reals = {0.9, 1.1, 0.85}});
  m::perturb_mask(mask, rng);
  EXPECT_EQ(rng.trail(), "gen_range_f64 0.85 1.15|gen_range_f64 0.85 1.15|gen_range_f64 0.85 1.15");
  EXPECT_EQ(written(mask), normalized(R"(<SliceMask><Rect>
    <v x="9" y="18"><v x="110" y="110"/></v><v x="1"/><v x="0.0001" y="6.8"/></Rect></SliceMask>)"));
}

TEST(MutationNumbers, SixDecimalsWithTheFloorForTinyAndNonFiniteValues) {
  const std::pair<double, const char*> cases[] = {
      {12.5, "12.5"},
      {100, "100"},
      {1.0 / 3.0, "0.333333"},
      {2.0000004, "2"},
      {0.00012, "0.00012"},
      {1e20, "100000000000000000000"},
      {0.1 + 0.2, "0.3"},
      {-1.9999996, "-2"},
      {0.0000996, "0.0001"},
      {0.0, "0.0001"},
      {-0.00004, "0.0001"},
      {-0.0001, "-0.0001"},
      {NAN, "0.0001"},
      {-INFINITY, "0.0001"},
      // 2^-7 and 3 * 2^-7 have seven exact decimals, the last one a 5: ties go to even.
      {0.0078125, "0.007812"},
      {0.0234375, "0.023438"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(m::format_decimal(value), text) << value;
  EXPECT_EQ(m::format_decimal(DBL_MAX).size(), 309u);
  EXPECT_EQ(m::format_decimal(DBL_MAX).substr(0, 6), "179769");
  EXPECT_EQ(m::format_decimal(-DBL_MAX).size(), 310u);

  const auto point =
      el("v", {{"x", "12.5"}, {"y", ".5e1"}, {"a", "abc"}, {"b", " 1"}, {"c", "-INF"}});
  EXPECT_EQ(m::parse_attr_f64(point, "x"), 12.5);
  EXPECT_EQ(m::parse_attr_f64(point, "y"), 5.0);
  EXPECT_EQ(m::parse_attr_f64(point, "c"), -INFINITY);
  EXPECT_FALSE(m::parse_attr_f64(point, "a") || m::parse_attr_f64(point, "b") ||
               m::parse_attr_f64(point, "z"));
}

constexpr const char* kNested = R"(<XmlState uniqueId="0">
  <Screen uniqueId="1">
    <Slice uniqueId="10"><Mask uniqueId="11"/></Slice>
    <Mask/>
    <slice uniqueId="12"/>
  </Screen>
  <Screen uniqueId="2"><Mask uniqueId="20"/><Slice uniqueId="10" name="twin"/></Screen>
</XmlState>)";

using Refs = std::vector<m::TaggedId>;

TEST(MutationSearch, CollectsAndFindsInPreOrder) {
  auto doc = parse_doc(kNested);
  Refs layers, identities;
  m::collect_layer_refs_rec(doc, layers);
  EXPECT_EQ(layers, (Refs{{"Slice", "10"}, {"Mask", "11"}, {"Mask", "20"}, {"Slice", "10"}}));
  m::collect_ids_with_tags_rec(doc, identities);
  EXPECT_EQ(identities, (Refs{{"Screen", "1"},
                              {"Slice", "10"},
                              {"Mask", "11"},
                              {"Screen", "2"},
                              {"Mask", "20"},
                              {"Slice", "10"}}));
  std::vector<std::string> screens{"kept"};
  m::collect_ids_by_tag_rec(doc, "Screen", screens);
  EXPECT_EQ(screens, (std::vector<std::string>{"kept", "1", "2"}));

  const auto* first = m::find_element_by_unique_id_tag(doc, "10", "Slice");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->attr("name"), nullptr);
  EXPECT_EQ(m::find_element_by_unique_id_tag(doc, "10", "Mask"), nullptr);
  EXPECT_EQ(m::find_element_by_unique_id_tag(doc, "12", "Slice"), nullptr);  // case matters
  EXPECT_EQ(m::find_element_by_unique_id_tag(doc, "0", "XmlState"), &doc);
  EXPECT_EQ(m::find_element_mut_by_unique_id_tag(doc, "10", "Slice"), first);
  EXPECT_NE(m::find_element_mut_by_unique_id_tag(doc, "20", "Mask"), nullptr);

  const auto layer =
      parse_doc(R"(<Slice><Params><Param name="Name" value="nameless group"/></Params>
    <Params name="Common"><Param name="Name"/><param name="Name" value="lower case"/>
      <Param name="Name" value="Real"/><Param name="Name" value="Later"/></Params>
    <Params name="Common"><Param name="Name" value="second group"/></Params></Slice>)");
  const auto* group = m::params_by_name(layer.children, "Common");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(m::find_param_value(group->children, "Name"), "Real");
  EXPECT_EQ(m::find_param_value(group->children, "Enabled"), std::nullopt);
  EXPECT_EQ(m::params_by_name(layer.children, "Params"), nullptr);
  EXPECT_EQ(m::params_by_name(layer.children, "common"), nullptr);
}

}  // namespace
