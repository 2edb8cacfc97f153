#include <gtest/gtest.h>

#include <stdexcept>

#include "kivo/stress/replay.hpp"
#include "kivo/stress/replay/fault_hook.hpp"
#include "kivo/stress/test_trees.hpp"
#include "kivo/validation.hpp"

namespace kivo::stress::replay {
namespace {

using kivo::test::el;
using kivo::test::preset;
using kivo::test::screen;
using kivo::test::slice;
using kivo::test::vertices;

Element slice_mask(std::string id) {
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

StressOperation copy_op(std::string kind, std::string id,
                        std::optional<std::string> parent = std::nullopt,
                        std::optional<std::string> target_screen = std::nullopt) {
  return {StressOperation::Copy{std::move(kind), std::move(id), std::move(parent),
                                std::move(target_screen)}};
}

StressOperation mask_op(std::string from, std::string to, bool overwrite) {
  return {StressOperation::InputMask{std::move(from), std::move(to), overwrite}};
}

/// Installs a test hook for one test.
class EngineHook {
 public:
  explicit EngineHook(test_hooks::EngineHook hook) { test_hooks::set_engine_hook(hook); }
  ~EngineHook() { test_hooks::set_engine_hook(nullptr); }
};

void append_screen(Element& target, Element screen_element) {
  Element* setup = target.children[0].as_element();
  Element* screens = setup->children[0].as_element();
  screens->children.push_back(XMLNode{std::move(screen_element)});
}

TEST(ExecuteWithInvariants, SuccessfulOperationsOfBothKinds) {
  const Element source = source_preset();
  Element target = target_preset(false);
  EXPECT_EQ(execute_with_invariants(source, target, copy_op("screen", "1")), "success");
  EXPECT_EQ(execute_with_invariants(source, target, copy_op("slice", "10", "1", "30")), "success");
  EXPECT_EQ(execute_with_invariants(source, target, mask_op("10", "20", false)), "success");
  EXPECT_EQ(execute_with_invariants(source, target, mask_op("10", "20", true)), "success");
  EXPECT_NE(target, target_preset(false));
}

TEST(ExecuteWithInvariants, EngineRefusalsBecomeErrorOutcomes) {
  const Element source = source_preset();
  struct Case {
    StressOperation operation;
    bool target_has_mask;
    const char* outcome;
  };
  const Case cases[] = {
      {copy_op("Slice", "10", "1", "30"), false,
       "error:Validation failed: Unsupported source kind 'Slice' in replay"},
      {copy_op("", "10"), false, "error:Validation failed: Unsupported source kind '' in replay"},
      {mask_op("10", "20", false), true,
       "error:Validation failed: Target slice already has an input mask. Confirm overwrite and "
       "retry."},
      {mask_op("nope", "20", true), false, "error:Source node not found"},
      {copy_op("screen", "nope"), false, "error:Source node not found"},
      {copy_op("slice", "10", "1", "99"), false, "error:Target screen not found"},
  };
  for (const Case& c : cases) {
    Element target = target_preset(c.target_has_mask);
    EXPECT_EQ(execute_with_invariants(source, target, c.operation), c.outcome);
    EXPECT_EQ(target, target_preset(c.target_has_mask)) << c.outcome;
  }
}

TEST(ExecuteWithInvariants, UnsupportedKindNeverReachesTheEngine) {
  EngineHook hook([](Element&) { throw std::runtime_error("engine called"); });
  const Element source = source_preset();
  Element target = target_preset(false);
  EXPECT_EQ(execute_with_invariants(source, target, copy_op("Screen", "1")),
            "error:Validation failed: Unsupported source kind 'Screen' in replay");
}

TEST(ExecuteWithInvariants, FaultsInsideTheEngineBecomePanics) {
  const Element source = source_preset();
  {
    EngineHook hook([](Element&) { throw std::runtime_error("boom"); });
    Element target = target_preset(false);
    EXPECT_EQ(execute_with_invariants(source, target, copy_op("screen", "1")), "panic:boom");
    EXPECT_EQ(execute_with_invariants(source, target, mask_op("10", "20", false)), "panic:boom");
  }
  {
    EngineHook hook([](Element&) { throw 42; });
    Element target = target_preset(false);
    EXPECT_EQ(execute_with_invariants(source, target, copy_op("screen", "1")), "panic:unknown");
  }
  Element target = target_preset(false);
  EXPECT_EQ(execute_with_invariants(source, target, copy_op("screen", "1")), "success");
}

TEST(ExecuteWithInvariants, FreshDuplicatesAreInvariantFailuresUniqueIdFirst) {
  const Element source = source_preset();
  {
    EngineHook hook([](Element& target) {
      append_screen(target, el("Screen", {{"uniqueId", "42"}, {"idHash", "dup"}}));
      append_screen(target, el("Screen", {{"uniqueId", "42"}, {"idHash", "dup"}}));
    });
    Element target = target_preset(false);
    EXPECT_EQ(execute_with_invariants(source, target, copy_op("screen", "1")),
              "invariant:New duplicate uniqueId values introduced: 42");
  }
  {
    EngineHook hook([](Element& target) {
      append_screen(target, el("Screen", {{"uniqueId", "43"}, {"idHash", "dup"}}));
      append_screen(target, el("Screen", {{"uniqueId", "44"}, {"idHash", "dup"}}));
    });
    Element target = target_preset(false);
    EXPECT_EQ(execute_with_invariants(source, target, mask_op("10", "20", false)),
              "invariant:New duplicate idHash values introduced: dup");
  }
}

TEST(ExecuteWithInvariants, EarlierDuplicatesAndValidationMessagesDoNotFail) {
  const Element source = source_preset();
  Element target = target_preset(false);
  append_screen(target, screen("5", "A"));
  append_screen(target, screen("5", "B", {el("Slice", {{"uniqueId", ""}})}));
  ASSERT_FALSE(validation::validate_doc(target).empty());
  EXPECT_EQ(execute_with_invariants(source, target, copy_op("screen", "1")), "success");
}

TEST(ExecuteWithInvariants, RoundTripAndStructureFailuresAreInvariantFailures) {
  Element source = source_preset();
  append_screen(source, screen("2", "Broken", {el("bad name")}));
  Element target = target_preset(false);
  EXPECT_EQ(execute_with_invariants(source, target, copy_op("screen", "2")),
            "invariant:XML write error: Element name \"bad name\" is not a valid XML name");

  EngineHook hook([](Element& target_root) { target_root.name = "Preset"; });
  Element renamed = target_preset(false);
  EXPECT_EQ(execute_with_invariants(source, renamed, copy_op("screen", "1")),
            "invariant:Root node is 'Preset' instead of 'XmlState'.");
}

}  // namespace
}  // namespace kivo::stress::replay
