#include <gtest/gtest.h>

#include "kivo/stress/mutations.hpp"
#include "support/presets.hpp"
#include "support/rngs.hpp"

namespace {

using kivo::stress::mutations::apply_random_mutations;
using namespace kivo::test;

// `layers` placed into one screen with a name group.
std::string one_screen(const std::string& layers) {
  return R"(<XmlState><ScreenSetup><screens><Screen uniqueId="1" name="Main">
    <Params name="Params"><Param name="Name" value="Main"/><Param name="Enabled" value="1"/></Params>
    <layers>)" +
         layers + "</layers></Screen></screens></ScreenSetup></XmlState>";
}

const std::string kRect =
    R"(<InputRect uniqueId="30" idHash="bb"><v x="0" y="0"/><v x="100" y="0"/><v x="100" y="50"/><v x="0" y="50"/></InputRect>)";

// Slice "10" named `name` with a 100 x 50 input rectangle and `more` after it.
std::string left(const std::string& name = "Left", const std::string& more = "") {
  return R"(<Slice uniqueId="10" idHash="aa"><Params name="Common"><Param name="Name" value=")" +
         name + R"("/><Param name="Enabled" value="True"/></Params>)" + kRect + more + "</Slice>";
}

// Runs one step on `before` and checks the draws (joined by '|') and the resulting document.
void expect_step(const std::string& before, Script script, double bias, const std::string& draws,
                 const std::string& after) {
  auto doc = parse_doc(before);
  ScriptedRng rng(std::move(script));
  apply_random_mutations(doc, rng, 1, bias);
  EXPECT_EQ(rng.trail(), draws);
  EXPECT_TRUE(rng.exhausted());
  EXPECT_EQ(written(doc), normalized(after));
}

// One step that finds nothing to change: `draws` are all it makes.
void unchanged(const std::string& doc, Script script, const std::string& draws, double bias = 0) {
  expect_step(doc, std::move(script), bias, draws, doc);
}

TEST(ApplyRandomMutations, ACountOfStepsEqualsThatManySingleStepsAndZeroDrawsNothing) {
  for (std::uint64_t seed = 0; seed < 10; ++seed) {
    auto together = parse_doc(one_screen(left() + left()));
    auto one_by_one = together;
    RecordingRng batch(seed), single(seed);
    apply_random_mutations(together, batch, 30, 0.7);
    for (int step = 0; step < 30; ++step) apply_random_mutations(one_by_one, single, 1, 0.7);
    EXPECT_EQ(batch.draws(), single.draws()) << seed;
    EXPECT_EQ(written(together), written(one_by_one)) << seed;
    EXPECT_EQ(batch.draws().front(), "gen_range 0 8");
  }
  auto doc = parse_doc(one_screen(left()));
  RecordingRng rng(1);
  apply_random_mutations(doc, rng, 0, 1.0);
  EXPECT_TRUE(rng.draws().empty());
  EXPECT_EQ(written(doc), normalized(one_screen(left())));
}

TEST(ApplyRandomMutations, StepsThatFindNothingKeepTheirDrawsAndMakeNoMore) {
  const std::string none = R"(<XmlState><Other uniqueId="1"/></XmlState>)";
  const std::string chosen = "gen_range 0 8|choose_index 0";
  const std::string coin = "gen_range 0 8|gen_bool 0.5";
  // Renames of layers, toggles, layer edits and mask edits with nothing to choose from.
  for (std::uint64_t kind : {1, 2, 4, 5}) unchanged(none, {.integers = {kind}}, chosen);
  // Screens whose (first) layers list holds no layer.
  unchanged(
      R"(<XmlState><Screen uniqueId="1"><layers/><layers><Slice uniqueId="2"/></layers></Screen></XmlState>)",
      {.integers = {4, 0}}, "gen_range 0 8|choose_index 1");
  unchanged(
      R"(<XmlState><Screen uniqueId="1"><layers><Other uniqueId="2"/></layers></Screen></XmlState>)",
      {.integers = {4, 0}}, "gen_range 0 8|choose_index 1");
  unchanged(one_screen("<!-- only a comment -->"), {.integers = {4, 0}},
            "gen_range 0 8|choose_index 1");
  // A slice without an input rectangle.
  unchanged(one_screen(R"(<Slice uniqueId="10"><OutputRect><v x="1" y="1"/><v x="2" y="2"/>
      <v x="3" y="3"/></OutputRect></Slice>)"),
            {.integers = {5, 0}}, "gen_range 0 8|choose_index 1");
  unchanged(none, {.integers = {6}, .flags = {true}}, coin);   // screen collision without screens
  unchanged(none, {.integers = {6}, .flags = {false}}, coin);  // layer collision without layers
  unchanged(one_screen(left()), {.integers = {6}, .flags = {true}}, coin);  // a single screen
  unchanged(R"(<XmlState><Screen uniqueId="1"/><Screen uniqueId="2" name="B"/></XmlState>)",
            {.integers = {6, 0, 1}, .flags = {true}}, coin + "|gen_range 0 2|gen_range 0 2");
  unchanged(R"(<XmlState><Other uniqueId="1"/><Slice/></XmlState>)",
            {.integers = {7}, .flags = {true}}, "gen_range 0 8|gen_bool 1", 1);
  unchanged(R"(<XmlState><Slice uniqueId="1"/></XmlState>)", {.integers = {0}}, chosen);
}

