#include "kivo/stress/config.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

namespace {

using kivo::stress::default_for_profile;
using kivo::stress::from_args;
using kivo::stress::StressConfig;
using kivo::stress::StressProfile;

StressConfig parse_ok(const std::vector<std::string>& args) {
  auto config = from_args(args);
  EXPECT_TRUE(config) << (config ? "" : config.error().display_chain());
  return config ? *config : StressConfig{};
}

std::string parse_error(const std::vector<std::string>& args) {
  auto config = from_args(args);
  EXPECT_FALSE(config);
  return config ? std::string("<accepted>") : config.error().display_chain();
}

TEST(FromArgs, NoArgumentsGiveTheFastDefaults) {
  const StressConfig config = parse_ok({});
  EXPECT_EQ(config.profile, StressProfile::Fast);
  EXPECT_EQ(config.seed, 10508078u);
  EXPECT_EQ(config.docs, 40u);
  EXPECT_EQ(config.pairs, 100u);
  EXPECT_EQ(config.ops_per_pair, 6u);
  EXPECT_EQ(config.invalid_rate, 0.08);
  const std::string app_dir = KIVO_SOURCE_DIR "/app";
  EXPECT_EQ(config.template_path, app_dir + "/../Sample_files/fully_loaded.xml");
  EXPECT_EQ(config.out_dir, app_dir + "/../devtools_output/stress");
  EXPECT_FALSE(config.replay);
  EXPECT_FALSE(config.minimize);
}

TEST(FromArgs, ProfilesResetCountsButKeepSeedAndPaths) {
  struct Case {
    std::vector<std::string> args;
    StressProfile profile;
    std::uint64_t docs, pairs, ops;
    double rate;
    std::uint64_t seed;
  };
  const std::vector<Case> cases = {
      {{"--profile", "deep"}, StressProfile::Deep, 140, 650, 10, 0.14, 10508078},
      {{"--profile", "Balanced"}, StressProfile::Balanced, 80, 300, 8, 0.1, 10508078},
      {{"--profile", "FAST"}, StressProfile::Fast, 40, 100, 6, 0.08, 10508078},
      {{"--docs", "5", "--profile", "deep"}, StressProfile::Deep, 140, 650, 10, 0.14, 10508078},
      {{"--profile", "deep", "--docs", "5"}, StressProfile::Deep, 5, 650, 10, 0.14, 10508078},
      {{"--seed", "7", "--profile", "balanced"}, StressProfile::Balanced, 80, 300, 8, 0.1, 7},
      {{"--seed", "+42"}, StressProfile::Fast, 40, 100, 6, 0.08, 42},
      {{"--seed", "1", "--seed", "18446744073709551615"},
       StressProfile::Fast,
       40,
       100,
       6,
       0.08,
       18446744073709551615ull},
      {{"--pairs", "3", "--ops-per-pair", "+9", "--invalid-rate", "1"},
       StressProfile::Fast,
       40,
       3,
       9,
       1.0,
       10508078},
  };
  for (const auto& c : cases) {
    const StressConfig config = parse_ok(c.args);
    EXPECT_EQ(config.profile, c.profile);
    EXPECT_EQ(config.docs, c.docs);
    EXPECT_EQ(config.pairs, c.pairs);
    EXPECT_EQ(config.ops_per_pair, c.ops);
    EXPECT_EQ(config.invalid_rate, c.rate);
    EXPECT_EQ(config.seed, c.seed);
  }
}

TEST(FromArgs, AcceptsTheRateBoundsAndNegativeZero) {
  EXPECT_EQ(parse_ok({"--invalid-rate", "0"}).invalid_rate, 0.0);
  EXPECT_EQ(parse_ok({"--invalid-rate", "1"}).invalid_rate, 1.0);
  const double negative_zero = parse_ok({"--invalid-rate", "-0"}).invalid_rate;
  EXPECT_EQ(negative_zero, 0.0);
  EXPECT_TRUE(std::signbit(negative_zero));
  EXPECT_EQ(parse_ok({"--invalid-rate", ".5"}).invalid_rate, 0.5);
}

TEST(FromArgs, MinimizeAndPathsAndValuesTakenVerbatim) {
  const StressConfig config = parse_ok({"--minimize", "--minimize", "--template", "--docs",
                                        "--out-dir", "/abs/out", "--replay", "case.json"});
  EXPECT_TRUE(config.minimize);
  EXPECT_EQ(config.template_path, std::filesystem::current_path() / "--docs");
  EXPECT_EQ(config.out_dir, "/abs/out");
  EXPECT_EQ(*config.replay, std::filesystem::current_path() / "case.json");
  EXPECT_EQ(parse_ok({"--template", "relative/file.xml"}).template_path,
            std::filesystem::current_path().string() + "/relative/file.xml");
  EXPECT_EQ(parse_ok({"--template", "/abs/file.xml"}).template_path, "/abs/file.xml");
}

TEST(FromArgs, ErrorTexts) {
  struct Case {
    std::vector<std::string> args;
    const char* error;
  };
  const std::vector<Case> cases = {
      {{"--docs"}, "Missing value for --docs"},
      {{"--out-dir"}, "Missing value for --out-dir"},
      {{"--seed", "1", "--seed"}, "Missing value for --seed"},
      {{"--docs", "x"}, "Invalid --docs value 'x'.: invalid digit found in string"},
      {{"--docs", ""}, "Invalid --docs value ''.: cannot parse integer from empty string"},
      {{"--seed", "-1"}, "Invalid --seed value '-1'.: invalid digit found in string"},
      {{"--seed", "+"}, "Invalid --seed value '+'.: invalid digit found in string"},
      {{"--seed", " 1"}, "Invalid --seed value ' 1'.: invalid digit found in string"},
      {{"--seed", "0x10"}, "Invalid --seed value '0x10'.: invalid digit found in string"},
      {{"--seed", "18446744073709551616"},
       "Invalid --seed value '18446744073709551616'.: number too large to fit in target type"},
      {{"--pairs", "1_000"}, "Invalid --pairs value '1_000'.: invalid digit found in string"},
      {{"--ops-per-pair", "++1"},
       "Invalid --ops-per-pair value '++1'.: invalid digit found in string"},
      {{"--invalid-rate", "abc"}, "Invalid --invalid-rate value 'abc'.: invalid float literal"},
      {{"--invalid-rate", ""},
       "Invalid --invalid-rate value ''.: cannot parse float from empty string"},
      {{"--invalid-rate", "nan"}, "--invalid-rate must be in the range 0..=1"},
      {{"--invalid-rate", "1.5"}, "--invalid-rate must be in the range 0..=1"},
      {{"--invalid-rate", "-0.01"}, "--invalid-rate must be in the range 0..=1"},
      {{"--invalid-rate", "inf"}, "--invalid-rate must be in the range 0..=1"},
      {{"--docs", "0"}, "--docs must be > 0"},
      {{"--docs", "0", "--pairs", "0"}, "--docs must be > 0"},
      {{"--pairs", "0", "--ops-per-pair", "0"}, "--pairs must be > 0"},
      {{"--ops-per-pair", "0"}, "--ops-per-pair must be > 0"},
      {{"--docs", "0", "--replay", "case.json"}, "--docs must be > 0"},
      {{"--profile", "turbo"}, "Unknown profile 'turbo'. Expected fast|balanced|deep."},
      {{"--profile", "DeepX"}, "Unknown profile 'DeepX'. Expected fast|balanced|deep."},
      {{"--HELP"}, "Unknown flag '--HELP'. Use --help to see supported flags."},
      {{"-help"}, "Unknown flag '-help'. Use --help to see supported flags."},
      {{"--docs=5"}, "Unknown flag '--docs=5'. Use --help to see supported flags."},
      {{"positional"}, "Unknown flag 'positional'. Use --help to see supported flags."},
      {{"--Seed", "1"}, "Unknown flag '--Seed'. Use --help to see supported flags."},
      {{"-h"}, "help requested"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parse_error(c.args), c.error) << testing::PrintToString(c.args);
  }
}

TEST(FromArgs, ParseErrorsAreTwoLinkChains) {
  auto config = from_args(std::vector<std::string>{"--docs", "x"});
  ASSERT_FALSE(config);
  EXPECT_EQ(config.error().chain(), (std::vector<std::string>{"Invalid --docs value 'x'.",
                                                              "invalid digit found in string"}));
  auto profile = from_args(std::vector<std::string>{"--profile", "x"});
  ASSERT_FALSE(profile);
  EXPECT_EQ(profile.error().chain().size(), 1u);
}

TEST(NormalizePath, FallsBackToDotWithoutWorkingDirectory) {
  const auto original = std::filesystem::current_path();
  const auto doomed = std::filesystem::temp_directory_path() / "kivo_cwd_gone";
  std::filesystem::create_directories(doomed);
  std::filesystem::current_path(doomed);
  std::filesystem::remove(doomed);
  const auto path = kivo::stress::normalize_path("file.xml");
  std::filesystem::current_path(original);
  EXPECT_EQ(path, "./file.xml");
}

TEST(ToSnapshot, CopiesTheFirstEightFactsWithPathsAsText) {
  StressConfig config = default_for_profile(StressProfile::Deep);
  config.template_path = "/t/\xff.xml";
  config.replay = "/ignored";
  const auto snapshot = kivo::stress::to_snapshot(config);
  EXPECT_EQ(snapshot.profile, StressProfile::Deep);
  EXPECT_EQ(snapshot.template_path, "/t/\xEF\xBF\xBD.xml");
  EXPECT_EQ(snapshot.out_dir, config.out_dir.string());
  EXPECT_EQ(snapshot.docs, 140u);
  EXPECT_EQ(snapshot.invalid_rate, 0.14);
}

}  // namespace
