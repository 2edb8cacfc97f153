#include <gtest/gtest.h>

#include "kivo/stress/mutations.hpp"
#include "kivo/stress/recording_rng.hpp"
#include "kivo/stress/scripted_rng.hpp"
#include "kivo/stress/xml_fixture.hpp"

namespace {

using kivo::stress::mutations::apply_random_mutations;
using kivo::stress::testing::normalized;
using kivo::stress::testing::parse_doc;
using kivo::stress::testing::RecordingRng;
using kivo::stress::testing::ScriptedRng;
using kivo::stress::testing::written;
using Draws = std::vector<std::string>;

// `layers` placed into one screen with a name group.
std::string one_screen(const std::string& layers) {
  return R"(<XmlState><ScreenSetup><screens><Screen uniqueId="1" name="Main">
    <Params name="Params"><Param name="Name" value="Main"/><Param name="Enabled" value="1"/></Params>
    <layers>)" +
         layers + "</layers></Screen></screens></ScreenSetup></XmlState>";
}

const std::string kSlice = R"(<Slice uniqueId="10" idHash="aa">
  <Params name="Common"><Param name="Name" value="Left"/><Param name="Enabled" value="True"/></Params>
  <InputRect uniqueId="30" idHash="bb"><v x="0" y="0"/><v x="100" y="0"/><v x="100" y="50"/><v x="0" y="50"/></InputRect>
</Slice>)";

// Runs one step on `before` and checks the draws and the resulting document.
void expect_step(const std::string& before, ScriptedRng::Script script, double bias,
                 const Draws& draws, const std::string& after) {
  auto doc = parse_doc(before);
  ScriptedRng rng(std::move(script));
  apply_random_mutations(doc, rng, 1, bias);
  EXPECT_EQ(rng.draws(), draws);
  EXPECT_TRUE(rng.exhausted());
  EXPECT_EQ(written(doc), normalized(after));
}

TEST(ApplyRandomMutations, CountZeroDrawsNothingAndChangesNothing) {
  auto doc = parse_doc(one_screen(kSlice));
  const std::string before = written(doc);
  RecordingRng rng(1);
  apply_random_mutations(doc, rng, 0, 1.0);
  EXPECT_TRUE(rng.draws().empty());
  EXPECT_EQ(written(doc), before);
}

TEST(ApplyRandomMutations, ACountOfStepsEqualsThatManySingleSteps) {
  for (std::uint64_t seed = 0; seed < 10; ++seed) {
    auto together = parse_doc(one_screen(kSlice + kSlice));
    auto one_by_one = together;
    RecordingRng batch(seed);
    RecordingRng single(seed);
    apply_random_mutations(together, batch, 30, 0.7);
    for (int step = 0; step < 30; ++step) apply_random_mutations(one_by_one, single, 1, 0.7);
    EXPECT_EQ(batch.draws(), single.draws()) << seed;
    EXPECT_EQ(written(together), written(one_by_one)) << seed;
    EXPECT_EQ(batch.draws().front(), "gen_range 0 8");
  }
}

