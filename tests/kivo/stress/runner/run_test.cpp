// What a run does beyond the cases stored in tests/data/default_form: refusals before the first
// pair, pairs it must skip, and a failure whose case cannot be written.
#include "kivo/stress/runner.hpp"

#include <gtest/gtest.h>

#include "support/presets.hpp"
#include "support/temp_dir.hpp"

namespace {

using namespace kivo::test;

std::string run_result(const std::vector<std::string>& args) {
  auto config = kivo::stress::from_args(args);
  if (!config) return "bad arguments: " + config.error().display_chain();
  auto summary = kivo::stress::runner::run(*config);
  if (!summary) return summary.error().display_chain();
  return "attempted=" + std::to_string(summary->attempted) +
         " succeeded=" + std::to_string(summary->succeeded);
}

TEST(Run, RefusalsAndSkippedPairs) {
  TempDir dir;
  const auto missing = (dir.path() / "missing.xml").string();
  // Two slices sharing an identifier make every pair skipped.
  const auto duplicates = dir.write(
      "dup.xml", "<XmlState><ScreenSetup><screens><Screen uniqueId=\"1\" name=\"A\"><layers>" +
                     slice_text(5, 10, 10) + slice_text(5, 10, 10) +
                     "</layers></Screen></screens></ScreenSetup></XmlState>");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      // The template is read before the document count is judged.
      {{"--template", missing, "--docs", "1"},
       "Unable to parse template " + missing +
           ": I/O error: No such file or directory (os error 2): No such file or directory (os "
           "error 2)"},
      {{"--template", kBundledTemplate, "--docs", "1"},
       "Need at least --docs 2 for cross-document stress operations."},
      {{"--template", duplicates.string(), "--docs", "3", "--pairs", "4"},
       "attempted=0 succeeded=0"},
  };
  for (const auto& [args, result] : cases) EXPECT_EQ(run_result(args), result);
}

TEST(Run, UnwritableCaseKeepsTheFailureVisible) {
  TempDir dir;
  const auto blocker = dir.write("blocker", "a file where the out dir should be");
  const std::string error =
      run_result({"--template", dir.write("failing.xml", kBareScreenTemplate).string(), "--out-dir",
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
