#include <gtest/gtest.h>

#include <cmath>

#include "kivo/stress/runner.hpp"
#include "kivo/stress/scripted_rng.hpp"
#include "kivo/xml_utils.hpp"

namespace {

using kivo::Element;
using kivo::stress::ExpectedOutcome;
using kivo::stress::StressOperation;
using kivo::stress::runner::collect_slices;
using kivo::stress::runner::derive_failure_message;
using kivo::stress::runner::plan_operation;
using kivo::stress::testing::ScriptedRng;

Element preset(const std::string& screens) {
  auto root = kivo::xml_utils::parse("<XmlState><ScreenSetup><screens>" + screens +
                                     "</screens></ScreenSetup></XmlState>");
  EXPECT_TRUE(root) << screens;
  return root ? *root : Element{};
}

std::string points(const std::vector<std::pair<std::string, std::string>>& xy) {
  std::string text;
  for (const auto& [x, y] : xy) text += "<v x=\"" + x + "\" y=\"" + y + "\"/>";
  return text;
}

// A slice whose input rectangle spans width x height from the origin.
std::string slice(const std::string& id, double width, double height, bool mask) {
  const std::string w = std::to_string(width), h = std::to_string(height);
  std::string text = "<Slice uniqueId=\"" + id + "\"><InputRect>" +
                     points({{"0", "0"}, {w, "0"}, {w, h}, {"0", h}}) + "</InputRect>";
  if (mask)
    text +=
        "<SliceMask><Rect>" + points({{"1", "1"}, {"2", "1"}, {"2", "2"}}) + "</Rect></SliceMask>";
  return text + "</Slice>";
}

std::string screen(const std::string& id, const std::string& layers) {
  return "<Screen uniqueId=\"" + id + "\" name=\"S" + id + "\"><layers>" + layers +
         "</layers></Screen>";
}

const auto& input_mask(const kivo::stress::runner::PlannedOperation& planned) {
  return std::get<StressOperation::InputMask>(planned.operation.value);
}

TEST(CollectSlices, MeasuresInputAspectOnlyWhenEveryPointReads) {
  struct Case {
    std::string input_rect;
    std::optional<double> aspect;
  };
  const std::vector<Case> cases = {
      {points({{"0", "0"}, {"200", "100"}}), 2.0},
      {points({{"10", "10"}, {"40", "10"}, {"40", "40"}, {"10", "40"}}), 1.0},
      {points({{"0", "0"}}), std::nullopt},
      {"", std::nullopt},
      {points({{"0", "0"}, {"abc", "100"}}), std::nullopt},
      {points({{"0", "0"}, {" 5", "100"}}), std::nullopt},
      {"<v x=\"0\" y=\"0\"/><v x=\"5\"/>", std::nullopt},
      {points({{"0.0001", "0"}, {"0.0001", "100"}}), std::nullopt},
      {points({{"0", "0"}, {"0.000001", "1"}}), std::nullopt},
      {points({{"0", "0"}, {"nan", "nan"}, {"300", "100"}}), 3.0},
      {points({{"0", "0"}, {"inf", "100"}}), std::nullopt},
      {points({{"0", "0"}, {"1e2", "+50"}}), 2.0},
  };
  for (const auto& c : cases) {
    const Element doc = preset(
        screen("1", "<Slice uniqueId=\"9\"><InputRect>" + c.input_rect + "</InputRect></Slice>"));
    const auto slices = collect_slices(doc.children);
    ASSERT_EQ(slices.size(), 1u) << c.input_rect;
    EXPECT_EQ(slices[0].input_aspect, c.aspect) << c.input_rect;
  }
}

TEST(CollectSlices, OnlyScreensFirstLayersAndSlicesWithIds) {
  const Element doc =
      preset(screen("1", slice("a", 10, 10, true) + "<Slice><InputRect/></Slice>" +
                             "<Mask uniqueId=\"m\"/>") +
             "<DmxScreen uniqueId=\"2\"><layers>" + slice("dmx", 10, 10, false) +
             "</layers></DmxScreen>" + "<Screen><layers>" + slice("b", 10, 10, false) +
             "</layers><layers>" + slice("second", 1, 1, false) + "</layers></Screen>");
  const auto slices = collect_slices(doc.children);
  ASSERT_EQ(slices.size(), 2u);
  EXPECT_EQ(slices[0].unique_id, "a");
  EXPECT_TRUE(slices[0].has_mask);
  EXPECT_EQ(slices[1].unique_id, "b");
  EXPECT_FALSE(slices[1].has_mask);
}

TEST(PlanOperation, RollBoundsSelectTheFamilies) {
  const Element doc = preset(screen(
      "1", slice("s", 200, 100, true) + slice("t", 100, 100, true) + "<Mask uniqueId=\"m\"/>"));
  struct Case {
    std::uint64_t roll;
    const char* family;
  };
  const std::vector<Case> cases = {{0, "screen"},     {24, "screen"},  {25, "slice"},
                                   {49, "slice"},     {50, "mask"},    {64, "mask"},
                                   {65, "generic"},   {81, "generic"}, {82, "overwrite"},
                                   {91, "overwrite"}, {92, "aspect"},  {99, "aspect"}};
  for (const auto& c : cases) {
    ScriptedRng rng({.integers = {c.roll, 0, 0}, .flags = {true}});
    const auto planned = plan_operation(doc, doc, rng);
    ASSERT_TRUE(planned) << c.roll;
    const std::string family = c.family;
    if (family == "screen" || family == "slice" || family == "mask") {
      const auto& copy = std::get<StressOperation::Copy>(planned->operation.value);
      EXPECT_EQ(copy.source_kind, family) << c.roll;
      EXPECT_EQ(planned->expected, ExpectedOutcome{ExpectedOutcome::Success{}});
    } else if (family == "generic") {
      EXPECT_EQ(planned->expected, ExpectedOutcome{ExpectedOutcome::Any{}}) << c.roll;
    } else if (family == "overwrite") {
      EXPECT_EQ(planned->expected,
                ExpectedOutcome{ExpectedOutcome::ErrorContains{"already has an input mask"}});
      EXPECT_FALSE(input_mask(*planned).allow_overwrite);
    } else {
      EXPECT_EQ(planned->expected,
                ExpectedOutcome{ExpectedOutcome::ErrorContains{"aspect ratios are too different"}});
      EXPECT_TRUE(input_mask(*planned).allow_overwrite);
    }
  }
}

TEST(PlanOperation, LayerCopyNamesSourceScreenAndTargetScreen) {
  const Element source = preset("<Screen><layers>" + slice("orphan", 1, 1, false) +
                                "</layers></Screen>" + screen("7", slice("s7", 1, 1, false)));
  const Element target = preset(screen("20", "") + screen("21", ""));
  ScriptedRng rng({.integers = {30, 0, 1}});
  const auto planned = plan_operation(source, target, rng);
  ASSERT_TRUE(planned);
  EXPECT_EQ(planned->operation, (StressOperation{StressOperation::Copy{"slice", "s7", "7", "21"}}));
  EXPECT_TRUE(rng.exhausted());
}

TEST(PlanOperation, NothingToPlanConsumesOnlyTheRoll) {
  const Element no_ids = preset("<Screen><layers/></Screen>");
  for (std::uint64_t roll : {0u, 30u, 55u, 70u, 85u, 95u}) {
    ScriptedRng rng({.integers = {roll}});
    EXPECT_FALSE(plan_operation(no_ids, no_ids, rng)) << roll;
    EXPECT_TRUE(rng.exhausted()) << roll;
  }
}

TEST(PlanOperation, RefusedOverwriteNeedsMeasurableMaskedSlicesOnBothSides) {
  // The target's only masked slice has a one-point input rectangle: the engine would refuse it
  // with the geometry message, so the roll falls back to an operation that accepts any outcome.
  const Element source = preset(screen("1", slice("s", 100, 100, true)));
  const Element target =
      preset(screen("2", "<Slice uniqueId=\"t\"><InputRect>" + points({{"5", "5"}}) +
                             "</InputRect><SliceMask/></Slice>"));
  ScriptedRng rng({.integers = {85, 0, 0, 0}, .flags = {true}});
  const auto planned = plan_operation(source, target, rng);
  ASSERT_TRUE(planned);
  EXPECT_EQ(planned->expected, ExpectedOutcome{ExpectedOutcome::Any{}});
  EXPECT_EQ(input_mask(*planned).target_slice_unique_id, "t");
  EXPECT_TRUE(input_mask(*planned).allow_overwrite);
}

TEST(PlanOperation, RefusedOverwriteWithoutTargetSlicesPlansNothing) {
  const Element source = preset(screen("1", slice("s", 100, 100, true)));
  const Element target = preset(screen("2", ""));
  ScriptedRng rng({.integers = {85, 0, 0}});
  EXPECT_FALSE(plan_operation(source, target, rng));
}

TEST(PlanOperation, AspectMismatchNeedsARatioAboveTheLimit) {
  struct Case {
    double source_width;
    double target_width;
    bool mismatch;
  };
  // Heights are 100: aspects 2.0 vs 1.48 differ by about 1.351, 1.35 vs 1.0 by exactly 1.35.
  for (const Case& c : {Case{200, 148, true}, Case{135, 100, false}, Case{100, 136, true}}) {
    const Element source = preset(screen("1", slice("s", c.source_width, 100, true)));
    const Element target = preset(screen("2", slice("t", c.target_width, 100, false)));
    ScriptedRng rng({.integers = {95, 0, 0}, .flags = {true}});
    const auto planned = plan_operation(source, target, rng);
    ASSERT_TRUE(planned);
    const bool planned_mismatch =
        std::holds_alternative<ExpectedOutcome::ErrorContains>(planned->expected.value);
    EXPECT_EQ(planned_mismatch, c.mismatch) << c.source_width << " vs " << c.target_width;
  }
}

TEST(DeriveFailureMessage, FaultsPassThroughAndMismatchesAreWorded) {
  using kivo::stress::ExpectedOutcome;
  EXPECT_EQ(derive_failure_message(3, {ExpectedOutcome::Success{}}, "error:boom"),
            "Outcome mismatch for operation at step 3. expected=Success, observed='error:boom'.");
  EXPECT_EQ(derive_failure_message(0, {ExpectedOutcome::Any{}}, "invariant:New duplicate"),
            "invariant:New duplicate");
  EXPECT_EQ(derive_failure_message(1, {ExpectedOutcome::Success{}}, "panic:boom"), "panic:boom");
  EXPECT_EQ(
      derive_failure_message(12, {ExpectedOutcome::ErrorContains{"a\"b\\c\nd\x01"}}, "success"),
      "Outcome mismatch for operation at step 12. expected=ErrorContains(\"a\\\"b\\\\c\\nd"
      "\\u{1}\"), observed='success'.");
  EXPECT_EQ(derive_failure_message(2, {ExpectedOutcome::Any{}}, "odd"),
            "Outcome mismatch for operation at step 2. expected=Any, observed='odd'.");
}

}  // namespace

