// Shards of a seed range, results files written as seeds finish, and their merge back into one
// campaign with its JUnit report.
#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <map>
#include <regex>
#include <thread>

#include "kivo/stress/campaign.hpp"
#include "kivo/stress/campaign/merge.hpp"
#include "kivo/stress/config.hpp"
#include "kivo/xml_utils.hpp"
#include "support/process.hpp"
#include "support/program_runs.hpp"

namespace {

using namespace kivo::test;
namespace campaign = kivo::stress::campaign;
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

std::filesystem::path golden(const std::string& name) {
  return std::filesystem::path(KIVO_SOURCE_DIR) / "tests/data/stress/results" / name;
}

// A results file without what differs from run to run: durations, case directory names and which
// step was slowest.
std::string steady_results(const std::string& text) {
  static const std::regex elapsed("\"elapsed\":[0-9.e+-]+");
  static const std::regex slowest("\"slowestStepNanos\":[0-9]+");
  static const std::regex case_dir("\"caseDir\":\"[^\"]*\"");
  // Which of a family's steps was slowest is a matter of timing.
  static const std::regex slowest_at("\"pair\":[0-9]+,\"step\":[0-9]+\\}");
  static const std::regex artifacts("Artifacts: [^\\\\\"]*");
  std::string out = std::regex_replace(text, elapsed, "\"elapsed\":0");
  out = std::regex_replace(out, slowest, "\"slowestStepNanos\":0");
  out = std::regex_replace(out, case_dir, "\"caseDir\":\"<case>\"");
  out = std::regex_replace(out, slowest_at, "\"pair\":<x>,\"step\":<x>}");
  return std::regex_replace(out, artifacts, "Artifacts: <x>");
}

// The element children of `element`, without the text between them.
std::vector<const kivo::Element*> elements_in(const kivo::Element& element) {
  std::vector<const kivo::Element*> elements;
  for (const auto& child : element.children) {
    if (const auto* found = child.as_element()) elements.push_back(found);
  }
  return elements;
}

std::string text_in(const kivo::Element& element) {
  std::string text;
  for (const auto& child : element.children) {
    if (const auto* found = std::get_if<kivo::Text>(&child.value)) text += found->text;
  }
  return text;
}

std::string attr(const kivo::Element& element, std::string_view name) {
  const std::string* value = element.attr(name);
  return value ? *value : "<absent>";
}

Output merge(const Args& files, const Args& extra = {}) {
  Args args = {"kivo_stress", "--merge-results"};
  args.insert(args.end(), files.begin(), files.end());
  args.insert(args.end(), extra.begin(), extra.end());
  return program(args);
}

TEST(Shards, EverySeedOfARangeIsInExactlyOneShard) {
  struct Range {
    std::uint64_t first, last, count;
  };
  const Range ranges[] = {{1, 8, 4},   {0, 0, 3}, {5, 17, 5},          {7, 9, 1},
                          {10, 12, 7}, {3, 4, 2}, {kMax - 5, kMax, 4}, {kMax, kMax, 2}};
  for (const auto& [first, last, count] : ranges) {
    const std::string where =
        std::to_string(first) + ".." + std::to_string(last) + " in " + std::to_string(count);
    std::map<std::uint64_t, int> seen;
    for (std::uint64_t index = 0; index < count; ++index) {
      kivo::stress::StressConfig config;
      config.seeds = std::pair{first, last};
      config.shard = std::pair{index, count};
      const campaign::ShardSeeds seeds = campaign::shard_seeds(config);
      EXPECT_EQ(seeds.empty, index > last - first) << where;
      if (seeds.empty) continue;
      EXPECT_EQ(seeds.step, count) << where;
      for (std::uint64_t i = 0; i <= seeds.last_index; ++i) ++seen[seeds.seed(i)];
      // The last seed of the shard is the last one of the range it can reach.
      EXPECT_LT(last - seeds.seed(seeds.last_index), count) << where;
    }
    ASSERT_EQ(seen.size(), last - first + 1) << where;
    EXPECT_EQ(seen.begin()->first, first) << where;
    EXPECT_EQ(seen.rbegin()->first, last) << where;
    for (const auto& [seed, times] : seen) EXPECT_EQ(times, 1) << where << " seed " << seed;
  }
  kivo::stress::StressConfig whole;
  whole.seeds = std::pair{std::uint64_t{0}, kMax};
  whole.shard = std::pair{std::uint64_t{2}, std::uint64_t{3}};
  const auto seeds = campaign::shard_seeds(whole);
  EXPECT_EQ(seeds.seed(seeds.last_index), kMax - 1);
  whole.shard.reset();
  EXPECT_EQ(campaign::shard_seeds(whole).last_index, kMax);
}

TEST(Shards, SettingsThatCannotWorkAreRefused) {
  const std::pair<Args, std::string> refused[] = {
      {{"--seeds", "1..8", "--shard", "4/4"},
       "Invalid --shard value '4/4'.: the shard index 4 must be below the shard count 4"},
      {{"--seeds", "1..8", "--shard", "0/0"},
       "Invalid --shard value '0/0'.: the shard count must be at least 1"},
      {{"--seeds", "1..8", "--shard", "3"},
       "Invalid --shard value '3'.: expected the shard index and count joined by '/', as in 0/4"},
      {{"--seeds", "1..8", "--shard", "x/2"},
       "Invalid --shard value 'x/2'.: invalid digit found in string"},
      {{"--seeds", "1..8", "--shard", "1/99999999999999999999"},
       "Invalid --shard value '1/99999999999999999999'.: number too large to fit in target type"},
      {{"--shard", "0/2"}, "--shard needs --seeds"},
      {{"--seed", "3", "--shard", "0/2"}, "--shard needs --seeds"},
      {{"--junit", "j.xml"}, "--junit needs --merge-results"},
      {{"--merge-results", "a.jsonl", "--seeds", "1..2"},
       "--merge-results cannot be combined with --seeds; it takes only --junit, --stats and "
       "--quiet"},
      {{"--merge-results", "--stats"}, "Missing value for --merge-results"},
      {{"--results"}, "Missing value for --results"},
  };
  for (const auto& [args, message] : refused) {
    auto config = kivo::stress::from_args(args);
    ASSERT_FALSE(config) << args[0];
    EXPECT_EQ(config.error().display_chain(), message);
  }
  const auto config = kivo::stress::from_args(
      Args{"--merge-results", "a.jsonl", "b.jsonl", "--junit", "j.xml", "--stats"});
  ASSERT_TRUE(config) << config.error().display_chain();
  EXPECT_EQ(config->merge_results.size(), 2u);
  EXPECT_EQ(program({"kivo_stress", "--version"}).err, "kivo_stress " KIVO_VERSION "\n");
}

TEST(Results, EachFinishedSeedIsOneLineThenTheCampaign) {
  TempDir dir;
  const auto file = dir.path() / "results.jsonl";
  // Seed 3 passes, 4 and 5 fail copying a slice onto the bare screen.
  const Output campaign =
      program(mixed_args(dir, {"--seeds", "3..5", "--results", file.string(), "--jobs", "2"}));
  EXPECT_EQ(campaign.status, 1);
  // Lines come as seeds finish; a reader sorts them by seed.
  auto lines = lines_of(steady_results(read_whole_file(file)));
  ASSERT_EQ(lines.size(), 4u);
  std::sort(lines.begin(), lines.end() - 1);
  std::string sorted;
  for (const auto& line : lines) sorted += line + "\n";
  EXPECT_EQ(sorted, read_whole_file(golden("campaign.jsonl")));

  const auto single = dir.path() / "single.jsonl";
  const Output run = program(mixed_args(dir, {"--seed", "4", "--results", single.string()}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(steady_results(read_whole_file(single)), read_whole_file(golden("single.jsonl")));
  // What a seed's line says is what the campaign printed for it.
  const auto record = campaign::parse_results_line(lines_of(read_whole_file(single))[0]);
  ASSERT_TRUE(record);
  EXPECT_EQ(std::get<campaign::SeedRecord>(*record).output, run.err);
}

TEST(Results, ShardsMergeIntoTheCampaignOfTheWholeRange) {
  TempDir dir;
  const Output whole = program(mixed_args(dir, {"--seeds", "1..6", "--stats"}));
  EXPECT_EQ(whole.status, 1);
  Args files;
  for (const char* shard : {"0/3", "1/3", "2/3"}) {
    files.push_back((dir.path() / (std::string("shard") + shard[0] + ".jsonl")).string());
    const Output part =
        program(mixed_args(dir, {"--seeds", "1..6", "--shard", shard, "--results", files.back()}));
    EXPECT_EQ(part.status, shard[0] == '2' ? 0 : 1) << part.err;  // 4 and 5 fail
    EXPECT_NE(part.err.find(" seeds=1..6 shard=" + std::string(shard) + " jobs=1 runs=2 "),
              std::string::npos)
        << part.err;
  }
  const auto junit = dir.path() / "junit.xml";
  const Output merged = merge(files, {"--stats", "--junit", junit.string()});
  EXPECT_EQ(merged.status, 1);
  // Which step was slowest is a matter of timing; the rest must be the same.
  const auto same_part = [](const std::string& text) {
    static const std::regex slowest_at("slowest=<x>ms seed=[0-9]+ pair=[0-9]+ step=[0-9]+");
    return std::regex_replace(steady(blank_after(text, "jobs=", ' ')), slowest_at, "slowest=<x>");
  };
  EXPECT_EQ(same_part(merged.err), same_part(whole.err));
  EXPECT_NE(merged.err.find(" jobs=3 runs=6 failed=2 "), std::string::npos) << merged.err;

  // The report holds what CI systems require: suites with their counts, one case per seed with
  // its name and class, a failure with its message for each failing seed.
  auto report = kivo::xml_utils::parse(read_whole_file(junit));
  ASSERT_TRUE(report) << read_whole_file(junit);
  EXPECT_EQ(report->name, "testsuites");
  ASSERT_EQ(elements_in(*report).size(), 1u);
  const kivo::Element& suite = *elements_in(*report)[0];
  EXPECT_EQ(suite.name, "testsuite");
  for (const kivo::Element* counts : {static_cast<const kivo::Element*>(&*report), &suite}) {
    EXPECT_EQ(attr(*counts, "tests"), "6");
    EXPECT_EQ(attr(*counts, "failures"), "2");
    EXPECT_EQ(attr(*counts, "errors"), "0");
    EXPECT_TRUE(std::regex_match(attr(*counts, "time"), std::regex("[0-9]+\\.[0-9]{3}")));
  }
  EXPECT_EQ(attr(suite, "name"), "kivo_stress seeds=1..6 profile=fast");
  const auto tests = elements_in(suite);
  ASSERT_EQ(tests.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    const kivo::Element& test = *tests[i];
    EXPECT_EQ(test.name, "testcase");
    EXPECT_EQ(attr(test, "name"), "seed " + std::to_string(i + 1));
    EXPECT_EQ(attr(test, "classname"), "kivo_stress.fast");
    const bool failing = i == 3 || i == 4;
    ASSERT_EQ(elements_in(test).size(), failing ? 1u : 0u);
    if (!failing) continue;
    const kivo::Element& failure = *elements_in(test)[0];
    EXPECT_EQ(failure.name, "failure");
    EXPECT_TRUE(
        attr(failure, "message").starts_with("Stress failure on pair 0 step 0. Artifacts: "))
        << attr(failure, "message");
    EXPECT_NE(text_in(failure).find("\nCase directory: " + dir.path().string()), std::string::npos)
        << text_in(failure);
  }
}

TEST(Results, MergeRefusesResultsThatAreNotOneWholeCampaign) {
  TempDir dir;
  Args shards;
  for (const char* shard : {"0/3", "1/3", "2/3"}) {
    shards.push_back((dir.path() / (std::string("s") + shard[0] + ".jsonl")).string());
    program(mixed_args(dir, {"--seeds", "1..6", "--shard", shard, "--results", shards.back()}));
  }
  const auto other = (dir.path() / "other.jsonl").string();
  program(mixed_args(dir, {"--seeds", "1..7", "--shard", "0/3", "--results", other}));
  const auto missing = (dir.path() / "missing.jsonl").string();
  const auto broken =
      dir.write("broken.jsonl", read_whole_file(shards[0]) + "{\"type\":\"seed\"\n");
  const auto killed = dir.write("killed.jsonl", lines_of(read_whole_file(shards[1]))[0] + "\n");
  const auto unreadable = (dir.path() / "no-template.jsonl").string();
  program({"kivo_stress", "--template", missing, "--seeds", "1..6", "--results", unreadable});
  const auto quoted = [](const std::string& path) { return "'" + path + "'"; };
  const std::pair<Args, std::string> refused[] = {
      {{shards[0], shards[1]},
       "Seed 3 of the campaign's seeds 1..6 has no result (nor 1 other seeds)"},
      {{shards[0], shards[1], shards[2], shards[1]},
       "Seed 2 is in the results twice: " + quoted(shards[1]) + " line 1 and " + quoted(shards[1]) +
           " line 1"},
      {{shards[0], shards[1], missing},
       "Unable to read results file " + quoted(missing) + ": No such file or directory"},
      {{broken.string()},
       "Results file " + quoted(broken.string()) + " line 4 is not a record: not JSON"},
      {{killed.string()},
       "No results file ends with its campaign's record, so the range is unknown (a process that "
       "was killed writes none)"},
      {{shards[0], unreadable},
       "The run of results file " + quoted(unreadable) +
           " ended with an error: Unable to parse template " + missing +
           ": I/O error: No such "
           "file or directory (os error 2): No such file or directory (os error 2)"},
      {{shards[0], other},
       "Results of different campaigns: " + quoted(shards[0]) +
           " holds seeds 1..6 of profile fast, " + quoted(other) + " seeds 1..7 of profile fast"},
  };
  for (const auto& [files, message] : refused) {
    const Output merged = merge(files);
    EXPECT_EQ(merged.status, 1);
    EXPECT_EQ(merged.err, "kivo_stress failed: " + message + "\n");
  }
  // A killed shard's finished seeds still count; only its unfinished ones are missing.
  const Output partial = merge({shards[0], killed.string(), shards[2]});
  EXPECT_EQ(partial.err, "kivo_stress failed: Seed 5 of the campaign's seeds 1..6 has no result\n");
}

TEST(Results, AResultsFileThatCannotBeWrittenFailsTheRunAfterItsLines) {
  TempDir dir;
  const std::string full =
      "kivo_stress failed: Unable to write results file '/dev/full': No "
      "space left on device\n";
  const Output campaign = program(mixed_args(dir, {"--seeds", "1..2", "--results", "/dev/full"}));
  EXPECT_EQ(campaign.status, 1);
  EXPECT_EQ(lines_of(campaign.err).size(), 4u) << campaign.err;
  EXPECT_TRUE(campaign.err.ends_with(full)) << campaign.err;
  const Output run = program(mixed_args(dir, {"--seed", "1", "--results", "/dev/full"}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(
      run.err,
      "Stress run complete profile=fast seed=1 docs=3 pairs=1 attempted=1 succeeded=1\n" + full);
  const Output nowhere =
      program(mixed_args(dir, {"--seed", "1", "--results", "/nonexistent/dir/r.jsonl"}));
  EXPECT_EQ(nowhere.err,
            "kivo_stress failed: Unable to write results file "
            "'/nonexistent/dir/r.jsonl': No such file or directory\n");
}

TEST(Results, AKilledCampaignKeepsEverySeedItFinished) {
  TempDir dir;
  const auto file = dir.path() / "results.jsonl";
  Child child = spawn_on_pipe({"--template", kBundledTemplate, "--out-dir",
                               (dir.path() / "out").string(), "--docs", "3", "--pairs", "2",
                               "--seeds", "1..1000", "--results", file.string()});
  // A failed fork must not turn the kill below into one of process group 1.
  ASSERT_GT(child.pid, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (lines_of(std::filesystem::exists(file) ? read_whole_file(file) : "").size() < 3 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(-child.pid, SIGKILL);
  std::string ignored;
  EXPECT_EQ(finish_child(child, ignored), -1);
  const auto lines = lines_of(read_whole_file(file));
  ASSERT_GE(lines.size(), 3u);
  ASSERT_LT(lines.size(), 1000u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto record = campaign::parse_results_line(lines[i]);
    ASSERT_TRUE(record) << lines[i];
    EXPECT_EQ(std::get<campaign::SeedRecord>(*record).seed, i + 1);
  }
}

TEST(JUnit, HostileTextsAreEscaped) {
  const std::string hostile =
      "<script>alert(\"&x\")</script> ]]> 'q'\ttab\nline\x01\xFF end \xEF\xBF\xBE\xEF\xBF\xBD";
  campaign::MergedCampaign merged;
  merged.campaign.seeds = {7, 7};
  merged.campaign.profile = "deep";
  merged.campaign.strict = true;
  campaign::SeedRecord seed;
  seed.seed = 7;
  seed.failed = true;
  seed.message = hostile;
  seed.output = "kivo_stress failed: " + hostile + "\n";
  seed.case_dir = "/cases/<&>";
  merged.seeds.push_back(seed);
  merged.campaign.totals.failed = 1;
  const auto xml = campaign::junit_xml(merged);
  ASSERT_TRUE(xml) << xml.error().display_chain();
  auto report = kivo::xml_utils::parse(*xml);
  ASSERT_TRUE(report) << *xml;
  EXPECT_EQ(xml->find("<script>"), std::string::npos);
  const kivo::Element& suite = *elements_in(*report).at(0);
  EXPECT_EQ(attr(suite, "name"), "kivo_stress seeds=7..7 profile=deep strict");
  const kivo::Element& test = *elements_in(suite).at(0);
  EXPECT_EQ(attr(test, "classname"), "kivo_stress.deep.strict");
  const kivo::Element& failure = *elements_in(test).at(0);
  // Characters XML cannot hold at all (a control character, a byte that is not UTF-8, U+FFFE)
  // become U+FFFD; everything else, U+FFFD itself included, reads back as it was.
  const std::string readable =
      "<script>alert(\"&x\")</script> ]]> 'q'\ttab\nline\xEF\xBF\xBD\xEF\xBF\xBD end "
      "\xEF\xBF\xBD\xEF\xBF\xBD";
  EXPECT_EQ(attr(failure, "message"), readable);
  EXPECT_EQ(text_in(failure), "kivo_stress failed: " + readable + "\nCase directory: /cases/<&>\n");
}

}  // namespace
