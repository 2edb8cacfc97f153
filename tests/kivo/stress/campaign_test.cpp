// Campaigns of seeds and the family statistics, then the real executable end to end (its default
// run is in default_form_test).
#include "kivo/stress/campaign.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/cli.hpp"
#include "support/presets.hpp"
#include "support/process.hpp"
#include "support/program_runs.hpp"
#include "support/sample_artifact.hpp"

namespace {

using namespace kivo::test;
const char* const kCaseFiles[] = {"case.json", "source_before.xml", "target_before.xml",
                                  "target_after.xml"};

// The case directories named by "Artifacts: " in `text`, in order.
std::vector<std::filesystem::path> case_dirs_in(const std::string& text) {
  std::vector<std::filesystem::path> dirs;
  const std::string marker = "Artifacts: ";
  for (auto at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
    dirs.push_back(case_dir_of(text.substr(at)));
  }
  return dirs;
}

// Every entry under `out` must be a complete case: the three presets and case.json.
void expect_only_complete_cases(const std::filesystem::path& out, std::size_t expected_count) {
  std::size_t count = 0;
  if (std::filesystem::exists(out)) {
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
      ++count;
      for (const char* file : kCaseFiles) {
        EXPECT_TRUE(std::filesystem::is_regular_file(entry.path() / file)) << entry.path();
      }
    }
  }
  EXPECT_EQ(count, expected_count);
}

TEST(Campaign, EachSeedPrintsWhatItsOwnRunPrintsAndWritesTheSameCase) {
  TempDir dir;
  std::vector<Output> singles;
  for (int seed = 1; seed <= 6; ++seed) {
    singles.push_back(program(mixed_args(dir, {"--seed", std::to_string(seed)})));
    EXPECT_EQ(singles.back().status, (seed == 4 || seed == 5) ? 1 : 0) << singles.back().err;
  }
  // What the first `seeds` single runs printed, then the closing line over them.
  auto expected = [&](int seeds, const std::string& counts) {
    std::string text;
    std::uint64_t attempted = 0, succeeded = 0;
    for (int i = 0; i < seeds; ++i) {
      text += singles[i].err;
      attempted += number_after(singles[i].err, " attempted=").value_or(0);
      succeeded += number_after(singles[i].err, " succeeded=").value_or(0);
    }
    return steady(text + "Stress campaign complete seeds=1..6 " + counts +
                  " attempted=" + std::to_string(attempted) +
                  " succeeded=" + std::to_string(succeeded) + " elapsed=1s\n");
  };
  const Output campaign = program(mixed_args(dir, {"--seeds", "1..6", "--jobs", "3"}));
  EXPECT_EQ(campaign.status, 1);
  EXPECT_EQ(steady(campaign.err), expected(6, "jobs=3 runs=6 failed=2"));
  // The case directories differ only by name.
  const auto campaign_cases = case_dirs_in(campaign.err);
  const auto single_cases = case_dirs_in(singles[3].err + singles[4].err);
  ASSERT_EQ(campaign_cases.size(), 2u);
  ASSERT_EQ(single_cases.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    for (const char* file : kCaseFiles) {
      EXPECT_EQ(read_whole_file(campaign_cases[i] / file), read_whole_file(single_cases[i] / file))
          << file;
    }
  }
  const Output stopped =
      program(mixed_args(dir, {"--seeds", "1..6", "--jobs", "1", "--stop-on-failure"}));
  EXPECT_EQ(stopped.status, 1);
  EXPECT_EQ(steady(stopped.err), expected(4, "jobs=1 runs=4 failed=1"));
  expect_only_complete_cases(dir.path() / "out", 5);
}

