#include <gtest/gtest.h>

#include <stdexcept>

#include "kivo/stress/replay.hpp"
#include "kivo/stress/replay/fault_hook.hpp"
#include "kivo/validation.hpp"
#include "support/presets.hpp"

namespace kivo::stress::replay {
namespace {

using namespace kivo::test;

Element slice_mask(const std::string& id) {
  return el("SliceMask", {{"uniqueId", id}, {"idHash", "mh" + id}},
            {vertices("Shape", {{"25", "12.5"}, {"100", "50"}})});
}

// Source: screen "1" with slice "10" (input 100 x 50) holding a mask.
Element source_preset() {
  return preset(
      {screen("1", "Main",
              {slice("10", "Left",
                     {vertices("InputRect", {{"0", "0"}, {"100", "0"}, {"100", "50"}, {"0", "50"}}),
                      slice_mask("11")})})});
}

// Target: screen "30" with slice "20" (input 200 x 100), optionally holding a mask.
Element target_preset(bool with_mask) {
  std::vector<Element> children = {vertices("InputRect", {{"10", "20"}, {"210", "120"}})};
  if (with_mask) children.push_back(slice_mask("500"));
  return preset({screen("30", "Other", {slice("20", "Right", std::move(children))})});
}

StressOperation copy_op(std::string kind, std::string id, std::optional<std::string> parent = {},
                        std::optional<std::string> target_screen = {}) {
  return {StressOperation::Copy{std::move(kind), std::move(id), std::move(parent),
                                std::move(target_screen)}};
}

StressOperation mask_op(std::string from, std::string to, bool overwrite) {
  return {StressOperation::InputMask{std::move(from), std::move(to), overwrite}};
}

// Installs an engine hook for one scope.
struct EngineHook {
  explicit EngineHook(test_hooks::EngineHook hook) { test_hooks::set_engine_hook(hook); }
  ~EngineHook() { test_hooks::set_engine_hook(nullptr); }
};

void append_screen(Element& target, Element screen_element) {
  target.children[0].as_element()->children[0].as_element()->children.push_back(
      XMLNode{std::move(screen_element)});
}

TEST(ExecuteWithInvariants, OutcomesOfSuccessesRefusalsAndFaults) {
  const auto thrower = [](Element&) { throw std::runtime_error("boom"); };
  // Both duplicates at once: uniqueId is reported first.
  const auto twins = [](Element& target) {
    for (int i = 0; i < 2; ++i)
      append_screen(target, el("Screen", {{"uniqueId", "42"}, {"idHash", "dup"}}));
  };
  const auto hash_twins = [](Element& target) {
    append_screen(target, el("Screen", {{"uniqueId", "43"}, {"idHash", "dup"}}));
    append_screen(target, el("Screen", {{"uniqueId", "44"}, {"idHash", "dup"}}));
  };
  const struct {
    test_hooks::EngineHook hook;
    bool target_has_mask;
    StressOperation operation;
    std::string outcome;
  } cases[] = {
      {nullptr, false, copy_op("screen", "1"), "success"},
      {nullptr, false, copy_op("slice", "10", "1", "30"), "success"},
      {nullptr, false, mask_op("10", "20", false), "success"},
      {nullptr, true, mask_op("10", "20", true), "success"},
      {nullptr, true, mask_op("10", "20", false),
       "error:Validation failed: Target slice already has an input mask. Confirm overwrite and "
       "retry."},
      {nullptr, false, mask_op("nope", "20", true), "error:Source node not found"},
      {nullptr, false, copy_op("slice", "10", "1", "99"), "error:Target screen not found"},
      // An unsupported kind (they are lower case) never reaches the engine.
      {thrower, false, copy_op("Screen", "1"),
       "error:Validation failed: Unsupported source kind 'Screen' in replay"},
      {thrower, false, copy_op("screen", "1"), "panic:boom"},
      {thrower, false, mask_op("10", "20", false), "panic:boom"},
      {[](Element&) { throw 42; }, false, copy_op("screen", "1"), "panic:unknown"},
      {twins, false, copy_op("screen", "1"),
       "invariant:New duplicate uniqueId values introduced: 42"},
      {hash_twins, false, mask_op("10", "20", false),
       "invariant:New duplicate idHash values introduced: dup"},
      // The round trip after the copy (its texts are the checks' own).
      {[](Element& target) { target.name = "Preset"; }, false, copy_op("screen", "1"),
       "invariant:Root node is 'Preset' instead of 'XmlState'."},
  };
  const Element source = source_preset();
  for (const auto& c : cases) {
    EngineHook installed(c.hook);
    Element target = target_preset(c.target_has_mask);
    EXPECT_EQ(execute_with_invariants(source, target, c.operation), c.outcome);
    // A refusal leaves the target as it was; a success changes it.
    if (!c.hook) EXPECT_EQ(target == target_preset(c.target_has_mask), c.outcome != "success");
  }
  // Earlier duplicates and validation messages of the target do not fail an operation.
  Element flawed = target_preset(false);
  append_screen(flawed, screen("5", "A"));
  append_screen(flawed, screen("5", "B", {el("Slice", {{"uniqueId", ""}})}));
  ASSERT_FALSE(validation::validate_doc(flawed).empty());
  EXPECT_EQ(execute_with_invariants(source_preset(), flawed, copy_op("screen", "1")), "success");
}

TEST(Judge, FaultsAndExpectations) {
  EXPECT_TRUE(is_fault("panic:unknown") && is_fault("invariant:"));
  EXPECT_FALSE(is_fault("success") || is_fault("error:panic:x") || is_fault("Panic:x"));
  const ExpectedOutcome success{ExpectedOutcome::Success{}}, any{ExpectedOutcome::Any{}};
  auto contains = [](std::string text) {
    return ExpectedOutcome{ExpectedOutcome::ErrorContains{text}};
  };
  const std::string refused = "error:Target screen not found";
  const struct {
    std::string outcome;
    ExpectedOutcome expected;
    bool satisfied;
  } cases[] = {
      {refused, contains("Target screen"), true},
      {refused, contains("error:"), true},
      {refused, contains("target screen"), false},
      {refused, any, true},
      {refused, success, false},
      {"invariant:New duplicate uniqueId values introduced: 4", any, false},
      {"invariant:error:x", contains(""), false},
      {"panic:boom", any, false},
      {"success", success, true},
      {"success", any, true},
      {"success", contains(""), false},
      {"success ", success, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(satisfies(c.outcome, c.expected), c.satisfied)
        << c.outcome << " / " << c.expected.value.index();
  }
}

}  // namespace
}  // namespace kivo::stress::replay
