// Running one operation under the fault guard and the invariants, judging its outcome, and
// replaying a recorded case.
#include <gtest/gtest.h>

#include <stdexcept>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/guard/test_hooks.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/validation.hpp"
#include "support/presets.hpp"
#include "support/temp_dir.hpp"

namespace kivo::stress::replay {
namespace {

using namespace kivo::test;
namespace test_hooks = guard::test_hooks;

const ExpectedOutcome kSuccess{ExpectedOutcome::Success{}};
const ExpectedOutcome kAny{ExpectedOutcome::Any{}};

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
    // The strict oracle expects exactly these successes and refusals of its own accord.
    if (!is_fault(c.outcome)) {
      Element strict_target = target_preset(c.target_has_mask);
      EXPECT_EQ(execute_strict(source, strict_target, c.operation), c.outcome);
    }
    // A refusal leaves the target as it was; a success changes it.
    if (!c.hook) {
      EXPECT_EQ(target == target_preset(c.target_has_mask), c.outcome != "success") << c.outcome;
    }
  }
  // Earlier duplicates and validation messages of the target do not fail an operation.
  Element flawed = target_preset(false);
  append_screen(flawed, screen("5", "A"));
  append_screen(flawed, screen("5", "B", {el("Slice", {{"uniqueId", ""}})}));
  ASSERT_FALSE(validation::validate_doc(flawed).empty());
  EXPECT_EQ(execute_with_invariants(source_preset(), flawed, copy_op("screen", "1")), "success");
  // A refusal is expected only by an error outcome holding the fragment.
  const ExpectedOutcome any_error{ExpectedOutcome::ErrorContains{""}};
  EXPECT_FALSE(satisfies("success", any_error) || satisfies("panic:x", any_error));
}

// Steps in a row hand the target's duplicates on instead of walking it again. A step whose engine
// failed hands nothing on: what a faulty refusal left behind is not the next step's doing.
TEST(ExecuteWithInvariants, StepsInARowJudgeDuplicatesAsAFreshWalkWould) {
  struct Restore {
    ~Restore() { test_hooks::set_engine_override({}); }
  } restore;
  const Element source = source_preset();
  for (const bool strict : {false, true}) {
    Element target = target_preset(false);
    Carried carried;
    EXPECT_EQ(execute_checked(source, target, copy_op("screen", "1"), strict, &carried), "success");
    ASSERT_TRUE(carried.target_duplicates.has_value());
    test_hooks::set_engine_override(
        [](const Element&, Element& spoilt,
           const StressOperation&) -> std::expected<model::CopyResult, AppError> {
          for (int i = 0; i < 2; ++i)
            append_screen(spoilt, el("Screen", {{"uniqueId", "42"}, {"idHash", "h42"}}));
          return std::unexpected(AppError::missing_source_node());
        });
    const std::string refused =
        execute_checked(source, target, copy_op("screen", "1"), strict, &carried);
    EXPECT_TRUE(refused.starts_with(strict ? "invariant:" : "error:")) << refused;
    EXPECT_FALSE(carried.target_duplicates.has_value());
    test_hooks::set_engine_override({});
    EXPECT_EQ(execute_checked(source, target, copy_op("slice", "10", "1", "30"), strict, &carried),
              "success");
    ASSERT_TRUE(carried.target_duplicates.has_value());
    EXPECT_EQ((*carried.target_duplicates)[0], std::unordered_set<std::string>{"42"});
    EXPECT_EQ(carried.target_duplicates, checks::duplicate_identities(target));
  }
  // Likewise the source's fingerprint: a change is the changing step's alone.
  Element changing_source = source_preset();
  Element target = target_preset(false);
  Carried carried;
  EXPECT_EQ(execute_strict(changing_source, target, copy_op("screen", "1"), &carried), "success");
  test_hooks::set_engine_override(
      [](const Element& from, Element&,
         const StressOperation&) -> std::expected<model::CopyResult, AppError> {
        const_cast<Element&>(from).set_attr("changed", "1");
        return std::unexpected(AppError::missing_source_node());
      });
  EXPECT_EQ(execute_strict(changing_source, target, copy_op("screen", "1"), &carried),
            "invariant:strict: the operation changed its source document");
  test_hooks::set_engine_override({});
  EXPECT_EQ(execute_strict(changing_source, target, copy_op("slice", "10", "1", "30"), &carried),
            "success");
}

const std::string kPreset =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XmlState><ScreenSetup><screens>"
    "<Screen uniqueId=\"100\" name=\"A\"><layers/></Screen>"
    "</screens></ScreenSetup></XmlState>";