TEST(Stats, FamiliesCountedAfterTheClosingLineAndBesideTheCase) {
  using kivo::stress::ExpectedOutcome;
  using kivo::stress::StressOperation;
  namespace stats = kivo::stress::stats;
  const StressOperation mask{StressOperation::InputMask{"1", "2", false}};
  auto copy = [](const char* kind) {
    return StressOperation{StressOperation::Copy{kind, "1", {}, {}}};
  };
  auto refusal = [](const char* text) {
    return ExpectedOutcome{ExpectedOutcome::ErrorContains{text}};
  };
  const ExpectedOutcome success{ExpectedOutcome::Success{}};
  const std::tuple<StressOperation, ExpectedOutcome, stats::Family> families[] = {
      {copy("screen"), success, stats::Family::CopyScreen},
      {copy("slice"), success, stats::Family::CopySlice},
      {copy("mask"), success, stats::Family::CopyMask},
      {mask, {ExpectedOutcome::Any{}}, stats::Family::InputMask},
      {mask, refusal("Target slice already has an input mask"), stats::Family::InputMaskOverwrite},
      {mask, refusal("aspect ratios are too different"), stats::Family::InputMaskAspect},
      {mask, refusal("Unknown slice"), stats::Family::InputMaskRefusal},
  };
  for (const auto& [operation, expected, family] : families) {
    EXPECT_EQ(stats::family_of(operation, expected), family) << stats::family_name(family);
  }
  EXPECT_FALSE(stats::family_of(copy("layer"), success));

  // Seed 1 copies a screen and passes, seed 4 fails copying a slice onto the bare screen.
  auto stats_lines = [](stats::Family busy, const std::string& counts) {
    std::string text;
    for (std::size_t i = 0; i < stats::kFamilyCount; ++i) {
      const auto family = static_cast<stats::Family>(i);
      text += "Stats " + std::string(stats::family_name(family)) +
              (family == busy ? counts : " planned=0 succeeded=0 refused=0 failed=0 slowest=-") +
              "\n";
    }
    return text;
  };
  TempDir dir;
  const Output passing = program(mixed_args(dir, {"--seed", "1", "--stats"}));
  EXPECT_EQ(passing.status, 0);
  EXPECT_EQ(steady(passing.err),
            "Stress run complete profile=fast seed=1 docs=3 pairs=1 attempted=1 succeeded=1\n" +
                stats_lines(stats::Family::CopyScreen,
                            " planned=1 succeeded=1 refused=0 failed=0 slowest=<x>ms seed=1 "
                            "pair=0 step=1"));
  const Output failing = program(mixed_args(dir, {"--seed", "4", "--stats"}));
  EXPECT_EQ(failing.status, 1);
  EXPECT_EQ(steady(failing.err),
            "kivo_stress failed: Stress failure on pair 0 step 0. Artifacts: <x>\nOutcome mismatch "
            "for operation at step 0. expected=Success, observed='error:Validation failed: Target "
            "screen is missing <layers> section'.\n" +
                stats_lines(stats::Family::CopySlice,
                            " planned=1 succeeded=0 refused=0 failed=1 slowest=<x>ms seed=4 "
                            "pair=0 step=0"));
  const auto cases = case_dirs_in(failing.err);
  ASSERT_EQ(cases.size(), 1u);
  // Scripts read stats.json by its keys, in this order; only the duration varies between runs.
  const std::string text = read_whole_file(cases[0] / "stats.json");
  EXPECT_TRUE(
      text.starts_with("{\n  \"families\": [\n    {\n      \"family\": \"copy-screen\",\n"));
  auto json = nlohmann::ordered_json::parse(text);
  ASSERT_EQ(json["families"].size(), 7u);
  EXPECT_TRUE(json["families"][1]["slowestStepMicros"].is_number_unsigned());
  json["families"][1]["slowestStepMicros"] = 0;
  EXPECT_EQ(json["families"][0].dump(),
            R"({"family":"copy-screen","planned":0,"succeeded":0,"refusedAsExpected":0,"failed":0,)"
            R"("slowestStepMicros":null,"slowestStep":null})");
  EXPECT_EQ(json["families"][1].dump(),
            R"({"family":"copy-slice","planned":1,"succeeded":0,"refusedAsExpected":0,"failed":1,)"
            R"("slowestStepMicros":0,"slowestStep":{"seed":4,"pair":0,"step":0}})");
}

