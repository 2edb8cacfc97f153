#include "kivo/stress/runner.hpp"

#include <gtest/gtest.h>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/checks.hpp"
#include "kivo/stress/replay.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

namespace {

using kivo::stress::StressConfig;
using kivo::stress::runner::run;
using kivo::test::TempDir;

const std::string kBundledTemplate = KIVO_SOURCE_DIR "/Sample_files/fully_loaded.xml";

std::string rect(const char* name, int width, int height) {
  const std::string w = std::to_string(width), h = std::to_string(height);
  return std::string("<") + name + "><v x=\"0\" y=\"0\"/><v x=\"" + w + "\" y=\"0\"/><v x=\"" + w +
         "\" y=\"" + h + "\"/><v x=\"0\" y=\"" + h + "\"/></" + name + ">";
}

std::string slice(int id, int width, int height) {
  return "<Slice uniqueId=\"" + std::to_string(id) +
         "\"><Params name=\"Common\"><Param name=\"Name\" value=\"Slice " + std::to_string(id) +
         "\"/><Param name=\"Enabled\" value=\"1\"/></Params>" + rect("InputRect", width, height) +
         rect("OutputRect", width, height) + "</Slice>";
}

// A screen without layers: every slice or mask copy planned onto it is refused by the engine
// while the planner expects success.
const std::string kFailingTemplate =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XmlState><ScreenSetup><screens>"
    "<Screen uniqueId=\"100001\" name=\"Wall\"><Params name=\"Params\"><Param name=\"Name\" "
    "value=\"Wall\"/><Param name=\"Enabled\" value=\"1\"/></Params><layers>" +
    slice(200001, 1920, 1080) + slice(200002, 800, 600) + slice(200003, 1000, 1000) +
    "</layers></Screen><Screen uniqueId=\"100002\" name=\"Bare\"><Params name=\"Params\">"
    "<Param name=\"Name\" value=\"Bare\"/><Param name=\"Enabled\" value=\"1\"/></Params>"
    "</Screen></screens></ScreenSetup></XmlState>";

StressConfig config_for(const std::vector<std::string>& args) {
  auto config = kivo::stress::from_args(args);
  EXPECT_TRUE(config) << (config ? "" : config.error().display_chain());
  return config ? *config : StressConfig{};
}

std::string run_error(const StressConfig& config) {
  auto summary = run(config);
  EXPECT_FALSE(summary);
  return summary ? "<completed>" : summary.error().display_chain();
}

// The case directory named on the first line of a stress-failure error.
std::filesystem::path case_dir_of(const std::string& error) {
  const std::string marker = "Artifacts: ";
  const auto start = error.find(marker) + marker.size();
  return error.substr(start, error.find('\n') - start);
}

TEST(Run, TemplateErrorsCarryTheirChain) {
  TempDir dir;
  const auto missing = (dir.path() / "missing.xml").string();
  EXPECT_EQ(run_error(config_for({"--template", missing})),
            "Unable to parse template " + missing +
                ": I/O error: No such file or directory (os error 2): No such file or directory "
                "(os error 2)");
  EXPECT_EQ(run_error(config_for({"--template", missing, "--docs", "1"}))
                .rfind("Unable to parse template ", 0),
            0u);
  const auto broken = dir.write("broken.xml", "<XmlState>").string();
  EXPECT_EQ(
      run_error(config_for({"--template", broken}))
          .rfind("Unable to parse template " + broken + ": XML parse error: Malformed XML. ", 0),
      0u);
  EXPECT_EQ(run_error(config_for({"--template", kBundledTemplate, "--docs", "1"})),
            "Need at least --docs 2 for cross-document stress operations.");
}

TEST(Run, BundledTemplateRunCompletesAndRepeats) {
  const auto config =
      config_for({"--template", kBundledTemplate, "--docs", "6", "--pairs", "12", "--seed", "3"});
  auto first = run(config);
  ASSERT_TRUE(first) << first.error().display_chain();
  auto second = run(config);
  ASSERT_TRUE(second);
  EXPECT_EQ(first->profile, "fast");
  EXPECT_EQ(first->docs, 6u);
  EXPECT_EQ(first->pairs, 12u);
  EXPECT_GT(first->attempted, 0u);
  EXPECT_LE(first->succeeded, first->attempted);
  EXPECT_EQ(first->attempted, second->attempted);
  EXPECT_EQ(first->succeeded, second->succeeded);
}

TEST(Run, EveryPairSkippedWhenAllDocumentsHoldDuplicates) {
  TempDir dir;
  const auto path = dir.write(
      "dup.xml", "<XmlState><ScreenSetup><screens><Screen uniqueId=\"1\" name=\"A\"><layers>" +
                     slice(5, 10, 10) + slice(5, 10, 10) + "</layers></Screen></screens>" +
                     "</ScreenSetup></XmlState>");
  auto summary = run(config_for({"--template", path.string(), "--docs", "3", "--pairs", "4"}));
  ASSERT_TRUE(summary) << summary.error().display_chain();
  EXPECT_EQ(summary->attempted, 0u);
  EXPECT_EQ(summary->succeeded, 0u);
}

struct FailingRun {
  std::string error;
  kivo::stress::FailureArtifact artifact;
  std::filesystem::path case_json;
};

FailingRun failing_run(const TempDir& dir, const std::string& seed, bool minimize) {
  const auto template_path = dir.write("failing.xml", kFailingTemplate);
  std::vector<std::string> args = {"--template",     template_path.string(),
                                   "--out-dir",      (dir.path() / "out").string(),
                                   "--seed",         seed,
                                   "--ops-per-pair", "10",
                                   "--docs",         "4"};
  if (minimize) args.push_back("--minimize");
  FailingRun result;
  result.error = run_error(config_for(args));
  result.case_json = case_dir_of(result.error) / "case.json";
  auto artifact = kivo::stress::artifacts::load_failure_artifact(result.case_json);
  EXPECT_TRUE(artifact) << result.error;
  if (artifact) result.artifact = *artifact;
  return result;
}

TEST(Run, FailingStepWritesACaseThatReplays) {
  TempDir dir;
  const FailingRun failure = failing_run(dir, "1", false);
  const auto& artifact = failure.artifact;
  ASSERT_FALSE(artifact.operation_trace.empty());
  const auto& last = artifact.operation_trace.back();
  EXPECT_EQ(failure.error.rfind("Stress failure on pair ", 0), 0u);
  EXPECT_EQ(failure.error.substr(failure.error.find('\n') + 1), artifact.failure_message);
  EXPECT_EQ(artifact.failure_message,
            "Outcome mismatch for operation at step " + std::to_string(last.index) +
                ". expected=Success, observed='error:Validation failed: Target screen is missing "
                "<layers> section'.");
  EXPECT_EQ(artifact.failing_step_index, artifact.operation_trace.size() - 1);
  EXPECT_EQ(artifact.seed, 1u);
  EXPECT_EQ(artifact.source_before_file, "source_before.xml");
  EXPECT_EQ(artifact.target_after_file, "target_after.xml");
  EXPECT_EQ(artifact.trace_hash, kivo::stress::checks::trace_hash(artifact.operation_trace));
  for (const char* file : {"source_before.xml", "target_before.xml", "target_after.xml"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(failure.case_json.parent_path() / file)) << file;
  }
  auto replayed = kivo::stress::replay::replay_case(failure.case_json);
  ASSERT_TRUE(replayed) << replayed.error().display_chain();
  EXPECT_EQ(replayed->step, artifact.failing_step_index);
  EXPECT_EQ(replayed->message, artifact.failure_message);
}

TEST(Run, SameArgumentsWriteIdenticalCasesInDistinctDirectories) {
  TempDir dir;
  const FailingRun first = failing_run(dir, "2", false);
  const FailingRun second = failing_run(dir, "2", false);
  ASSERT_NE(first.case_json, second.case_json);
  for (const char* file :
       {"case.json", "source_before.xml", "target_before.xml", "target_after.xml"}) {
    EXPECT_EQ(kivo::test::read_whole_file(first.case_json.parent_path() / file),
              kivo::test::read_whole_file(second.case_json.parent_path() / file))
        << file;
  }
}

// Whether the failing step copies onto the template's own bare screen, so that no earlier step
// (which can only add screens) matters to it.
bool fails_on_template_screen(const kivo::stress::FailureArtifact& artifact) {
  const auto& operation = artifact.operation_trace.back().operation.value;
  const auto* copy = std::get_if<kivo::stress::StressOperation::Copy>(&operation);
  return copy && copy->target_screen_unique_id == "100002";
}

TEST(Run, MinimizeShortensAMismatchAndTheShortCaseStillReplays) {
  TempDir dir;
  std::string seed;
  std::size_t full_length = 0;
  std::uint64_t failing_slot = 0;
  for (int candidate = 1; candidate < 60 && full_length < 2; ++candidate) {
    seed = std::to_string(candidate);
    const auto full = failing_run(dir, seed, false).artifact;
    if (!fails_on_template_screen(full)) continue;
    full_length = full.operation_trace.size();
    failing_slot = full.operation_trace.back().index;
  }
  ASSERT_GE(full_length, 2u);
  const FailingRun minimized = failing_run(dir, seed, true);
  const auto& trace = minimized.artifact.operation_trace;
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0].index, 0u);
  EXPECT_EQ(minimized.artifact.failing_step_index, 0u);
  EXPECT_EQ(minimized.artifact.failure_message.rfind(
                "Outcome mismatch for operation at step 0. expected=Success", 0),
            0u);
  // The error still names the slot where the main loop failed.
  EXPECT_NE(minimized.error.find(" step " + std::to_string(failing_slot) + ". Artifacts: "),
            std::string::npos);
  auto replayed = kivo::stress::replay::replay_case(minimized.case_json);
  ASSERT_TRUE(replayed) << replayed.error().display_chain();
  EXPECT_EQ(replayed->compared_steps, 1u);
}