TEST(ApplyRandomMutations, StepsThatFindNothingKeepTheirDrawsAndMakeNoMore) {
  struct Case {
    const char* what;
    std::string doc;
    ScriptedRng::Script script;
    double bias;
    Draws draws;
  };
  const std::string no_screens = R"(<XmlState><Other uniqueId="1"/></XmlState>)";
  const std::string two_screens_unnamed =
      R"(<XmlState><Screen uniqueId="1"/><Screen uniqueId="2" name="B"/></XmlState>)";
  const std::string slice_without_input_rect = one_screen(
      R"(<Slice uniqueId="10"><OutputRect><v x="1" y="1"/><v x="2" y="2"/><v x="3" y="3"/></OutputRect></Slice>)");
  const std::string first_layers_empty = R"(<XmlState><Screen uniqueId="1"><layers/>
      <layers><Slice uniqueId="2"/></layers></Screen></XmlState>)";
  const std::string layers_without_layers =
      R"(<XmlState><Screen uniqueId="1"><layers><Other uniqueId="2"/></layers></Screen></XmlState>)";
  for (const Case& c : {
           Case{"layer rename without layers",
                no_screens,
                {.integers = {1}},
                0,
                {"gen_range 0 8", "choose_index 0"}},
           Case{"toggle without candidates",
                no_screens,
                {.integers = {2}},
                0,
                {"gen_range 0 8", "choose_index 0"}},
           Case{"rect jitter without layers",
                no_screens,
                {.integers = {3}},
                0,
                {"gen_range 0 8", "choose_index 0"}},
           Case{"layer edit without screens",
                no_screens,
                {.integers = {4}},
                0,
                {"gen_range 0 8", "choose_index 0"}},
           Case{"layer edit in an empty first layers",
                first_layers_empty,
                {.integers = {4, 0}},
                0,
                {"gen_range 0 8", "choose_index 1"}},
           Case{"layer edit without Slice or Mask",
                layers_without_layers,
                {.integers = {4, 0}},
                0,
                {"gen_range 0 8", "choose_index 1"}},
           Case{"mask edit without slices",
                no_screens,
                {.integers = {5}},
                0,
                {"gen_range 0 8", "choose_index 0"}},
           Case{"mask edit without InputRect",
                slice_without_input_rect,
                {.integers = {5, 0}},
                0,
                {"gen_range 0 8", "choose_index 1"}},
           Case{"screen collision without screens",
                no_screens,
                {.integers = {6}, .flags = {true}},
                0,
                {"gen_range 0 8", "gen_bool 0.5"}},
           Case{"layer collision without layers",
                no_screens,
                {.integers = {6}, .flags = {false}},
                0,
                {"gen_range 0 8", "gen_bool 0.5"}},
           Case{"screen collision from a nameless screen",
                two_screens_unnamed,
                {.integers = {6, 0, 1}, .flags = {true}},
                0,
                {"gen_range 0 8", "gen_bool 0.5", "gen_range 0 2", "gen_range 0 2"}},
           Case{"identity break without identities",
                R"(<XmlState><Other uniqueId="1"/><Slice/></XmlState>)",
                {.integers = {7}, .flags = {true}},
                1,
                {"gen_range 0 8", "gen_bool 1"}},
       }) {
    SCOPED_TRACE(c.what);
    expect_step(c.doc, c.script, c.bias, c.draws, c.doc);
  }
}

TEST(RectJitter, KindThreeMovesThePointsOfTheChosenRectangle) {
  expect_step(
      one_screen(R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/></InputRect></Slice>)"),
      {.integers = {3, 0}, .reals = {1.0, -2.5}}, 0,
      {"gen_range 0 8", "choose_index 2", "gen_range_f64 -40 40", "gen_range_f64 -40 40"},
      one_screen(R"(<Slice uniqueId="10"><InputRect><v x="2" y="0.0001"/></InputRect></Slice>)"));
}

TEST(EnabledToggle, WithoutScreensChoosesAmongTheLayers) {
  expect_step(
      R"(<XmlState><Mask uniqueId="1"><Params name="Common"><Param name="Enabled" value="TRUE"/>
      </Params></Mask><Slice uniqueId="2"/></XmlState>)",
      {.integers = {2, 0}}, 0, {"gen_range 0 8", "choose_index 2"},
      R"(<XmlState><Mask uniqueId="1"><Params name="Common"><Param name="Enabled" value="0"/>
      </Params></Mask><Slice uniqueId="2"/></XmlState>)");
}

TEST(ScreenRename, NamesTheAttributeAndTheParameter) {
  expect_step(R"(<XmlState><Screen uniqueId="1"><Params name="Params"><Param name="Name" value="A"/>
      </Params></Screen><Screen uniqueId="2" name="B"/></XmlState>)",
              {.integers = {0, 0, 42}}, 0, {"gen_range 0 8", "choose_index 2", "gen_range 1 10000"},
              R"(<XmlState><Screen uniqueId="1" name="Screen 42"><Params name="Params">
      <Param name="Name" value="Screen 42"/></Params></Screen><Screen uniqueId="2" name="B"/></XmlState>)");
}

