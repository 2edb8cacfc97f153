#include "kivo/stress/config.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "kivo/stress/cli.hpp"
#include "kivo/stress/usage.hpp"
#include "support/temp_dir.hpp"

namespace {

using kivo::stress::from_args;
using Args = std::vector<std::string>;

// The counts, rate, seed and switches of a parsed configuration, or its error.
std::string described(const Args& args) {
  auto config = from_args(args);
  if (!config) return config.error().display_chain();
  std::ostringstream text;
  text << config->profile.name() << " docs=" << config->docs << " pairs=" << config->pairs
       << " ops=" << config->ops_per_pair << " rate=" << config->invalid_rate
       << " seed=" << config->seed;
  if (config->seeds) text << " seeds=" << config->seeds->first << ".." << config->seeds->second;
  if (config->jobs != 1) text << " jobs=" << config->jobs;
  if (config->reduce_seconds != 60) text << " reduce-seconds=" << config->reduce_seconds;
  for (const auto& [on, name] : {std::pair{config->minimize, "minimize"},
                                 {config->reduce, "reduce"},
                                 {config->strict, "strict"},
                                 {config->stop_on_failure, "stop"},
                                 {config->quiet, "quiet"},
                                 {config->stats, "stats"}}) {
    if (on) text << " " << name;
  }
  return text.str();
}

struct Program {
  int status;
  std::string err;
};

Program program(Args args) {
  args.insert(args.begin(), "kivo_stress");
  std::ostringstream err;
  const int status = kivo::stress::program_main(args, err, {});
  return {status, err.str()};
}

TEST(FromArgs, DefaultsAndProfilesResetCountsButKeepSeedAndPaths) {
  const std::string fast = "fast docs=40 pairs=100 ops=6 ";
  const std::pair<Args, std::string> cases[] = {
      {{}, fast + "rate=0.08 seed=10508078"},
      {{"--docs", "5", "--profile", "deep"},
       "deep docs=140 pairs=650 ops=10 rate=0.14 seed=10508078"},
      {{"--profile", "deep", "--docs", "5"},
       "deep docs=5 pairs=650 ops=10 rate=0.14 seed=10508078"},
      {{"--seed", "7", "--profile", "Balanced"},
       "balanced docs=80 pairs=300 ops=8 rate=0.1 seed=7"},
      {{"--seed", "+42"}, fast + "rate=0.08 seed=42"},
      {{"--seed", "1", "--seed", "18446744073709551615"},
       fast + "rate=0.08 seed=18446744073709551615"},
      {{"--pairs", "3", "--ops-per-pair", "+9", "--invalid-rate", "1"},
       "fast docs=40 pairs=3 ops=9 rate=1 seed=10508078"},
      {{"--invalid-rate", ".5", "--minimize", "--minimize", "--strict"},
       fast + "rate=0.5 seed=10508078 minimize strict"},
      {{"--seeds", "5..5"}, fast + "rate=0.08 seed=10508078 seeds=5..5"},
      {{"--seeds", "+0..18446744073709551615", "--jobs", "0"},
       fast + "rate=0.08 seed=10508078 seeds=0..18446744073709551615 jobs=0"},
      {{"--jobs", "3", "--seeds", "7..9", "--seeds", "1..2"},
       fast + "rate=0.08 seed=10508078 seeds=1..2 jobs=3"},
      {{"--stats", "--quiet", "--stop-on-failure"},
       fast + "rate=0.08 seed=10508078 stop quiet stats"},
      {{"--reduce"}, fast + "rate=0.08 seed=10508078 minimize reduce"},
      {{"--reduce-seconds", "+5", "--strict"},
       fast + "rate=0.08 seed=10508078 reduce-seconds=5 strict"},
  };
  for (const auto& [args, expected] : cases) {
    EXPECT_EQ(described(args), expected) << testing::PrintToString(args);
  }
  // The lower end of the rate range, even as negative zero.
  const double negative_zero = from_args(Args{"--invalid-rate", "-0"})->invalid_rate;
  EXPECT_TRUE(negative_zero == 0.0 && std::signbit(negative_zero));
}

// Paths are taken verbatim, even when they look like flags, and made absolute against the working
// directory, or against "." once that directory is gone.
TEST(FromArgs, PathsAreMadeAbsolute) {
  const auto cwd = std::filesystem::current_path();
  EXPECT_EQ(from_args(Args{"--template", "--docs"})->template_path, cwd / "--docs");
  const kivo::test::TempDir doomed;
  std::filesystem::current_path(doomed.path());
  std::filesystem::remove(doomed.path());
  const auto fallback = kivo::stress::normalize_path("file.xml");
  std::filesystem::current_path(cwd);
  EXPECT_EQ(fallback, "./file.xml");
}

// Each refusal as `from_args` words it, and as the program prints it with status 1.
TEST(FromArgs, ErrorTextsAlsoPrintedByTheProgram) {
  const std::string digit = "invalid digit found in string";
  const std::string too_large = "number too large to fit in target type";
  const std::string range = "--invalid-rate must be in the range 0..=1";
  const std::string unknown = "'. Use --help to see supported flags.";
  const std::pair<Args, std::string> cases[] = {
      {{"--seed", "1", "--seed"}, "Missing value for --seed"},
      {{"--seeds"}, "Missing value for --seeds"},
      {{"--docs", "x"}, "Invalid --docs value 'x'.: " + digit},
      {{"--docs", ""}, "Invalid --docs value ''.: cannot parse integer from empty string"},
      {{"--seed", "+"}, "Invalid --seed value '+'.: " + digit},
      {{"--ops-per-pair", "++1"}, "Invalid --ops-per-pair value '++1'.: " + digit},
      {{"--seed", "18446744073709551616"},
       "Invalid --seed value '18446744073709551616'.: " + too_large},
      {{"--invalid-rate", "abc"}, "Invalid --invalid-rate value 'abc'.: invalid float literal"},
      {{"--invalid-rate", ""},
       "Invalid --invalid-rate value ''.: cannot parse float from empty string"},
      {{"--invalid-rate", "nan"}, range},
      {{"--invalid-rate", "1.5"}, range},
      {{"--invalid-rate", "-0.01"}, range},
      // The counts are checked in flag order, and a replay does not skip the checks.
      {{"--docs", "0", "--pairs", "0"}, "--docs must be > 0"},
      {{"--pairs", "0", "--ops-per-pair", "0"}, "--pairs must be > 0"},
      {{"--ops-per-pair", "0"}, "--ops-per-pair must be > 0"},
      {{"--reduce-seconds", "0", "--reduce"}, "--reduce-seconds must be > 0"},
      {{"--reduce-seconds", "1s"}, "Invalid --reduce-seconds value '1s'.: " + digit},
      {{"--reduce", "--reduce-seconds"}, "Missing value for --reduce-seconds"},
      {{"--docs", "0", "--replay", "case.json"}, "--docs must be > 0"},
      {{"--profile", "DeepX"}, "Unknown profile 'DeepX'. Expected fast|balanced|deep."},
      {{"--HELP"}, "Unknown flag '--HELP" + unknown},
      {{"--docs=5"}, "Unknown flag '--docs=5" + unknown},
      {{"positional"}, "Unknown flag 'positional" + unknown},
      {{"--seeds", "7..3"},
       "Invalid --seeds value '7..3'.: the first seed 7 is above the last seed 3"},
      {{"--seeds", "1..18446744073709551616"},
       "Invalid --seeds value '1..18446744073709551616'.: " + too_large},
      {{"--seeds", "5"},
       "Invalid --seeds value '5'.: expected two seeds joined by '..', as in 1..8"},
      {{"--seeds", "..5"}, "Invalid --seeds value '..5'.: cannot parse integer from empty string"},
      {{"--seeds", "1..+"}, "Invalid --seeds value '1..+'.: " + digit},
      {{"--seeds", "1..2..3"}, "Invalid --seeds value '1..2..3'.: " + digit},
      {{"--seeds", "1..2", "--seed", "1"}, "--seed and --seeds cannot be used together"},
      {{"--jobs", "1025"}, "--jobs must be at most 1024"},
      {{"--jobs", "x"}, "Invalid --jobs value 'x'.: " + digit},
  };
  for (const auto& [args, message] : cases) {
    EXPECT_EQ(described(args), message);
    const Program printed = program(args);
    EXPECT_EQ(printed.status, 1) << message;
    EXPECT_EQ(printed.err, "kivo_stress failed: " + message + "\n");
  }
  // A value error is the flag's context over the cause.
  EXPECT_EQ(from_args(Args{"--docs", "x"}).error().chain(),
            (std::vector<std::string>{"Invalid --docs value 'x'.", digit}));
  EXPECT_EQ(described({"-h"}), "help requested");
}

TEST(ProgramMain, HelpAnywherePrintsTheUsage) {
  const std::string usage =
      "kivo_stress usage:\n  --profile <fast|balanced|deep>\n  --seed <u64>\n  --template <path>\n"
      "  --docs <n>\n  --pairs <n>\n  --ops-per-pair <n>\n  --invalid-rate <0..1>\n"
      "  --out-dir <path>\n  --replay <case.json>\n  --minimize\n";
  EXPECT_EQ(kivo::stress::kUsageText, usage);
  // Even as a flag's value, and ahead of any refusal.
  for (const Args& args : {Args{"--help"}, Args{"--template", "-h", "--docs", "x"},
                           Args{"--HELP", "--help"}, Args{"--docs", "0", "-h"}}) {
    const Program printed = program(args);
    EXPECT_EQ(printed.status, 0) << testing::PrintToString(args);
    EXPECT_EQ(printed.err, usage);
  }
  std::ostringstream err;
  auto result = kivo::stress::cli_main({"kivo_stress", "--pairs", "0"}, err);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().display_chain(), "--pairs must be > 0");  // unchanged, and not printed
  EXPECT_EQ(err.str(), "");
}

}  // namespace
