// The corpus mutations: the exact draws each step makes and the exact document it leaves, so that
// a seed always gives the same corpus.
#include <gtest/gtest.h>

#include "kivo/stress/mutations.hpp"
#include "support/presets.hpp"
#include "support/rngs.hpp"

namespace {

namespace m = kivo::stress::mutations;
using m::apply_random_mutations;
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

// `text` with the first `from` after the previous edit replaced by its `to`, edit by edit.
std::string edited(std::string text,
                   const std::vector<std::pair<std::string, std::string>>& edits) {
  std::size_t at = 0;
  for (const auto& [from, to] : edits) {
    at = text.find(from, at);
    text.replace(at, from.size(), to);
  }
  return text;
}

// Runs `count` steps on `before` and checks the draws (joined by '|') and the resulting document.
void expect_step(const std::string& before, Script script, double bias, const std::string& draws,
                 const std::string& after, std::uint64_t count = 1) {
  auto doc = parse_doc(before);
  ScriptedRng rng(std::move(script));
  apply_random_mutations(doc, rng, count, bias);
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
  // A screen rename sets the attribute (adding it) and the Params name.
  const std::string screens = R"(<XmlState><Screen uniqueId="1"><Params name="Params">
      <Param name="Name" value="A"/></Params></Screen><Screen uniqueId="2" name="B"/></XmlState>)";
  expect_step(screens, {.integers = {0, 0, 42}}, 0,
              "gen_range 0 8|choose_index 2|gen_range 1 10000",
              edited(screens, {{R"("1">)", R"("1" name="Screen 42">)"}, {"A", "Screen 42"}}));
  // A layer rename sets only the Common name.
  expect_step(one_screen(left() + R"(<Mask uniqueId="20" name="attr"/>)"), {.integers = {1, 0, 7}},
              0, "gen_range 0 8|choose_index 2|gen_range 1 10000",
              one_screen(left("Slice 7") + R"(<Mask uniqueId="20" name="attr"/>)"));
  // Without screens the toggle chooses among the layers.
  const std::string unscreened = R"(<XmlState><Mask uniqueId="1"><Params name="Common">
      <Param name="Enabled" value="TRUE"/></Params></Mask><Slice uniqueId="2"/></XmlState>)";
  expect_step(unscreened, {.integers = {2, 0}}, 0, "gen_range 0 8|choose_index 2",
              edited(unscreened, {{"TRUE", "0"}}));
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
    const std::string before = one_screen(layers);
    // Past the screen's own flag when a layer is chosen.
    const std::string start = choice == 0 ? "" : "uniqueId=\"1" + std::to_string(choice - 1) + "\"";
    expect_step(before, {.integers = {2, choice}}, 0, "gen_range 0 8|choose_index 7",
                from.empty() ? before : edited(before, {{start, start}, {from, to}}));
  }
}

constexpr const char* kLayers = R"(<XmlState><layers>
  <Slice uniqueId="10">
    <InputRect><v x="3" y="7"/><v x="10"/><v x="abc" y="1"/><v x="100" y="20"/><w x="1" y="1"/></InputRect>
    <OutputRect><v x="nan" y="inf"/></OutputRect>
  </Slice>
  <Mask uniqueId="20"><InputRect><v x="5" y="5"/></InputRect></Mask>
</layers></XmlState>)";

TEST(ApplyRandomMutations, RectJitters) {
  // The candidates are each identified layer's input, then output rectangle.
  const std::string chosen = "gen_range 0 8|choose_index 4";
  const std::string jitter = "|gen_range_f64 -40 40|gen_range_f64 -40 40";
  // Only the parsable points move, by two draws each, and never below the floor.
  expect_step(kLayers, {.integers = {3, 0}, .reals = {-39.5, 1.25, 2.5, 0.0}}, 0,
              chosen + jitter + jitter,
              edited(kLayers, {{R"(<v x="3" y="7"/>)", R"(<v x="0.0001" y="8.25"/>)"},
                               {R"(<v x="100" y="20"/>)", R"(<v x="102.5" y="20"/>)"}}));
  // Non-finite results are stored as the floor.
  expect_step(kLayers, {.integers = {3, 1}, .reals = {3.0, -3.0}}, 0, chosen + jitter,
              edited(kLayers, {{R"(x="nan" y="inf")", R"(x="0.0001" y="0.0001")"}}));
  // A missing rectangle (the mask's OutputRect) still spends the choice.
  unchanged(kLayers, {.integers = {3, 3}}, chosen);
  // Without identified layers: an empty choice, no draw behind it.
  unchanged(R"(<XmlState><Slice><InputRect><v x="1" y="1"/></InputRect></Slice>
    <Screen uniqueId="1"/></XmlState>)",
            {.integers = {3}}, "gen_range 0 8|choose_index 0");
  // Twin layers: choosing the second twin's InputRect changes the first in document order.
  const std::string twin =
      R"(<Slice uniqueId="10"><InputRect><v x="1" y="1"/></InputRect></Slice>)";
  const std::string twins = "<XmlState>" + twin + twin + "</XmlState>";
  expect_step(twins, {.integers = {3, 2}, .reals = {1.0, 2.0}}, 0, chosen + jitter,
              edited(twins, {{R"(x="1" y="1")", R"(x="2" y="3")"}}));
  // Without bias kind seven is a rect jitter after its draw.
  expect_step(twins, {.integers = {7, 0}, .reals = {1.0, 2.0}, .flags = {false}}, -3.0,
              "gen_range 0 8|gen_bool 0|choose_index 4" + jitter,
              edited(twins, {{R"(x="1" y="1")", R"(x="2" y="3")"}}));
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
              edited(screens, {{"\"A\"", "\"Second\""}, {"First", "Second"}}));
  expect_step(screens, {.integers = {6, 0, 1}, .flags = {true}}, 0, draws + "2|gen_range 0 2",
              edited(screens, {{R"(name="Second")", R"(name="First")"}}));
  // Layer names need a Common name on the source.
  const std::string layers = R"(<XmlState>
    <Slice uniqueId="1"><Params name="Common"><Param name="Name" value="One"/></Params></Slice>
    <Mask uniqueId="2" name="attr"><Params name="Common"><Param name="Name" value="Two"/></Params></Mask>
    <Mask uniqueId="3" name="no group"/></XmlState>)";
  expect_step(layers, {.integers = {6, 0, 1}, .flags = {false}}, 0, draws + "3|gen_range 0 3",
              edited(layers, {{"Two", "One"}}));
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
  const std::string twins = R"(<XmlState><Screen uniqueId="1"><Slice uniqueId="10">
      <Params name="Common"><Param name="Name" value="a"/></Params></Slice><Slice uniqueId="11">
      <Params name="Common"><Param name="Name" value="b"/></Params></Slice></Screen></XmlState>)";
  expect_step(twins, {.integers = {7, 0, 1, 1, 1, 5}, .flags = {true, true}}, 1.0,
              "gen_range 0 8|gen_bool 1|gen_range 0 3|gen_range 0 2|gen_bool 0.5|"
              "gen_range 0 8|choose_index 2|gen_range 1 10000",
              edited(twins, {{"10", "11"}, {"\"a\"", "\"Slice 5\""}}), 2);
}

}  // namespace
