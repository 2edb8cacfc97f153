#include "kivo/stress/cli.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "kivo/stress/config.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/stress/usage.hpp"
#include "support/run_process.hpp"

namespace {

using kivo::test::run_process;

const std::string kUsage =
    "kivo_stress usage:\n"
    "  --profile <fast|balanced|deep>\n"
    "  --seed <u64>\n"
    "  --template <path>\n"
    "  --docs <n>\n"
    "  --pairs <n>\n"
    "  --ops-per-pair <n>\n"
    "  --invalid-rate <0..1>\n"
    "  --out-dir <path>\n"
    "  --replay <case.json>\n"
    "  --minimize\n";

TEST(Executable, HelpAnywherePrintsTheUsageOnStandardError) {
  const std::vector<std::vector<std::string>> help_requests = {
      {"--help"},           {"-h"},
      {"--out-dir", "-h"},  {"--template", "-h", "--docs", "x"},
      {"--HELP", "--help"}, {"--docs", "0", "-h"}};
  for (const auto& args : help_requests) {
    const auto result = run_process(KIVO_STRESS_EXE, args);
    EXPECT_EQ(result.exit_status, 0) << testing::PrintToString(args);
    EXPECT_EQ(result.err, kUsage);
    EXPECT_EQ(result.out, "");
  }
}

TEST(Executable, ArgumentErrorsExitOneWithTheChainOnStandardError) {
  struct Case {
    std::vector<std::string> args;
    const char* err;
  };
  const std::vector<Case> cases = {
      {{"--HELP"},
       "kivo_stress failed: Unknown flag '--HELP'. Use --help to see supported flags.\n"},
      {{"--docs", "x"},
       "kivo_stress failed: Invalid --docs value 'x'.: invalid digit found in string\n"},
      {{"--docs"}, "kivo_stress failed: Missing value for --docs\n"},
      {{"--docs", "0", "--replay", "case.json"}, "kivo_stress failed: --docs must be > 0\n"},
      {{"--invalid-rate", "nan"},
       "kivo_stress failed: --invalid-rate must be in the range 0..=1\n"},
      {{"--profile", "turbo"},
       "kivo_stress failed: Unknown profile 'turbo'. Expected fast|balanced|deep.\n"},
  };
  for (const auto& c : cases) {
    const auto result = run_process(KIVO_STRESS_EXE, c.args);
    EXPECT_EQ(result.exit_status, 1) << testing::PrintToString(c.args);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
}

TEST(CliMain, UsageConstantMatchesTheElevenLines) {
  EXPECT_EQ(kivo::stress::kUsageText, kUsage);
  std::ostringstream err;
  ASSERT_TRUE(kivo::stress::cli_main({"kivo_stress", "--minimize", "-h"}, err));
  EXPECT_EQ(err.str(), kUsage);
}

TEST(CliMain, ConfigurationErrorsComeBackUnchanged) {
  std::ostringstream err;
  auto result = kivo::stress::cli_main({"kivo_stress", "--pairs", "0"}, err);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().display_chain(), "--pairs must be > 0");
  EXPECT_EQ(err.str(), "");
}

}  // namespace

namespace {

TEST(CliMain, RunModePrintsTheClosingLine) {
  const std::vector<std::string> args = {"kivo_stress",
                                         "--template",
                                         KIVO_SOURCE_DIR "/Sample_files/fully_loaded.xml",
                                         "--docs",
                                         "3",
                                         "--pairs",
                                         "2",
                                         "--ops-per-pair",
                                         "3",
                                         "--seed",
                                         "+9"};
  auto config = kivo::stress::from_args(std::span(args).subspan(1));
  ASSERT_TRUE(config);
  auto summary = kivo::stress::runner::run(*config);
  ASSERT_TRUE(summary) << summary.error().display_chain();
  std::ostringstream err;
  ASSERT_TRUE(kivo::stress::cli_main(args, err));
  EXPECT_EQ(err.str(), "Stress run complete profile=fast seed=9 docs=3 pairs=2 attempted=" +
                           std::to_string(summary->attempted) +
                           " succeeded=" + std::to_string(summary->succeeded) + "\n");
}

}  // namespace