TEST(ApplyRandomMutations, RenamesAndToggles) {
  expect_step(R"(<XmlState><Screen uniqueId="1"><Params name="Params"><Param name="Name" value="A"/>
      </Params></Screen><Screen uniqueId="2" name="B"/></XmlState>)",
              {.integers = {0, 0, 42}}, 0, "gen_range 0 8|choose_index 2|gen_range 1 10000",
              R"(<XmlState><Screen uniqueId="1" name="Screen 42"><Params name="Params">
      <Param name="Name" value="Screen 42"/></Params></Screen><Screen uniqueId="2" name="B"/></XmlState>)");
  // A layer rename sets only the Common name.
  expect_step(one_screen(left() + R"(<Mask uniqueId="20" name="attr"/>)"), {.integers = {1, 0, 7}},
              0, "gen_range 0 8|choose_index 2|gen_range 1 10000",
              one_screen(left("Slice 7") + R"(<Mask uniqueId="20" name="attr"/>)"));
  // Without screens the toggle chooses among the layers.
  expect_step(
      R"(<XmlState><Mask uniqueId="1"><Params name="Common"><Param name="Enabled" value="TRUE"/>
      </Params></Mask><Slice uniqueId="2"/></XmlState>)",
      {.integers = {2, 0}}, 0, "gen_range 0 8|choose_index 2",
      R"(<XmlState><Mask uniqueId="1"><Params name="Common"><Param name="Enabled" value="0"/>
      </Params></Mask><Slice uniqueId="2"/></XmlState>)");
  // True-like values become "0", all others "1"; candidates are the screen, then the layers.
  const std::string layers = R"(
    <Slice uniqueId="10"><Params name="Common"><Param name="Enabled" value="True"/></Params></Slice>
    <Slice uniqueId="11"><Params name="Common"><Param name="Enabled" value="0"/></Params></Slice>
    <Slice uniqueId="12"><Params name="Common"><Param name="Enabled" value="yes"/></Params></Slice>
    <Mask uniqueId="13"><Params name="Common"><Param name="Enabled"/></Params></Mask>
    <Mask uniqueId="14"><Params name="Common"><Param name="Name" value="n"/></Params></Mask>
    <Mask uniqueId="15"/>)";
  const std::pair<std::string, std::string> flips[] = {
      {R"("Enabled" value="1")", R"("Enabled" value="0")"},
      {R"("Enabled" value="True")", R"("Enabled" value="0")"},
      {R"("Enabled" value="0")", R"("Enabled" value="1")"},
      {R"("Enabled" value="yes")", R"("Enabled" value="1")"},
      {R"("Enabled"/>)", R"("Enabled" value="0"/>)"},
      {"", ""},
      {"", ""}};
  for (std::uint64_t choice = 0; choice < 7; ++choice) {
    const auto& [from, to] = flips[choice];
    std::string expected = one_screen(layers);
    if (!from.empty()) {
      const std::size_t start =
          choice == 0 ? 0 : expected.find("uniqueId=\"1" + std::to_string(choice - 1) + "\"");
      expected.replace(expected.find(from, start), from.size(), to);
    }
    expect_step(one_screen(layers), {.integers = {2, choice}}, 0, "gen_range 0 8|choose_index 7",
                expected);
  }
}