TEST(Executable, FailureReplayedAndMinimized) {
  TempDir dir;
  // Seed 2 fails at slot 1 copying onto the template's own bare screen; the passing step before it
  // is not needed, so shortening keeps one step and renumbers it.
  const Args args = {"--template",     dir.write("failing.xml", kBareScreenTemplate).string(),
                     "--out-dir",      (dir.path() / "out").string(),
                     "--docs",         "4",
                     "--ops-per-pair", "10",
                     "--seed",         "2"};
  for (const bool minimize : {false, true}) {
    Args run = args;
    if (minimize) run.push_back("--minimize");
    const auto failed = run_program(run);
    EXPECT_EQ(failed.exit_status, 1);
    EXPECT_EQ(failed.out, "");
    const auto lines = lines_of(failed.err);
    ASSERT_EQ(lines.size(), 2u) << failed.err;
    EXPECT_TRUE(
        lines[0].starts_with("kivo_stress failed: Stress failure on pair 1 step 1. Artifacts: "))
        << lines[0];
    EXPECT_TRUE(lines[1].starts_with("Outcome mismatch for operation at step " +
                                     std::string(minimize ? "0" : "1") + ". expected=Success"))
        << lines[1];
    const auto replayed = run_program({"--replay", (case_dir_of(lines[0]) / "case.json").string()});
    EXPECT_EQ(replayed.exit_status, 0) << replayed.err;
    EXPECT_EQ(replayed.out, "");
    EXPECT_EQ(replayed.err,
              "Replay reproduced=true step=" +
                  std::string(minimize ? "0 comparedSteps=1\n" : "1 comparedSteps=2\n") + lines[1] +
                  "\n");
  }
}

TEST(Executable, HostileInputsOfEachFamilyAreRefusedWithTheirReason) {
  TempDir dir;
  std::string deep;
  for (int i = 0; i < 1001; ++i) deep += "<a>";
  const auto deep_xml = dir.write("deep.xml", deep);
  const auto deep_json = dir.write("deep/case.json", std::string(100000, '['));
  auto outside = sample_artifact();
  outside.target_before_file = "../target_before.xml";
  const auto escaping =
      dir.write("escaping/case.json", *kivo::stress::artifacts::to_json_text(outside));
  dir.write("escaping/source_before.xml", kBareScreenTemplate);
  const std::string missing = (dir.path() / "none.xml").string();
  const std::string absent = "No such file or directory (os error 2)";
  const std::pair<Args, std::string> cases[] = {
      // A campaign reports a setup error once, not once per seed.
      {{"--template", missing, "--seeds", "1..40", "--jobs", "2"},
       "Unable to parse template " + missing + ": I/O error: " + absent + ": " + absent},
      {{"--template", deep_xml.string()},
       "Unable to parse template " + deep_xml.string() +
           ": XML parse error: Malformed XML. document nested deeper than 1000 elements at line "
           "1, column 3001: Malformed XML. document nested deeper than 1000 elements at line 1, "
           "column 3001: document nested deeper than 1000 elements at line 1, column 3001"},
      {{"--replay", deep_json.string()},
       "failed to parse case file " + deep_json.string() + ": nesting deeper than 128 levels"},
      {{"--replay", escaping.string()},
       "Replay case names preset file '../target_before.xml', which is not a plain file name in "
       "the case directory."},
  };
  for (const auto& [args, message] : cases) {
    const auto result = run_program(args);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "kivo_stress failed: " + message + "\n");
  }
}