TEST(ScreenRename, DrawsNoNumberWithoutScreens) {
  expect_step(R"(<XmlState><Slice uniqueId="1"/></XmlState>)", {.integers = {0}}, 0,
              {"gen_range 0 8", "choose_index 0"}, R"(<XmlState><Slice uniqueId="1"/></XmlState>)");
}

TEST(LayerRename, SetsOnlyTheCommonName) {
  expect_step(one_screen(kSlice + R"(<Mask uniqueId="20" name="attr"/>)"), {.integers = {1, 0, 7}},
              0, {"gen_range 0 8", "choose_index 2", "gen_range 1 10000"},
              one_screen(R"(<Slice uniqueId="10" idHash="aa">
  <Params name="Common"><Param name="Name" value="Slice 7"/><Param name="Enabled" value="True"/></Params>
  <InputRect uniqueId="30" idHash="bb"><v x="0" y="0"/><v x="100" y="0"/><v x="100" y="50"/><v x="0" y="50"/></InputRect>
</Slice><Mask uniqueId="20" name="attr"/>)"));
}

TEST(EnabledToggle, FlipsTrueLikeValuesToZeroAndAllOthersToOne) {
  // Candidates: the screen first (Enabled "1"), then the layers in order.
  const std::string layers = R"(
    <Slice uniqueId="10"><Params name="Common"><Param name="Enabled" value="True"/></Params></Slice>
    <Slice uniqueId="11"><Params name="Common"><Param name="Enabled" value="0"/></Params></Slice>
    <Slice uniqueId="12"><Params name="Common"><Param name="Enabled" value="yes"/></Params></Slice>
    <Mask uniqueId="13"><Params name="Common"><Param name="Enabled"/></Params></Mask>
    <Mask uniqueId="14"><Params name="Common"><Param name="Name" value="n"/></Params></Mask>
    <Mask uniqueId="15"/>)";
  struct Case {
    std::uint64_t choice;
    std::string from;
    std::string to;
  };
  for (const Case& c : {Case{0, R"(name="Enabled" value="1")", R"(name="Enabled" value="0")"},
                        Case{1, R"(name="Enabled" value="True")", R"(name="Enabled" value="0")"},
                        Case{2, R"(name="Enabled" value="0")", R"(name="Enabled" value="1")"},
                        Case{3, R"(name="Enabled" value="yes")", R"(name="Enabled" value="1")"},
                        Case{4, R"(name="Enabled"/>)", R"(name="Enabled" value="0"/>)"},
                        Case{5, "", ""}, Case{6, "", ""}}) {
    std::string expected = one_screen(layers);
    if (!c.from.empty()) {
      // The screen's Enabled comes first in the text, so replace the first hit at or after the
      // chosen layer's tag.
      const std::size_t start =
          c.choice == 0 ? 0 : expected.find("uniqueId=\"1" + std::to_string(c.choice - 1) + "\"");
      const std::size_t at = expected.find(c.from, start);
      expected.replace(at, c.from.size(), c.to);
    }
    SCOPED_TRACE(c.choice);
    expect_step(one_screen(layers), {.integers = {2, c.choice}}, 0,
                {"gen_range 0 8", "choose_index 7"}, expected);
  }
}