TEST(ApplyRandomMutations, GeometryEdits) {
  const std::string jitter =
      R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/></InputRect></Slice>)";
  expect_step(
      one_screen(jitter), {.integers = {3, 0}, .reals = {1.0, -2.5}}, 0,
      "gen_range 0 8|choose_index 2|gen_range_f64 -40 40|gen_range_f64 -40 40",
      one_screen(R"(<Slice uniqueId="10"><InputRect><v x="2" y="0.0001"/></InputRect></Slice>)"));
  // Without bias kind seven is a rect jitter after its draw.
  expect_step(
      one_screen(jitter), {.integers = {7, 0}, .reals = {1.0, 2.0}, .flags = {false}}, -3.0,
      "gen_range 0 8|gen_bool 0|choose_index 2|gen_range_f64 -40 40|gen_range_f64 -40 40",
      one_screen(R"(<Slice uniqueId="10"><InputRect><v x="2" y="3"/></InputRect></Slice>)"));
  const std::string four = "gen_range 0 8|choose_index 1|gen_range_f64 -5 5|gen_range_f64 -5 5";
  // Two points draw two offsets and add nothing; four become a diagonally moved mask.
  const std::string two_points =
      R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/><v x="2" y="2"/></InputRect></Slice>)";
  expect_step(one_screen(two_points), {.integers = {5, 0}, .reals = {1.5, -2.0}}, 0, four,
              one_screen(two_points));
  expect_step(
      one_screen(left()), {.integers = {5, 0}, .reals = {2.5, -1.0, -3.0, 0.25}}, 0,
      four + "|gen_range_f64 -5 5|gen_range_f64 -5 5",
      one_screen(left(
          "Left",
          R"(<SliceMask><Rect><v x="2.5" y="2.5"/><v x="99" y="0.0001"/><v x="97" y="47"/><v x="0.25" y="50.25"/></Rect></SliceMask>)")));
  // Unparsable points are copied without a draw.
  expect_step(
      one_screen(
          R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/><u/><v x="a" y="1"/><v x="4"/></InputRect></Slice>)"),
      {.integers = {5, 0}, .reals = {1.0}}, 0, "gen_range 0 8|choose_index 1|gen_range_f64 -5 5",
      one_screen(
          R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/><u/><v x="a" y="1"/><v x="4"/></InputRect>
        <SliceMask><Rect><v x="2" y="2"/><v x="a" y="1"/><v x="4"/></Rect></SliceMask></Slice>)"));
  // An existing mask is removed or scaled, never doubled.
  const std::string three =
      R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/><v x="2" y="2"/><v x="3" y="3"/></InputRect>)";
  const std::string mask = R"(<SliceMask><Rect><v x="10" y="20"/></Rect></SliceMask>)";
  expect_step(one_screen(three + mask + "</Slice>"), {.integers = {5, 0}, .flags = {true}}, 0,
              "gen_range 0 8|choose_index 1|gen_bool 0.35", one_screen(three + "</Slice>"));
  expect_step(
      one_screen(three + mask + "</Slice>"),
      {.integers = {5, 0}, .reals = {0.85}, .flags = {false}}, 0,
      "gen_range 0 8|choose_index 1|gen_bool 0.35|gen_range_f64 0.85 1.15",
      one_screen(three + R"(<SliceMask><Rect><v x="8.5" y="17"/></Rect></SliceMask></Slice>)"));
}