TEST(Executable, ProgressLineOnlyOnATerminalAndNeverInTheResultLines) {
  TempDir dir;
  const std::pair<Args, const char*> cases[] = {
      {{"--seeds", "1..3", "--jobs", "2"}, "\rseeds 0/3 ops 0 ("},
      {{"--seed", "1"}, "\rpairs 1/4 ops "},
      {{"--seeds", "1..3", "--quiet"}, nullptr},
      {{"--seed", "1", "--quiet"}, nullptr},
  };
  for (const auto& [extra, progress] : cases) {
    Args args = {"--template",     kBundledTemplate,
                 "--out-dir",      (dir.path() / "out").string(),
                 "--docs",         "3",
                 "--pairs",        "4",
                 "--ops-per-pair", "2"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto captured = run_program(args);
    ASSERT_EQ(captured.exit_status, 0) << captured.err;
    EXPECT_EQ(captured.err.find_first_of("\r\x1b"), std::string::npos);
    std::string on_terminal;
    Child child = spawn_on_terminal(args);
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(finish_child(child, on_terminal), 0);
    if (progress) {
      EXPECT_NE(on_terminal.find(progress), std::string::npos) << on_terminal;
      // Every drawing is erased before the next result line is printed.
      EXPECT_NE(on_terminal.find("\r\x1b[KStress "), std::string::npos) << on_terminal;
    } else {
      EXPECT_EQ(on_terminal.find('\r'), std::string::npos) << on_terminal;
    }
    EXPECT_EQ(without_elapsed(without_progress(on_terminal)), without_elapsed(captured.err));
  }
}

TEST(Executable, SignalsStopCleanlyWithTheFinishedSeedsPrinted) {
  TempDir dir;
  // Failing seeds write cases all the time, so a stop lands among case writes.
  std::string text;
  Child campaign =
      spawn_on_pipe(mixed_args(dir, {"--seeds", "1..100000000", "--jobs", "2"}, false));
  ASSERT_GT(campaign.pid, 0);
  // Three whole results, passing or failing: a fourth has begun.
  ASSERT_TRUE(read_child_until(campaign, text, [](const std::string& t) {
    std::size_t results = 0;
    for (const auto& line : lines_of(t)) {
      results +=
          line.starts_with("Stress run complete ") || line.starts_with("kivo_stress failed: ");
    }
    return results >= 4;
  })) << text;
  ::kill(campaign.pid, SIGINT);
  EXPECT_EQ(finish_child(campaign, text), 130) << text;
  // One result per finished seed, in seed order; a seed cut short in between leaves no line.
  std::vector<std::uint64_t> seeds;
  std::size_t failures = 0;
  for (const auto& line : lines_of(text)) {
    if (line.starts_with("Stress run complete "))
      seeds.push_back(number_after(line, " seed=").value_or(0));
    if (line.starts_with("kivo_stress failed: ")) {
      // The case directory is "<seconds>_<seed>", maybe with a suffix.
      seeds.push_back(number_after(line.substr(line.rfind('/') + 1), "_").value_or(0));
      ++failures;
    }
  }
  // Three seeds were printed before the signal, so 1 to 3 are all there.
  ASSERT_GE(seeds.size(), 3u) << text;
  EXPECT_EQ(std::vector(seeds.begin(), seeds.begin() + 3), (std::vector<std::uint64_t>{1, 2, 3}));
  EXPECT_EQ(std::ranges::adjacent_find(seeds, std::greater_equal{}), seeds.end()) << text;
  EXPECT_TRUE(lines_of(text).back().starts_with(
      "Stress campaign stopped by SIGINT seeds=1..100000000 jobs=2 runs=" +
      std::to_string(seeds.size()) + " failed=" + std::to_string(failures) + " attempted="))
      << text;
  EXPECT_TRUE(text.ends_with("s\n"));
  expect_only_complete_cases(dir.path() / "out", failures);

  // A single run stopped by SIGTERM; the progress line on a terminal shows it has started.
  std::string single;
  Child run =
      spawn_on_terminal({"--template", kBundledTemplate, "--out-dir",
                         (dir.path() / "single").string(), "--docs", "3", "--pairs", "1000000"});
  ASSERT_GT(run.pid, 0);
  ASSERT_TRUE(read_child(run, single, "pairs 1/1000000")) << single;
  ::kill(run.pid, SIGTERM);
  EXPECT_EQ(finish_child(run, single), 143);
  EXPECT_EQ(without_progress(single), "Stress run stopped by SIGTERM\n") << single;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "single"));
}

}  // namespace
