#include <gtest/gtest.h>

#include "kivo/stress/mutations.hpp"
#include "kivo/stress/recording_rng.hpp"
#include "kivo/stress/scripted_rng.hpp"
#include "kivo/stress/xml_fixture.hpp"

namespace {

using kivo::stress::mutations::perturb_mask;
using kivo::stress::mutations::perturb_rect;
using kivo::stress::testing::normalized;
using kivo::stress::testing::parse_doc;
using kivo::stress::testing::ScriptedRng;
using kivo::stress::testing::written;
using Draws = std::vector<std::string>;

constexpr const char* kLayers = R"(<XmlState><layers>
  <Slice uniqueId="10">
    <InputRect><v x="3" y="7"/><v x="10"/><v x="abc" y="1"/><v x="100" y="20"/><w x="1" y="1"/></InputRect>
    <OutputRect><v x="nan" y="inf"/></OutputRect>
  </Slice>
  <Mask uniqueId="20"><InputRect><v x="5" y="5"/></InputRect></Mask>
</layers></XmlState>)";

TEST(PerturbRect, MovesTheParsablePointsOfTheChosenRectangle) {
  auto doc = parse_doc(kLayers);
  ScriptedRng rng({.integers = {0}, .reals = {-39.5, 1.25, 2.5, 0.0}});
  perturb_rect(doc, rng);
  EXPECT_EQ(rng.draws(), (Draws{"choose_index 4", "gen_range_f64 -40 40", "gen_range_f64 -40 40",
                                "gen_range_f64 -40 40", "gen_range_f64 -40 40"}));
  EXPECT_EQ(written(doc), normalized(R"(<XmlState><layers>
  <Slice uniqueId="10">
    <InputRect><v x="0.0001" y="8.25"/><v x="10"/><v x="abc" y="1"/><v x="102.5" y="20"/><w x="1" y="1"/></InputRect>
    <OutputRect><v x="nan" y="inf"/></OutputRect>
  </Slice>
  <Mask uniqueId="20"><InputRect><v x="5" y="5"/></InputRect></Mask>
</layers></XmlState>)"));
}

TEST(PerturbRect, StoresNonFiniteResultsAsTheFloor) {
  auto doc = parse_doc(kLayers);
  ScriptedRng rng({.integers = {1}, .reals = {3.0, -3.0}});
  perturb_rect(doc, rng);
  EXPECT_TRUE(rng.exhausted());
  const auto& slice = *doc.children[0].as_element()->children[0].as_element();
  const auto& point = *slice.children[1].as_element()->children[0].as_element();
  EXPECT_EQ(*point.attr("x"), "0.0001");
  EXPECT_EQ(*point.attr("y"), "0.0001");
}

TEST(PerturbRect, AMissingRectangleStillSpendsTheChoice) {
  auto doc = parse_doc(kLayers);
  const std::string before = written(doc);
  ScriptedRng rng({.integers = {3}});  // the mask's OutputRect, which it lacks
  perturb_rect(doc, rng);
  EXPECT_EQ(rng.draws(), (Draws{"choose_index 4"}));
  EXPECT_EQ(written(doc), before);
}

TEST(PerturbRect, DrawsNothingWithoutIdentifiedLayers) {
  auto doc = parse_doc(R"(<XmlState><Slice><InputRect><v x="1" y="1"/></InputRect></Slice>
    <Screen uniqueId="1"/></XmlState>)");
  const std::string before = written(doc);
  ScriptedRng rng({});
  perturb_rect(doc, rng);
  EXPECT_EQ(rng.draws(), (Draws{"choose_index 0"}));  // an empty choice, no draw behind it
  EXPECT_EQ(written(doc), before);
}

TEST(PerturbRect, TwinLayersAlwaysChangeTheFirstInDocumentOrder) {
  auto doc = parse_doc(R"(<XmlState>
    <Slice uniqueId="10"><InputRect><v x="1" y="1"/></InputRect></Slice>
    <Slice uniqueId="10"><InputRect><v x="1" y="1"/></InputRect></Slice></XmlState>)");
  ScriptedRng rng({.integers = {2}, .reals = {1.0, 2.0}});  // the second twin's InputRect
  perturb_rect(doc, rng);
  EXPECT_EQ(written(doc), normalized(R"(<XmlState>
    <Slice uniqueId="10"><InputRect><v x="2" y="3"/></InputRect></Slice>
    <Slice uniqueId="10"><InputRect><v x="1" y="1"/></InputRect></Slice></XmlState>)"));
}

TEST(PerturbRect, DrawsOncePlusTwicePerMovedPoint) {
  for (std::uint64_t seed = 0; seed < 20; ++seed) {
    auto doc = parse_doc(kLayers);
    kivo::stress::testing::RecordingRng rng(seed);
    perturb_rect(doc, rng);
    // Candidates in order: slice InputRect (2 movable points), slice OutputRect (1), mask
    // InputRect (1), mask OutputRect (missing).
    const std::size_t moved[] = {2, 1, 1, 0};
    auto replay = kivo::stress::StressRng::seed_from_u64(seed);
    const auto chosen = replay.gen_range(0, 4);
    EXPECT_EQ(rng.draws().size(), 1 + 2 * moved[chosen]) << seed;
  }
}

TEST(PerturbMask, ScalesPointsAtAnyDepthWithOneFactorEach) {
  auto mask = parse_doc(R"(<SliceMask><Rect>
    <v x="10" y="20"><v x="100" y="100"/></v><v x="1"/><v x="-4" y="8"/></Rect></SliceMask>)");
  ScriptedRng rng({.reals = {0.9, 1.1, 0.85}});
  perturb_mask(mask, rng);
  EXPECT_EQ(rng.draws(), (Draws{"gen_range_f64 0.85 1.15", "gen_range_f64 0.85 1.15",
                                "gen_range_f64 0.85 1.15"}));
  EXPECT_EQ(written(mask), normalized(R"(<SliceMask><Rect>
    <v x="9" y="18"><v x="110" y="110"/></v><v x="1"/><v x="0.0001" y="6.8"/></Rect></SliceMask>)"));
}

}  // namespace