TEST(LayerDuplicate, ASingleLayerIsCopiedWithFreshIdentitiesAndACopyName) {
  expect_step(
      one_screen(kSlice), {.integers = {4, 0, 0, 0xff, 0xabc, 1, 0xfedcba9876543210}}, 0,
      {"gen_range 0 8", "choose_index 1", "choose_index 1", "next_u64", "next_u64", "next_u64",
       "next_u64"},
      one_screen(kSlice + R"(<Slice uniqueId="stress-u-00000000000000ff" idHash="0000000000000abc">
  <Params name="Common"><Param name="Name" value="Left Copy"/><Param name="Enabled" value="True"/></Params>
  <InputRect uniqueId="stress-u-0000000000000001" idHash="fedcba9876543210"><v x="0" y="0"/><v x="100" y="0"/><v x="100" y="50"/><v x="0" y="50"/></InputRect>
</Slice>)"));
}

TEST(LayerDuplicate, FallsBackToTheTagOrKeepsTheName) {
  struct Case {
    std::string layer;
    std::string copy;
  };
  for (
      const Case& c : {
          Case{
              R"(<Mask uniqueId="5"><Params name="Common"><Param name="Name"/></Params></Mask>)",
              R"(<Mask uniqueId="stress-u-0000000000000007"><Params name="Common"><Param name="Name" value="Mask Copy"/></Params></Mask>)"},
          Case{
              R"(<Slice uniqueId="5"><Params name="Common"><Param name="Other" value="x"/></Params></Slice>)",
              R"(<Slice uniqueId="stress-u-0000000000000007"><Params name="Common"><Param name="Other" value="x"/></Params></Slice>)"},
          Case{
              R"(<Slice uniqueId="5"><Params name="Params"><Param name="Name" value="x"/></Params></Slice>)",
              R"(<Slice uniqueId="stress-u-0000000000000007"><Params name="Params"><Param name="Name" value="x"/></Params></Slice>)"},
      }) {
    SCOPED_TRACE(c.layer);
    expect_step(one_screen("<!-- before -->" + c.layer), {.integers = {4, 0, 0, 7}}, 0,
                {"gen_range 0 8", "choose_index 1", "choose_index 1", "next_u64"},
                one_screen("<!-- before -->" + c.layer + c.copy));
  }
}

TEST(LayerRemove, TwoLayersDrawTheRemovalAndAPosition) {
  const std::string mask = R"(<Mask uniqueId="20"/>)";
  expect_step(one_screen(kSlice + "<!-- note -->" + mask), {.integers = {4, 0, 1}, .flags = {true}},
              0, {"gen_range 0 8", "choose_index 1", "gen_bool 0.45", "choose_index 2"},
              one_screen(kSlice + "<!-- note -->"));
  expect_step(one_screen(kSlice + mask), {.integers = {4, 0, 1, 3}, .flags = {false}}, 0,
              {"gen_range 0 8", "choose_index 1", "gen_bool 0.45", "choose_index 2", "next_u64"},
              one_screen(kSlice + mask + R"(<Mask uniqueId="stress-u-0000000000000003"/>)"));
}

TEST(LayerRemove, ScreensWithoutLayersAreLeftAlone) {
  for (const std::string& layers : {std::string(), std::string("<!-- only a comment -->")}) {
    expect_step(one_screen(layers), {.integers = {4, 0}}, 0, {"gen_range 0 8", "choose_index 1"},
                one_screen(layers));
  }
}

TEST(SliceMaskEdit, TwoPointsDrawTwoOffsetsAndAddNothing) {
  const std::string slice =
      R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/><v x="2" y="2"/></InputRect></Slice>)";
  expect_step(one_screen(slice), {.integers = {5, 0}, .reals = {1.5, -2.0}}, 0,
              {"gen_range 0 8", "choose_index 1", "gen_range_f64 -5 5", "gen_range_f64 -5 5"},
              one_screen(slice));
}