TEST(Run, UnwritableCaseKeepsTheFailureVisible) {
  TempDir dir;
  const auto template_path = dir.write("failing.xml", kFailingTemplate);
  const auto blocker = dir.write("blocker", "a file where the out dir should be");
  const std::string error =
      run_error(config_for({"--template", template_path.string(), "--out-dir",
                            (blocker / "out").string(), "--ops-per-pair", "10", "--docs", "4"}));
  EXPECT_EQ(error.rfind("Stress failure on pair ", 0), 0u) << error;
  EXPECT_NE(error.find(" (case not written)\nOutcome mismatch for operation at step "),
            std::string::npos)
      << error;
  EXPECT_NE(error.find(": failed to create stress out dir " + (blocker / "out").string()),
            std::string::npos)
      << error;
}

TEST(Executable, FailureAndReplayThroughTheProgram) {
  TempDir dir;
  const auto template_path = dir.write("failing.xml", kFailingTemplate);
  const auto failed = kivo::test::run_process(
      KIVO_STRESS_EXE, {"--template", template_path.string(), "--out-dir",
                        (dir.path() / "out").string(), "--docs", "4", "--minimize"});
  EXPECT_EQ(failed.exit_status, 1);
  EXPECT_EQ(failed.out, "");
  ASSERT_EQ(failed.err.rfind("kivo_stress failed: Stress failure on pair ", 0), 0u) << failed.err;
  const auto first_line_end = failed.err.find('\n');
  EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 2);
  const auto case_json = case_dir_of(failed.err.substr(0, first_line_end)) / "case.json";
  const std::string message = failed.err.substr(first_line_end + 1);

  const auto replayed = kivo::test::run_process(KIVO_STRESS_EXE, {"--replay", case_json.string()});
  EXPECT_EQ(replayed.exit_status, 0) << replayed.err;
  EXPECT_EQ(replayed.out, "");
  EXPECT_EQ(replayed.err.rfind("Replay reproduced=true step=", 0), 0u) << replayed.err;
  EXPECT_EQ(replayed.err.substr(replayed.err.find('\n') + 1), message);
}

}  // namespace