TEST(ApplyRandomMutations, LayerDuplicatesAndRemovals) {
  const std::string copy_draws = "gen_range 0 8|choose_index 1|choose_index 1|next_u64";
  expect_step(
      one_screen(left()), {.integers = {4, 0, 0, 0xff, 0xabc, 1, 0xfedcba9876543210}}, 0,
      copy_draws + "|next_u64|next_u64|next_u64",
      one_screen(
          left() +
          R"(<Slice uniqueId="stress-u-00000000000000ff" idHash="0000000000000abc"><Params name="Common"><Param name="Name" value="Left Copy"/><Param name="Enabled" value="True"/></Params>
  <InputRect uniqueId="stress-u-0000000000000001" idHash="fedcba9876543210"><v x="0" y="0"/><v x="100" y="0"/><v x="100" y="50"/><v x="0" y="50"/></InputRect></Slice>)"));
  // The copy's name falls back to the tag, or is kept when there is no Common name.
  const std::pair<std::string, std::string> copies[] = {
      {R"(<Mask uniqueId="5"><Params name="Common"><Param name="Name"/></Params></Mask>)",
       R"(<Mask uniqueId="stress-u-0000000000000007"><Params name="Common"><Param name="Name" value="Mask Copy"/></Params></Mask>)"},
      {R"(<Slice uniqueId="5"><Params name="Common"><Param name="Other" value="x"/></Params></Slice>)",
       R"(<Slice uniqueId="stress-u-0000000000000007"><Params name="Common"><Param name="Other" value="x"/></Params></Slice>)"},
      {R"(<Slice uniqueId="5"><Params name="Params"><Param name="Name" value="x"/></Params></Slice>)",
       R"(<Slice uniqueId="stress-u-0000000000000007"><Params name="Params"><Param name="Name" value="x"/></Params></Slice>)"}};
  for (const auto& [layer, copy] : copies) {
    expect_step(one_screen("<!-- before -->" + layer), {.integers = {4, 0, 0, 7}}, 0, copy_draws,
                one_screen("<!-- before -->" + layer + copy));
  }
  // Two layers draw the removal and a position.
  const std::string mask = R"(<Mask uniqueId="20"/>)";
  expect_step(one_screen(left() + "<!-- note -->" + mask), {.integers = {4, 0, 1}, .flags = {true}},
              0, "gen_range 0 8|choose_index 1|gen_bool 0.45|choose_index 2",
              one_screen(left() + "<!-- note -->"));
  expect_step(one_screen(left() + mask), {.integers = {4, 0, 1, 3}, .flags = {false}}, 0,
              "gen_range 0 8|choose_index 1|gen_bool 0.45|choose_index 2|next_u64",
              one_screen(left() + mask + R"(<Mask uniqueId="stress-u-0000000000000003"/>)"));
}

TEST(ApplyRandomMutations, NameCollisions) {
  const std::string draws = "gen_range 0 8|gen_bool 0.5|gen_range 0 ";
  const std::string screens = R"(<XmlState>
    <Screen uniqueId="1" name="A"><Params name="Params"><Param name="Name" value="First"/></Params></Screen>
    <Screen uniqueId="2" name="Second"/></XmlState>)";
  // i = 1, j = 1 collides and moves on to 0: the first screen takes "Second".
  expect_step(screens, {.integers = {6, 1, 1}, .flags = {true}}, 0, draws + "2|gen_range 0 2",
              R"(<XmlState>
    <Screen uniqueId="1" name="Second"><Params name="Params"><Param name="Name" value="Second"/></Params></Screen>
    <Screen uniqueId="2" name="Second"/></XmlState>)");
  expect_step(screens, {.integers = {6, 0, 1}, .flags = {true}}, 0, draws + "2|gen_range 0 2",
              R"(<XmlState>
    <Screen uniqueId="1" name="A"><Params name="Params"><Param name="Name" value="First"/></Params></Screen>
    <Screen uniqueId="2" name="First"/></XmlState>)");
  // Layer names need a Common name on the source.
  const std::string layers = R"(<XmlState>
    <Slice uniqueId="1"><Params name="Common"><Param name="Name" value="One"/></Params></Slice>
    <Mask uniqueId="2" name="attr"><Params name="Common"><Param name="Name" value="Two"/></Params></Mask>
    <Mask uniqueId="3" name="no group"/></XmlState>)";
  std::string renamed = layers;
  renamed.replace(renamed.find("Two"), 3, "One");
  expect_step(layers, {.integers = {6, 0, 1}, .flags = {false}}, 0, draws + "3|gen_range 0 3",
              renamed);
  for (std::uint64_t from : {2u, 0u}) {  // a source without name, a target without group
    expect_step(layers, {.integers = {6, from, 2}, .flags = {false}}, 0, draws + "3|gen_range 0 3",
                layers);
  }
}

TEST(ApplyRandomMutations, IdentityBreaks) {
  expect_step(R"(<XmlState><Slice uniqueId="10" idHash="h"/></XmlState>)",
              {.integers = {7}, .flags = {true, true}}, 4.0,
              "gen_range 0 8|gen_bool 1|gen_bool 0.5",
              R"(<XmlState><Slice idHash="h"/></XmlState>)");
  // Different tags in front change nothing; the same shuffle with a false coin removes an id.
  const std::string doc = R"(<XmlState><Screen uniqueId="1"/><Slice uniqueId="10"/></XmlState>)";
  const std::string draws = "gen_range 0 8|gen_bool 0.5|gen_range 0 2|gen_bool 0.5";
  expect_step(doc, {.integers = {7, 1}, .flags = {true, true}}, 0.5, draws, doc);
  expect_step(doc, {.integers = {7, 1}, .flags = {true, false}}, 0.5, draws,
              R"(<XmlState><Screen/><Slice uniqueId="10"/></XmlState>)");
  // Shuffle [Screen 1, Slice 10, Slice 11]: swap 2<->0, then 1<->1, giving [11, 10, Screen 1];
  // Slice 10 takes id 11. Then a layer rename of the second reference (11) reaches the first twin.
  auto twins =
      parse_doc(R"(<XmlState><Screen uniqueId="1"><Slice uniqueId="10"><Params name="Common">
      <Param name="Name" value="a"/></Params></Slice><Slice uniqueId="11"><Params name="Common">
      <Param name="Name" value="b"/></Params></Slice></Screen></XmlState>)");
  ScriptedRng rng({.integers = {7, 0, 1, 1, 1, 5}, .flags = {true, true}});
  apply_random_mutations(twins, rng, 2, 1.0);
  EXPECT_EQ(rng.trail(),
            "gen_range 0 8|gen_bool 1|gen_range 0 3|gen_range 0 2|gen_bool 0.5|"
            "gen_range 0 8|choose_index 2|gen_range 1 10000");
  EXPECT_EQ(written(twins),
            normalized(R"(<XmlState><Screen uniqueId="1"><Slice uniqueId="11"><Params name="Common">
      <Param name="Name" value="Slice 5"/></Params></Slice><Slice uniqueId="11"><Params name="Common">
      <Param name="Name" value="b"/></Params></Slice></Screen></XmlState>)"));
}

}  // namespace