TEST(SliceMaskEdit, FourPointsBecomeADiagonallyMovedMask) {
  expect_step(one_screen(kSlice), {.integers = {5, 0}, .reals = {2.5, -1.0, -3.0, 0.25}}, 0,
              {"gen_range 0 8", "choose_index 1", "gen_range_f64 -5 5", "gen_range_f64 -5 5",
               "gen_range_f64 -5 5", "gen_range_f64 -5 5"},
              one_screen(R"(<Slice uniqueId="10" idHash="aa">
  <Params name="Common"><Param name="Name" value="Left"/><Param name="Enabled" value="True"/></Params>
  <InputRect uniqueId="30" idHash="bb"><v x="0" y="0"/><v x="100" y="0"/><v x="100" y="50"/><v x="0" y="50"/></InputRect>
  <SliceMask><Rect><v x="2.5" y="2.5"/><v x="99" y="0.0001"/><v x="97" y="47"/><v x="0.25" y="50.25"/></Rect></SliceMask>
</Slice>)"));
}

TEST(SliceMaskEdit, UnparsablePointsAreCopiedWithoutADraw) {
  expect_step(
      one_screen(
          R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/><u/><v x="a" y="1"/><v x="4"/></InputRect></Slice>)"),
      {.integers = {5, 0}, .reals = {1.0}}, 0,
      {"gen_range 0 8", "choose_index 1", "gen_range_f64 -5 5"},
      one_screen(
          R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/><u/><v x="a" y="1"/><v x="4"/></InputRect>
        <SliceMask><Rect><v x="2" y="2"/><v x="a" y="1"/><v x="4"/></Rect></SliceMask></Slice>)"));
}

TEST(SliceMaskEdit, AnExistingMaskIsRemovedOrScaledNeverDoubled) {
  const std::string mask = R"(<SliceMask><Rect><v x="10" y="20"/></Rect></SliceMask>)";
  const std::string slice_start =
      R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/><v x="2" y="2"/><v x="3" y="3"/></InputRect>)";
  expect_step(one_screen(slice_start + mask + "</Slice>"), {.integers = {5, 0}, .flags = {true}}, 0,
              {"gen_range 0 8", "choose_index 1", "gen_bool 0.35"},
              one_screen(slice_start + "</Slice>"));
  expect_step(one_screen(slice_start + mask + "</Slice>"),
              {.integers = {5, 0}, .reals = {0.85}, .flags = {false}}, 0,
              {"gen_range 0 8", "choose_index 1", "gen_bool 0.35", "gen_range_f64 0.85 1.15"},
              one_screen(slice_start +
                         R"(<SliceMask><Rect><v x="8.5" y="17"/></Rect></SliceMask></Slice>)"));
}

TEST(NameCollision, ASingleScreenStopsAfterTheCoinFlip) {
  expect_step(one_screen(kSlice), {.integers = {6}, .flags = {true}}, 0,
              {"gen_range 0 8", "gen_bool 0.5"}, one_screen(kSlice));
}

TEST(NameCollision, ScreenNamesComeFromTheGroupOrTheAttribute) {
  const std::string screens = R"(<XmlState>
    <Screen uniqueId="1" name="A"><Params name="Params"><Param name="Name" value="First"/></Params></Screen>
    <Screen uniqueId="2" name="Second"/></XmlState>)";
  // i = 1, j = 1 collides and moves on to 0: the first screen takes "Second".
  expect_step(screens, {.integers = {6, 1, 1}, .flags = {true}}, 0,
              {"gen_range 0 8", "gen_bool 0.5", "gen_range 0 2", "gen_range 0 2"},
              R"(<XmlState>
    <Screen uniqueId="1" name="Second"><Params name="Params"><Param name="Name" value="Second"/></Params></Screen>
    <Screen uniqueId="2" name="Second"/></XmlState>)");
  expect_step(screens, {.integers = {6, 0, 1}, .flags = {true}}, 0,
              {"gen_range 0 8", "gen_bool 0.5", "gen_range 0 2", "gen_range 0 2"},
              R"(<XmlState>
    <Screen uniqueId="1" name="A"><Params name="Params"><Param name="Name" value="First"/></Params></Screen>
    <Screen uniqueId="2" name="First"/></XmlState>)");
}