namespace {

using Draws = std::vector<std::string>;

Draws draws_of(const Element& source, const Element& target, ScriptedRng::Script script) {
  ScriptedRng rng(std::move(script));
  plan_operation(source, target, rng);
  EXPECT_TRUE(rng.exhausted());
  return rng.draws();
}

TEST(PlanOperation, EachFamilyDrawsInItsFixedOrder) {
  const Element both = preset(screen(
      "1", slice("s", 200, 100, true) + slice("t", 100, 100, true) + "<Mask uniqueId=\"m\"/>"));
  const std::string roll = "gen_range_u32 0 100";
  EXPECT_EQ(draws_of(both, both, {.integers = {0, 0}}), (Draws{roll, "choose_index 1"}));
  EXPECT_EQ(draws_of(both, both, {.integers = {30, 1, 0}}),
            (Draws{roll, "choose_index 2", "choose_index 1"}));
  EXPECT_EQ(draws_of(both, both, {.integers = {55, 0, 0}}),
            (Draws{roll, "choose_index 1", "choose_index 1"}));
  EXPECT_EQ(draws_of(both, both, {.integers = {70, 1, 1}, .flags = {false}}),
            (Draws{roll, "choose_index 2", "choose_index 2", "gen_bool 0.55"}));
  EXPECT_EQ(draws_of(both, both, {.integers = {85, 1, 0}}),
            (Draws{roll, "choose_index 2", "choose_index 2"}));
  // The first source record (aspect 2) meets a mismatch at its second target record (aspect 1).
  EXPECT_EQ(draws_of(both, both, {.integers = {95}}), (Draws{roll, "sample 2", "sample 2"}));
}

TEST(PlanOperation, FallbacksDrawAgainAsTheGenericFamily) {
  const Element masked_source = preset(screen("1", slice("s", 100, 100, true)));
  const Element unmasked_target =
      preset(screen("2", slice("a", 100, 100, false) + slice("b", 100, 100, false)));
  const std::string roll = "gen_range_u32 0 100";
  // Refused overwrite: the source pick is drawn before the target turns out to have no mask.
  EXPECT_EQ(draws_of(masked_source, unmasked_target, {.integers = {85, 0, 0, 1}, .flags = {true}}),
            (Draws{roll, "choose_index 1", "choose_index 1", "choose_index 2", "gen_bool 0.55"}));
  // Aspect mismatch without a hit: one target order per source record that has an aspect.
  const Element mixed_source =
      preset(screen("1", slice("s", 100, 100, true) + "<Slice uniqueId=\"u\"><InputRect>" +
                             points({{"0", "0"}}) + "</InputRect><SliceMask/></Slice>"));
  EXPECT_EQ(
      draws_of(mixed_source, unmasked_target, {.integers = {95, 0, 0}, .flags = {true}}),
      (Draws{roll, "sample 2", "sample 2", "choose_index 2", "choose_index 2", "gen_bool 0.55"}));
}

}  // namespace
