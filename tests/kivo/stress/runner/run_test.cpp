#include "kivo/stress/runner.hpp"

#include <gtest/gtest.h>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/checks.hpp"
#include "kivo/stress/replay.hpp"
#include "support/presets.hpp"
#include "support/temp_dir.hpp"

namespace {

using namespace kivo::test;
using kivo::stress::runner::run;

kivo::stress::StressConfig config_for(const std::vector<std::string>& args) {
  auto config = kivo::stress::from_args(args);
  EXPECT_TRUE(config) << (config ? "" : config.error().display_chain());
  return config ? *config : kivo::stress::StressConfig{};
}

std::string run_error(const std::vector<std::string>& args) {
  auto summary = run(config_for(args));
  EXPECT_FALSE(summary);
  return summary ? "<completed>" : summary.error().display_chain();
}

TEST(Run, TemplateErrorsCarryTheirChain) {
  TempDir dir;
  const auto missing = (dir.path() / "missing.xml").string();
  const std::string absent = "Unable to parse template " + missing +
                             ": I/O error: No such file or directory (os error 2): No such file "
                             "or directory (os error 2)";
  EXPECT_EQ(run_error({"--template", missing}), absent);
  EXPECT_EQ(run_error({"--template", missing, "--docs", "1"}), absent);
  const auto broken = dir.write("broken.xml", "<XmlState>").string();
  EXPECT_EQ(run_error({"--template", broken}),
            "Unable to parse template " + broken +
                ": XML parse error: Malformed XML. no element found at line 1, column 11: "
                "Malformed XML. no element found at line 1, column 11: no element found at line "
                "1, column 11");
  EXPECT_EQ(run_error({"--template", kBundledTemplate, "--docs", "1"}),
            "Need at least --docs 2 for cross-document stress operations.");
}

TEST(Run, BundledTemplateRunRepeatsAndDuplicatesSkipEveryPair) {
  const auto config =
      config_for({"--template", kBundledTemplate, "--docs", "6", "--pairs", "12", "--seed", "3"});
  auto first = run(config), second = run(config);
  ASSERT_TRUE(first && second) << first.error().display_chain();
  EXPECT_EQ(first->profile, "fast");
  EXPECT_EQ(first->docs, 6u);
  EXPECT_EQ(first->pairs, 12u);
  EXPECT_GT(first->attempted, 0u);
  EXPECT_LE(first->succeeded, first->attempted);
  EXPECT_EQ(first->attempted, second->attempted);
  EXPECT_EQ(first->succeeded, second->succeeded);

  TempDir dir;
  const auto path = dir.write(
      "dup.xml", "<XmlState><ScreenSetup><screens><Screen uniqueId=\"1\" name=\"A\"><layers>" +
                     slice_text(5, 10, 10) + slice_text(5, 10, 10) +
                     "</layers></Screen></screens></ScreenSetup></XmlState>");
  auto skipped = run(config_for({"--template", path.string(), "--docs", "3", "--pairs", "4"}));
  ASSERT_TRUE(skipped) << skipped.error().display_chain();
  EXPECT_EQ(skipped->attempted, 0u);
  EXPECT_EQ(skipped->succeeded, 0u);
}

struct FailingRun {
  std::string error;
  kivo::stress::FailureArtifact artifact;
  std::filesystem::path case_json;
};

FailingRun failing_run(const TempDir& dir, const std::string& seed, bool minimize) {
  std::vector<std::string> args = {
      "--template",     dir.write("failing.xml", kBareScreenTemplate).string(),
      "--out-dir",      (dir.path() / "out").string(),
      "--seed",         seed,
      "--ops-per-pair", "10",
      "--docs",         "4"};
  if (minimize) args.push_back("--minimize");
  FailingRun result;
  result.error = run_error(args);
  result.case_json = case_dir_of(result.error) / "case.json";
  auto artifact = kivo::stress::artifacts::load_failure_artifact(result.case_json);
  EXPECT_TRUE(artifact) << result.error;
  if (artifact) result.artifact = *artifact;
  return result;
}

TEST(Run, FailingStepWritesACaseThatReplaysAndSameArgumentsWriteItAgain) {
  TempDir dir;
  const FailingRun failure = failing_run(dir, "1", false);
  const auto& artifact = failure.artifact;
  ASSERT_FALSE(artifact.operation_trace.empty());
  EXPECT_TRUE(failure.error.starts_with("Stress failure on pair "));
  EXPECT_EQ(failure.error.substr(failure.error.find('\n') + 1), artifact.failure_message);
  EXPECT_EQ(artifact.failure_message,
            "Outcome mismatch for operation at step " +
                std::to_string(artifact.operation_trace.back().index) +
                ". expected=Success, observed='error:Validation failed: Target screen is missing "
                "<layers> section'.");
  EXPECT_EQ(artifact.failing_step_index, artifact.operation_trace.size() - 1);
  EXPECT_EQ(artifact.seed, 1u);
  EXPECT_EQ(artifact.source_before_file, "source_before.xml");
  EXPECT_EQ(artifact.target_after_file, "target_after.xml");
  EXPECT_EQ(artifact.trace_hash, kivo::stress::checks::trace_hash(artifact.operation_trace));
  auto replayed = kivo::stress::replay::replay_case(failure.case_json);
  ASSERT_TRUE(replayed) << replayed.error().display_chain();
  EXPECT_EQ(replayed->step, artifact.failing_step_index);
  EXPECT_EQ(replayed->message, artifact.failure_message);

  const FailingRun again = failing_run(dir, "1", false);
  ASSERT_NE(again.case_json, failure.case_json);
  for (const char* file :
       {"case.json", "source_before.xml", "target_before.xml", "target_after.xml"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(failure.case_json.parent_path() / file)) << file;
    EXPECT_EQ(read_whole_file(again.case_json.parent_path() / file),
              read_whole_file(failure.case_json.parent_path() / file))
        << file;
  }
}

TEST(Run, MinimizeShortensAMismatchAndTheShortCaseStillReplays) {
  TempDir dir;
  std::string seed;
  std::size_t full_length = 0;
  std::uint64_t failing_slot = 0;
  // A failing step that copies onto the template's own bare screen needs no earlier step.
  for (int candidate = 1; candidate < 60 && full_length < 2; ++candidate) {
    seed = std::to_string(candidate);
    const auto full = failing_run(dir, seed, false).artifact;
    const auto* copy = std::get_if<kivo::stress::StressOperation::Copy>(
        &full.operation_trace.back().operation.value);
    if (!copy || copy->target_screen_unique_id != "100002") continue;
    full_length = full.operation_trace.size();
    failing_slot = full.operation_trace.back().index;
  }
  ASSERT_GE(full_length, 2u);
  const FailingRun minimized = failing_run(dir, seed, true);
  const auto& trace = minimized.artifact.operation_trace;
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0].index, 0u);
  EXPECT_EQ(minimized.artifact.failing_step_index, 0u);
  EXPECT_TRUE(minimized.artifact.failure_message.starts_with(
      "Outcome mismatch for operation at step 0. expected=Success"));
  // The error still names the slot where the main loop failed.
  EXPECT_NE(minimized.error.find(" step " + std::to_string(failing_slot) + ". Artifacts: "),
            std::string::npos);
  auto replayed = kivo::stress::replay::replay_case(minimized.case_json);
  ASSERT_TRUE(replayed) << replayed.error().display_chain();
  EXPECT_EQ(replayed->compared_steps, 1u);
}

TEST(Run, UnwritableCaseKeepsTheFailureVisible) {
  TempDir dir;
  const auto blocker = dir.write("blocker", "a file where the out dir should be");
  const std::string error =
      run_error({"--template", dir.write("failing.xml", kBareScreenTemplate).string(), "--out-dir",
                 (blocker / "out").string(), "--ops-per-pair", "10", "--docs", "4"});
  EXPECT_TRUE(error.starts_with("Stress failure on pair ")) << error;
  EXPECT_NE(error.find(" (case not written)\nOutcome mismatch for operation at step "),
            std::string::npos)
      << error;
  EXPECT_NE(error.find(": failed to create stress out dir " + (blocker / "out").string()),
            std::string::npos)
      << error;
}

}  // namespace
