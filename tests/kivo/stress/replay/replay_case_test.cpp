#include "kivo/stress/replay.hpp"

#include <gtest/gtest.h>

#include "kivo/stress/artifacts.hpp"
#include "support/temp_dir.hpp"

namespace {

using kivo::stress::ExpectedOutcome;
using kivo::stress::FailureArtifact;
using kivo::stress::OperationTraceItem;
using kivo::stress::StressOperation;
using kivo::stress::replay::replay_case;
using kivo::test::TempDir;

const std::string kPreset =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XmlState><ScreenSetup><screens>"
    "<Screen uniqueId=\"100\" name=\"A\"><layers/></Screen>"
    "</screens></ScreenSetup></XmlState>";

const ExpectedOutcome kSuccess{ExpectedOutcome::Success{}};
const ExpectedOutcome kAny{ExpectedOutcome::Any{}};
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
  auto json = kivo::stress::artifacts::to_json_text(artifact);
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

TEST(ReplayCase, ReproducesAMismatchWordedWithTheRecordedIndex) {
  // The run numbered the failing item by its slot (2) after a slot that planned nothing.
  const std::string message =
      "Outcome mismatch for operation at step 2. expected=Success, observed='" + kMissing + "'.";
  TempDir dir;
  auto result = replay_case(
      write_case(dir, artifact_with({copied(0), refused(2, kSuccess, kMissing)}, 1, message)));
  ASSERT_TRUE(result) << result.error().display_chain();
  EXPECT_TRUE(result->reproduced);
  EXPECT_EQ(result->step, 1u);
  EXPECT_EQ(result->compared_steps, 2u);
  EXPECT_EQ(result->message, message);
  // An empty recorded message always matches; a bare case file name resolves against the
  // working directory.
  TempDir bare;
  write_case(bare, artifact_with({refused(0, kSuccess, kMissing)}, 0, ""));
  const auto original = std::filesystem::current_path();
  std::filesystem::current_path(bare.path());
  result = replay_case("case.json");
  std::filesystem::current_path(original);
  ASSERT_TRUE(result) << result.error().display_chain();
  EXPECT_EQ(result->step, 0u);
  EXPECT_EQ(
      result->message,
      "Outcome mismatch for operation at step 0. expected=Success, observed='" + kMissing + "'.");
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