TEST(NameCollision, LayerNamesNeedACommonNameOnTheSource) {
  const std::string layers = R"(<XmlState>
    <Slice uniqueId="1"><Params name="Common"><Param name="Name" value="One"/></Params></Slice>
    <Mask uniqueId="2" name="attr"><Params name="Common"><Param name="Name" value="Two"/></Params></Mask>
    <Mask uniqueId="3" name="no group"/></XmlState>)";
  expect_step(layers, {.integers = {6, 0, 1}, .flags = {false}}, 0,
              {"gen_range 0 8", "gen_bool 0.5", "gen_range 0 3", "gen_range 0 3"},
              R"(<XmlState>
    <Slice uniqueId="1"><Params name="Common"><Param name="Name" value="One"/></Params></Slice>
    <Mask uniqueId="2" name="attr"><Params name="Common"><Param name="Name" value="One"/></Params></Mask>
    <Mask uniqueId="3" name="no group"/></XmlState>)");
  for (std::uint64_t from : {2u, 0u}) {  // a source without name, a target without group
    expect_step(layers, {.integers = {6, from, 2}, .flags = {false}}, 0,
                {"gen_range 0 8", "gen_bool 0.5", "gen_range 0 3", "gen_range 0 3"}, layers);
  }
}

TEST(IdentityBreak, WithoutBiasKindSevenIsRectJitterAfterItsDraw) {
  const std::string slice =
      R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/></InputRect></Slice>)";
  expect_step(
      one_screen(slice), {.integers = {7, 0}, .reals = {1.0, 2.0}, .flags = {false}}, -3.0,
      {"gen_range 0 8", "gen_bool 0", "choose_index 2", "gen_range_f64 -40 40",
       "gen_range_f64 -40 40"},
      one_screen(R"(<Slice uniqueId="10"><InputRect><v x="2" y="3"/></InputRect></Slice>)"));
}

TEST(IdentityBreak, ASingleReferenceLosesItsIdAfterTheCoinFlip) {
  expect_step(R"(<XmlState><Slice uniqueId="10" idHash="h"/></XmlState>)",
              {.integers = {7}, .flags = {true, true}}, 4.0,
              {"gen_range 0 8", "gen_bool 1", "gen_bool 0.5"},
              R"(<XmlState><Slice idHash="h"/></XmlState>)");
}

TEST(IdentityBreak, DifferentTagsInFrontChangeNothing) {
  const std::string doc = R"(<XmlState><Screen uniqueId="1"/><Slice uniqueId="10"/></XmlState>)";
  expect_step(doc, {.integers = {7, 1}, .flags = {true, true}}, 0.5,
              {"gen_range 0 8", "gen_bool 0.5", "gen_range 0 2", "gen_bool 0.5"}, doc);
  // The same shuffle with a false coin removes the screen's id.
  expect_step(doc, {.integers = {7, 1}, .flags = {true, false}}, 0.5,
              {"gen_range 0 8", "gen_bool 0.5", "gen_range 0 2", "gen_bool 0.5"},
              R"(<XmlState><Screen/><Slice uniqueId="10"/></XmlState>)");
}

TEST(IdentityBreak, ADuplicatedIdLeavesTheFirstTwinReachable) {
  auto doc = parse_doc(R"(<XmlState><Screen uniqueId="1"><Slice uniqueId="10"><Params name="Common">
      <Param name="Name" value="a"/></Params></Slice><Slice uniqueId="11"><Params name="Common">
      <Param name="Name" value="b"/></Params></Slice></Screen></XmlState>)");
  // Shuffle [Screen 1, Slice 10, Slice 11]: swap 2<->0, then 1<->1, giving [11, 10, Screen 1];
  // Slice 10 takes id 11. Then a layer rename of the second reference (11) reaches the first twin.
  ScriptedRng rng({.integers = {7, 0, 1, 1, 1, 5}, .flags = {true, true}});
  apply_random_mutations(doc, rng, 2, 1.0);
  EXPECT_EQ(rng.draws(),
            (Draws{"gen_range 0 8", "gen_bool 1", "gen_range 0 3", "gen_range 0 2", "gen_bool 0.5",
                   "gen_range 0 8", "choose_index 2", "gen_range 1 10000"}));
  EXPECT_EQ(written(doc),
            normalized(R"(<XmlState><Screen uniqueId="1"><Slice uniqueId="11"><Params name="Common">
      <Param name="Name" value="Slice 5"/></Params></Slice><Slice uniqueId="11"><Params name="Common">
      <Param name="Name" value="b"/></Params></Slice></Screen></XmlState>)"));
}

}  // namespace
