#include <gtest/gtest.h>

#include "kivo/stress/runner.hpp"
#include "support/presets.hpp"
#include "support/rngs.hpp"

namespace {

using namespace kivo::test;
using kivo::Element;
using kivo::stress::ExpectedOutcome;
using kivo::stress::StressOperation;
using kivo::stress::runner::plan_operation;

std::string points(const Attrs& xy) {
  std::string text;
  for (const auto& [x, y] : xy) text += "<v x=\"" + x + "\" y=\"" + y + "\"/>";
  return text;
}

// A slice whose input rectangle spans width x height from the origin, maybe with a mask.
std::string slice(const std::string& id, double width, double height, bool mask) {
  const std::string w = std::to_string(width), h = std::to_string(height);
  return "<Slice uniqueId=\"" + id + "\"><InputRect>" +
         points({{"0", "0"}, {w, "0"}, {w, h}, {"0", h}}) + "</InputRect>" +
         (mask ? "<SliceMask><Rect>" + points({{"1", "1"}, {"2", "1"}, {"2", "2"}}) +
                     "</Rect></SliceMask>"
               : "") +
         "</Slice>";
}

Element screens(const std::string& text) {
  return parse_doc("<XmlState><ScreenSetup><screens>" + text +
                   "</screens></ScreenSetup></XmlState>");
}

Element one_screen(const std::string& id, const std::string& layers) {
  return screens("<Screen uniqueId=\"" + id + "\" name=\"S" + id + "\"><layers>" + layers +
                 "</layers></Screen>");
}

// The planned operation and its expectation in one line, and the draws it took.
std::string planned(const Element& source, const Element& target, Script script,
                    std::string* draws = nullptr, bool all_used = true) {
  ScriptedRng rng(std::move(script));
  const auto plan = plan_operation(source, target, rng);
  EXPECT_TRUE(rng.exhausted() || !all_used);
  if (draws) *draws = rng.trail();
  if (!plan) return "nothing";
  std::string text;
  if (const auto* copy = std::get_if<StressOperation::Copy>(&plan->operation.value)) {
    text = "copy " + copy->source_kind + " " + copy->source_unique_id + " " +
           copy->source_parent_unique_id.value_or("-") + " " +
           copy->target_screen_unique_id.value_or("-");
  } else {
    const auto& mask = std::get<StressOperation::InputMask>(plan->operation.value);
    text = "mask " + mask.source_slice_unique_id + " " + mask.target_slice_unique_id +
           (mask.allow_overwrite ? " overwrite" : " keep");
  }
  return text + " " + kivo::stress::runner::expectation_debug(plan->expected);
}

TEST(CollectSlices, MeasuresInputAspectOnlyWhenEveryPointReads) {
  const std::pair<std::string, std::optional<double>> cases[] = {
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
      {points({{"0", "0"}, {"1e2", "+50"}}), 2.0}};
  for (const auto& [rect, aspect] : cases) {
    const auto slices = kivo::stress::runner::collect_slices(
        one_screen("1", "<Slice uniqueId=\"9\"><InputRect>" + rect + "</InputRect></Slice>")
            .children);
    ASSERT_EQ(slices.size(), 1u) << rect;
    EXPECT_EQ(slices[0].input_aspect, aspect) << rect;
  }
  // Only slices with ids in the first layers of Screen elements count.
  const Element doc =
      screens("<Screen uniqueId=\"1\"><layers>" + slice("a", 10, 10, true) +
              "<Slice><InputRect/></Slice><Mask uniqueId=\"m\"/></layers></Screen><DmxScreen "
              "uniqueId=\"2\">"
              "<layers>" +
              slice("dmx", 10, 10, false) + "</layers></DmxScreen><Screen><layers>" +
              slice("b", 10, 10, false) + "</layers><layers>" + slice("second", 1, 1, false) +
              "</layers></Screen>");
  const auto slices = kivo::stress::runner::collect_slices(doc.children);
  ASSERT_EQ(slices.size(), 2u);
  EXPECT_EQ(slices[0].unique_id + (slices[0].has_mask ? "+" : "-") + slices[1].unique_id +
                (slices[1].has_mask ? "+" : "-"),
            "a+b-");
}

TEST(PlanOperation, RollBoundsSelectTheFamiliesWhichDrawInTheirFixedOrder) {
  const Element both = one_screen(
      "1", slice("s", 200, 100, true) + slice("t", 100, 100, true) + "<Mask uniqueId=\"m\"/>");
  // The first and the last roll of each family plan the same.
  const std::pair<std::pair<std::uint64_t, std::uint64_t>, std::string> families[] = {
      {{0, 24}, "copy screen 1 - - Success"},
      {{25, 49}, "copy slice s 1 1 Success"},
      {{50, 64}, "copy mask m 1 1 Success"},
      {{65, 81}, "mask s s overwrite Any"},
      {{82, 91}, "mask s s keep ErrorContains(\"already has an input mask\")"},
      {{92, 99}, "mask s t overwrite ErrorContains(\"aspect ratios are too different\")"}};
  for (const auto& [rolls, plan] : families) {
    for (const std::uint64_t roll : {rolls.first, rolls.second}) {
      EXPECT_EQ(planned(both, both, {.integers = {roll, 0, 0}, .flags = {true}}, nullptr, false),
                plan);
    }
  }
  const std::string roll = "gen_range_u32 0 100";
  const std::pair<Script, std::string> orders[] = {
      {{.integers = {0, 0}}, roll + "|choose_index 1"},
      {{.integers = {30, 1, 0}}, roll + "|choose_index 2|choose_index 1"},
      {{.integers = {55, 0, 0}}, roll + "|choose_index 1|choose_index 1"},
      {{.integers = {70, 1, 1}, .flags = {false}},
       roll + "|choose_index 2|choose_index 2|gen_bool 0.55"},
      {{.integers = {85, 1, 0}}, roll + "|choose_index 2|choose_index 2"},
      // The first source record (aspect 2) meets a mismatch at its second target record.
      {{.integers = {95}}, roll + "|sample 2|sample 2"}};
  for (const auto& [script, draws] : orders) {
    std::string taken;
    planned(both, both, script, &taken);
    EXPECT_EQ(taken, draws);
  }
}

TEST(PlanOperation, SourcesTargetsAndFallbacks) {
  // A layer copy names its source screen and the target screen.
  const Element source = screens("<Screen><layers>" + slice("orphan", 1, 1, false) +
                                 "</layers></Screen><Screen uniqueId=\"7\" name=\"S7\"><layers>" +
                                 slice("s7", 1, 1, false) + "</layers></Screen>");
  const Element target = screens(
      "<Screen uniqueId=\"20\"><layers/></Screen><Screen uniqueId=\"21\"><layers/></Screen>");
  EXPECT_EQ(planned(source, target, {.integers = {30, 0, 1}}), "copy slice s7 7 21 Success");
  // Nothing to plan consumes only the roll.
  const Element no_ids = screens("<Screen><layers/></Screen>");
  for (std::uint64_t roll : {0u, 30u, 55u, 70u, 85u, 95u}) {
    EXPECT_EQ(planned(no_ids, no_ids, {.integers = {roll}}), "nothing") << roll;
  }
  // The target's only masked slice has a one-point input rectangle, which the engine refuses with
  // the geometry message: the roll falls back to an operation that accepts any outcome.
  const Element masked = one_screen("1", slice("s", 100, 100, true));
  EXPECT_EQ(planned(masked,
                    one_screen("2", "<Slice uniqueId=\"t\"><InputRect>" + points({{"5", "5"}}) +
                                        "</InputRect><SliceMask/></Slice>"),
                    {.integers = {85, 0, 0, 0}, .flags = {true}}, nullptr, false),
            "mask s t overwrite Any");
  EXPECT_EQ(planned(masked, one_screen("2", ""), {.integers = {85, 0, 0}}, nullptr, false),
            "nothing");
  // Heights are 100: aspects 2.0 vs 1.48 differ by about 1.351, 1.35 vs 1.0 by exactly 1.35.
  for (const auto& [from, onto, mismatch] :
       {std::tuple{200.0, 148.0, true}, {135.0, 100.0, false}, {100.0, 136.0, true}}) {
    const std::string plan = planned(one_screen("1", slice("s", from, 100, true)),
                                     one_screen("2", slice("t", onto, 100, false)),
                                     {.integers = {95, 0, 0}, .flags = {true}}, nullptr, false);
    EXPECT_EQ(plan.find(" ErrorContains(") != std::string::npos, mismatch) << plan;
  }
  // Fallbacks draw again as the generic family.
  const Element unmasked =
      one_screen("2", slice("a", 100, 100, false) + slice("b", 100, 100, false));
  std::string draws;
  planned(masked, unmasked, {.integers = {85, 0, 0, 1}, .flags = {true}}, &draws);
  EXPECT_EQ(draws,
            "gen_range_u32 0 100|choose_index 1|choose_index 1|choose_index 2|gen_bool 0.55");
  const Element mixed =
      one_screen("1", slice("s", 100, 100, true) + "<Slice uniqueId=\"u\"><InputRect>" +
                          points({{"0", "0"}}) + "</InputRect><SliceMask/></Slice>");
  planned(mixed, unmasked, {.integers = {95, 0, 0}, .flags = {true}}, &draws);
  EXPECT_EQ(draws,
            "gen_range_u32 0 100|sample 2|sample 2|choose_index 2|choose_index 2|gen_bool 0.55");
}

// The mismatch of a success expectation is in the stored cases of tests/data/default_form.
TEST(DeriveFailureMessage, FaultsPassThroughAndMismatchesAreWorded) {
  using kivo::stress::runner::derive_failure_message;
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
