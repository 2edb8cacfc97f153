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

OperationTraceItem screen_copy(std::uint64_t index, ExpectedOutcome expected, std::string outcome) {
  return {index,
          {StressOperation::Copy{"screen", "100", std::nullopt, std::nullopt}},
          std::move(expected),
          std::move(outcome)};
}

OperationTraceItem missing_paste(std::uint64_t index, ExpectedOutcome expected,
                                 std::string outcome) {
  return {index,
          {StressOperation::InputMask{"nope", "nope", false}},
          std::move(expected),
          std::move(outcome)};
}

const ExpectedOutcome kSuccess{ExpectedOutcome::Success{}};
const ExpectedOutcome kAny{ExpectedOutcome::Any{}};
const std::string kMissing = "error:Source node not found";

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

std::filesystem::path write_case(const TempDir& dir, const FailureArtifact& artifact) {
  dir.write("source_before.xml", kPreset);
  dir.write("target_before.xml", kPreset);
  auto json = kivo::stress::artifacts::to_json_text(artifact);
  EXPECT_TRUE(json);
  return dir.write("case.json", json ? *json : "");
}

std::string replay_error(const FailureArtifact& artifact) {
  TempDir dir;
  auto result = replay_case(write_case(dir, artifact));
  EXPECT_FALSE(result);
  return result ? "<reproduced>" : result.error().display_chain();
}

TEST(ReplayCase, ReproducesAMismatchWordedWithTheRecordedIndex) {
  // The run numbered the failing item by its slot (2) after a slot that planned nothing.
  const std::string message =
      "Outcome mismatch for operation at step 2. expected=Success, observed='" + kMissing + "'.";
  TempDir dir;
  auto result = replay_case(write_case(dir, artifact_with({screen_copy(0, kSuccess, "success"),
                                                           missing_paste(2, kSuccess, kMissing)},
                                                          1, message)));
  ASSERT_TRUE(result) << result.error().display_chain();
  EXPECT_TRUE(result->reproduced);
  EXPECT_EQ(result->step, 1u);
  EXPECT_EQ(result->compared_steps, 2u);
  EXPECT_EQ(result->message, message);
  // An empty recorded message always matches; a bare case file name resolves against the
  // working directory.
  TempDir bare;
  write_case(bare, artifact_with({missing_paste(0, kSuccess, kMissing)}, 0, ""));
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
  struct Case {
    FailureArtifact artifact;
    std::string error;
  };
  const std::vector<Case> cases = {
      {artifact_with({screen_copy(0, kSuccess, "success"), missing_paste(1, kSuccess, "success")},
                     1, ""),
       "Replay diverged at step 1. expected='success' observed='error:Source node not found'"},
      {artifact_with({missing_paste(0, kSuccess, kMissing), screen_copy(1, kSuccess, "success")}, 1,
                     ""),
       "Replay failed early at step 0. expected case to fail at step 1."},
      {artifact_with({screen_copy(0, kSuccess, "success"), screen_copy(1, kSuccess, "success"),
                      missing_paste(2, kAny, kMissing)},
                     5, ""),
       "Replay completed without reaching failing step 5."},
      {artifact_with({screen_copy(0, kSuccess, "success"), missing_paste(1, kAny, kMissing)}, 1,
                     ""),
       "Replay reached failing step 1 but operation did not fail."},
      {artifact_with({missing_paste(0, kSuccess, kMissing)}, 0, "invariant:gone"),
       "Replay failure message changed. expected fragment='invariant:gone' actual='Outcome "
       "mismatch for operation at step 0. expected=Success, observed='error:Source node not "
       "found'.'"},
      {artifact_with({}, 0, ""), "Replay case contains empty operation trace."},
  };
  for (const auto& c : cases) EXPECT_EQ(replay_error(c.artifact), c.error);
}

TEST(ReplayCase, UnreadablePresetIsReportedWithItsPath) {
  TempDir dir;
  const auto path = write_case(dir, artifact_with({missing_paste(0, kSuccess, kMissing)}, 0, ""));
  std::filesystem::remove(dir.path() / "target_before.xml");
  auto result = replay_case(path);
  ASSERT_FALSE(result);
  const std::string target = (dir.path() / "target_before.xml").string();
  EXPECT_EQ(result.error().display_chain(),
            "Failed to parse " + target +
                ": I/O error: No such file or directory (os error 2): No such file or directory "
                "(os error 2)");
  dir.write("target_before.xml", "<XmlState>");
  result = replay_case(path);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().chain().at(1).rfind("XML parse error: Malformed XML. ", 0), 0u);
}

TEST(ReplayCase, PresetNamesMustBePlainFileNames) {
  for (const std::string name : {"../source_before.xml", "/dev/zero", "sub/x.xml", ".", "..", ""}) {
    FailureArtifact artifact = artifact_with({missing_paste(0, kSuccess, kMissing)}, 0, "");
    artifact.target_before_file = name;
    EXPECT_EQ(replay_error(artifact),
              "Replay case names preset file '" + name +
                  "', which is not a plain file name in the case directory.");
  }
}

TEST(ReplayCase, MissingCaseFileKeepsTheLoaderError) {
  auto result = replay_case("/nonexistent/case.json");
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().message(), "failed to read case file /nonexistent/case.json");
}

}  // namespace