const std::string kMissing = "error:Source node not found";

// A copy of the preset's one screen, which succeeds as expected.
OperationTraceItem copied(std::uint64_t index) {
  return {index,
          {StressOperation::Copy{"screen", "100", std::nullopt, std::nullopt}},
          kSuccess,
          "success"};
}

// A mask paste between slices that do not exist, which is refused.
OperationTraceItem refused(std::uint64_t index, ExpectedOutcome expected, std::string outcome) {
  return {index,
          {StressOperation::InputMask{"nope", "nope", false}},
          std::move(expected),
          std::move(outcome)};
}

FailureArtifact artifact_with(std::vector<OperationTraceItem> trace, std::uint64_t failing,
                              std::string message) {
  FailureArtifact artifact;
  artifact.operation_trace = std::move(trace);
  artifact.failing_step_index = failing;
  artifact.failure_message = std::move(message);
  artifact.source_before_file = "source_before.xml";
  artifact.target_before_file = "target_before.xml";
  return artifact;
}

// Writes the case with `target` as the target preset (none: no such file).
std::filesystem::path write_case(const TempDir& dir, const FailureArtifact& artifact,
                                 const std::optional<std::string>& target = kPreset) {
  dir.write("source_before.xml", kPreset);
  if (target) dir.write("target_before.xml", *target);
  auto json = artifacts::to_json_text(artifact);
  EXPECT_TRUE(json);
  return dir.write("case.json", json ? *json : "");
}

// The replay's error, with the case directory shown as "<dir>".
std::string replay_error(const FailureArtifact& artifact,
                         const std::optional<std::string>& target = kPreset) {
  TempDir dir;
  auto result = replay_case(write_case(dir, artifact, target));
  EXPECT_FALSE(result);
  std::string error = result ? "<reproduced>" : result.error().display_chain();
  if (const auto at = error.find(dir.path().string()); at != std::string::npos) {
    error.replace(at, dir.path().string().size(), "<dir>");
  }
  return error;
}

TEST(ReplayCase, ErrorsInTheOrderTheReplayMeetsThem) {
  const FailureArtifact fails_at_once = artifact_with({refused(0, kSuccess, kMissing)}, 0, "");
  const std::string absent = "No such file or directory (os error 2)";
  const struct {
    FailureArtifact artifact;
    std::optional<std::string> target;
    std::string error;
  } cases[] = {
      {artifact_with({copied(0), refused(1, kSuccess, "success")}, 1, ""), kPreset,
       "Replay diverged at step 1. expected='success' observed='error:Source node not found'"},
      {artifact_with({refused(0, kSuccess, kMissing), copied(1)}, 1, ""), kPreset,
       "Replay failed early at step 0. expected case to fail at step 1."},
      {artifact_with({copied(0), copied(1), refused(2, kAny, kMissing)}, 5, ""), kPreset,
       "Replay completed without reaching failing step 5."},
      {artifact_with({copied(0), refused(1, kAny, kMissing)}, 1, ""), kPreset,
       "Replay reached failing step 1 but operation did not fail."},
      {artifact_with({refused(0, kSuccess, kMissing)}, 0, "invariant:gone"), kPreset,
       "Replay failure message changed. expected fragment='invariant:gone' actual='Outcome "
       "mismatch for operation at step 0. expected=Success, observed='error:Source node not "
       "found'.'"},
      // The presets are read before the trace is looked at.
      {artifact_with({}, 0, ""), kPreset, "Replay case contains empty operation trace."},
      {artifact_with({}, 0, ""), std::nullopt,
       "Failed to parse <dir>/target_before.xml: I/O error: " + absent + ": " + absent},
      {fails_at_once, "<XmlState>",
       "Failed to parse <dir>/target_before.xml: XML parse error: Malformed XML. no element found "
       "at line 1, column 11: Malformed XML. no element found at line 1, column 11: no element "
       "found at line 1, column 11"},
  };
  for (const auto& c : cases) EXPECT_EQ(replay_error(c.artifact, c.target), c.error);
  for (const std::string name : {"/dev/zero", ".", "..", ""}) {
    FailureArtifact artifact = fails_at_once;
    artifact.target_before_file = name;
    EXPECT_EQ(replay_error(artifact), "Replay case names preset file '" + name +
                                          "', which is not a plain file name in the case "
                                          "directory.");
  }
  // The loader's error, without a context of its own.
  EXPECT_EQ(replay_case("/nonexistent/case.json").error().display_chain(),
            "failed to read case file /nonexistent/case.json: " + absent);
}

}  // namespace
}  // namespace kivo::stress::replay
