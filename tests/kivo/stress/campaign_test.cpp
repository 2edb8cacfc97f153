#include "kivo/stress/campaign.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <nlohmann/json.hpp>
#include <sstream>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/cli.hpp"
#include "kivo/stress/config.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

namespace {

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

// A screen without layers: a slice or mask copy onto it is refused while success is expected, so
// with one pair of two slots some seeds fail (4 and 5 among 1..6) and the others pass.
const std::string kMixedTemplate =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XmlState><ScreenSetup><screens>"
    "<Screen uniqueId=\"100001\" name=\"Wall\"><Params name=\"Params\"><Param name=\"Name\" "
    "value=\"Wall\"/><Param name=\"Enabled\" value=\"1\"/></Params><layers>" +
    slice(200001, 1920, 1080) + slice(200002, 800, 600) + slice(200003, 1000, 1000) +
    "</layers></Screen><Screen uniqueId=\"100002\" name=\"Bare\"><Params name=\"Params\">"
    "<Param name=\"Name\" value=\"Bare\"/><Param name=\"Enabled\" value=\"1\"/></Params>"
    "</Screen></screens></ScreenSetup></XmlState>";

std::vector<std::string> mixed_args(const TempDir& dir, std::vector<std::string> extra) {
  std::vector<std::string> args = {"kivo_stress",
                                   "--template",
                                   dir.write("mixed.xml", kMixedTemplate).string(),
                                   "--out-dir",
                                   (dir.path() / "out").string(),
                                   "--docs",
                                   "3",
                                   "--pairs",
                                   "1",
                                   "--ops-per-pair",
                                   "2"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

struct Output {
  int status = -1;
  std::string err;
};

Output program(const std::vector<std::string>& args) {
  std::ostringstream err;
  const int status = kivo::stress::program_main(args, err, {});
  return {status, err.str()};
}

// `text` with what follows each `key`, up to the next `stop` character, replaced by "<x>".
std::string blank_after(std::string text, const std::string& key, char stop) {
  for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
    const auto from = at + key.size();
    const auto to = text.find(stop, from);
    if (to == std::string::npos) break;
    text.replace(from, to - from, "<x>");
  }
  return text;
}

std::string without_elapsed(const std::string& text) { return blank_after(text, "elapsed=", 's'); }

// The decimal number right after the first `key` in `text`, or nothing.
std::optional<std::uint64_t> number_after(const std::string& text, const std::string& key) {
  const auto at = text.find(key);
  if (at == std::string::npos) return std::nullopt;
  const auto from = at + key.size();
  const auto to = text.find_first_not_of("0123456789", from);
  if (to == from) return std::nullopt;
  return std::stoull(text.substr(from, to - from));
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The case directories named by "Artifacts: " in `text`, in order.
std::vector<std::filesystem::path> case_dirs_in(const std::string& text) {
  std::vector<std::filesystem::path> dirs;
  const std::string key = "Artifacts: ";
  for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
    const auto from = at + key.size();
    dirs.emplace_back(text.substr(from, text.find('\n', from) - from));
  }
  return dirs;
}

// Every entry under `out` must be a complete case: the three presets and case.json.
void expect_only_complete_cases(const std::filesystem::path& out, std::size_t expected_count) {
  std::size_t count = 0;
  if (std::filesystem::exists(out)) {
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
      ++count;
      for (const char* file :
           {"case.json", "source_before.xml", "target_before.xml", "target_after.xml"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(entry.path() / file)) << entry.path();
      }
    }
  }
  EXPECT_EQ(count, expected_count);
}

TEST(CampaignFlags, SeedRangeJobsAndSwitches) {
  struct Accepted {
    std::vector<std::string> args;
    std::uint64_t first, last, jobs;
  };
  const std::vector<Accepted> accepted = {
      {{"--seeds", "5..5"}, 5, 5, 1},
      {{"--seeds", "+0..18446744073709551615", "--jobs", "0"}, 0, UINT64_MAX, 0},
      {{"--jobs", "3", "--seeds", "7..9", "--seeds", "1..2"}, 1, 2, 3},
  };
  for (const auto& a : accepted) {
    auto config = kivo::stress::from_args(a.args);
    ASSERT_TRUE(config) << config.error().display_chain();
    ASSERT_TRUE(config->seeds);
    EXPECT_EQ(config->seeds->first, a.first);
    EXPECT_EQ(config->seeds->second, a.last);
    EXPECT_EQ(config->jobs, a.jobs);
    EXPECT_FALSE(config->stop_on_failure || config->quiet || config->stats);
  }
  auto switches =
      kivo::stress::from_args(std::vector<std::string>{"--stats", "--quiet", "--stop-on-failure"});
  ASSERT_TRUE(switches);
  EXPECT_TRUE(switches->stats && switches->quiet && switches->stop_on_failure);
  EXPECT_FALSE(switches->seeds);

  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"--seeds", "7..3"},
       "Invalid --seeds value '7..3'.: the first seed 7 is above the last seed 3"},
      {{"--seeds", "1..18446744073709551616"},
       "Invalid --seeds value '1..18446744073709551616'.: number too large to fit in target type"},
      {{"--seeds", "5"},
       "Invalid --seeds value '5'.: expected two seeds joined by '..', as in 1..8"},
      {{"--seeds", "..5"}, "Invalid --seeds value '..5'.: cannot parse integer from empty string"},
      {{"--seeds", "1..-2"}, "Invalid --seeds value '1..-2'.: invalid digit found in string"},
      {{"--seeds", "1..2..3"}, "Invalid --seeds value '1..2..3'.: invalid digit found in string"},
      {{"--seeds"}, "Missing value for --seeds"},
      {{"--seed", "1", "--seeds", "1..2"}, "--seed and --seeds cannot be used together"},
      {{"--seeds", "1..2", "--seed", "1"}, "--seed and --seeds cannot be used together"},
      {{"--jobs", "1025"}, "--jobs must be at most 1024"},
      {{"--jobs", "x"}, "Invalid --jobs value 'x'.: invalid digit found in string"},
      {{"--jobs", "99999999999999999999"},
       "Invalid --jobs value '99999999999999999999'.: number too large to fit in target type"},
  };
  for (const auto& [args, message] : refused) {
    auto config = kivo::stress::from_args(args);
    ASSERT_FALSE(config) << testing::PrintToString(args);
    EXPECT_EQ(config.error().display_chain(), message);
  }
}

TEST(Campaign, EachSeedPrintsWhatItsOwnRunPrintsAndWritesTheSameCase) {
  TempDir dir;
  const Output campaign = program(mixed_args(dir, {"--seeds", "1..6", "--jobs", "3"}));
  EXPECT_EQ(campaign.status, 1);
  std::string expected;
  std::uint64_t attempted = 0, succeeded = 0;
  for (int seed = 1; seed <= 6; ++seed) {
    const Output single = program(mixed_args(dir, {"--seed", std::to_string(seed)}));
    EXPECT_EQ(single.status, (seed == 4 || seed == 5) ? 1 : 0) << single.err;
    expected += single.err;
    attempted += number_after(single.err, " attempted=").value_or(0);
    succeeded += number_after(single.err, " succeeded=").value_or(0);
  }
  // The case directories differ only by name; compare them pairwise, then the text without them.
  const auto campaign_cases = case_dirs_in(campaign.err);
  const auto single_cases = case_dirs_in(expected);
  ASSERT_EQ(campaign_cases.size(), 2u);
  ASSERT_EQ(single_cases.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    for (const char* file :
         {"case.json", "source_before.xml", "target_before.xml", "target_after.xml"}) {
      EXPECT_EQ(kivo::test::read_whole_file(campaign_cases[i] / file),
                kivo::test::read_whole_file(single_cases[i] / file))
          << file;
    }
  }
  expected += "Stress campaign complete seeds=1..6 jobs=3 runs=6 failed=2 attempted=" +
              std::to_string(attempted) + " succeeded=" + std::to_string(succeeded) +
              " elapsed=<x>s\n";
  EXPECT_EQ(blank_after(without_elapsed(campaign.err), "Artifacts: ", '\n'),
            blank_after(expected, "Artifacts: ", '\n'));
  expect_only_complete_cases(dir.path() / "out", 4);
}

TEST(Campaign, StopOnFailureEndsAtTheFirstFailingSeed) {
  TempDir dir;
  const Output stopped =
      program(mixed_args(dir, {"--seeds", "1..6", "--jobs", "1", "--stop-on-failure"}));
  EXPECT_EQ(stopped.status, 1);
  const auto lines = std::count(stopped.err.begin(), stopped.err.end(), '\n');
  // Seeds 1 to 3 pass, seed 4 fails with two lines, then the closing line.
  EXPECT_EQ(lines, 6) << stopped.err;
  EXPECT_NE(stopped.err.find("seed=3 docs=3"), std::string::npos);
  EXPECT_EQ(stopped.err.find("seed=6 docs=3"), std::string::npos);
  EXPECT_NE(without_elapsed(stopped.err)
                .find("Stress campaign complete seeds=1..6 jobs=1 runs=4 failed=1 "),
            std::string::npos)
      << stopped.err;
  expect_only_complete_cases(dir.path() / "out", 1);
}

TEST(Campaign, RaisedStopFlagRunsNothingAndSetupErrorsComeOnce) {
  TempDir dir;
  const auto args = mixed_args(dir, {"--seeds", "1..50", "--jobs", "2"});
  auto config = kivo::stress::from_args(std::span(args).subspan(1));
  ASSERT_TRUE(config);
  const std::atomic<bool> stop{true};
  std::ostringstream out;
  auto result = kivo::stress::campaign::run_campaign(*config, out, {&stop, false});
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->stopped);
  EXPECT_EQ(result->runs, 0u);
  EXPECT_EQ(out.str(), "");
  expect_only_complete_cases(dir.path() / "out", 0);

  const Output missing = program({"kivo_stress", "--template", (dir.path() / "none.xml").string(),
                                  "--seeds", "1..40", "--jobs", "2"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.rfind("kivo_stress failed: Unable to parse template ", 0), 0u);
  EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;
}

TEST(Stats, FamiliesCountedAfterTheClosingLineAndBesideTheCase) {
  using kivo::stress::ExpectedOutcome;
  using kivo::stress::StressOperation;
  using kivo::stress::stats::Family;
  const StressOperation mask{StressOperation::InputMask{"1", "2", false}};
  const struct {
    StressOperation operation;
    ExpectedOutcome expected;
    Family family;
  } families[] = {
      {{StressOperation::Copy{"screen", "1", {}, {}}},
       {ExpectedOutcome::Success{}},
       Family::CopyScreen},
      {{StressOperation::Copy{"slice", "1", {}, {}}},
       {ExpectedOutcome::Success{}},
       Family::CopySlice},
      {{StressOperation::Copy{"mask", "1", {}, {}}},
       {ExpectedOutcome::Success{}},
       Family::CopyMask},
      {mask, {ExpectedOutcome::Any{}}, Family::InputMask},
      {mask,
       {ExpectedOutcome::ErrorContains{"Target slice already has an input mask"}},
       Family::InputMaskOverwrite},
      {mask,
       {ExpectedOutcome::ErrorContains{"aspect ratios are too different"}},
       Family::InputMaskAspect},
      {mask, {ExpectedOutcome::ErrorContains{"Unknown slice"}}, Family::InputMaskRefusal},
  };
  for (const auto& f : families) {
    EXPECT_EQ(kivo::stress::stats::family_of(f.operation, f.expected), f.family)
        << kivo::stress::stats::family_name(f.family);
  }
  EXPECT_FALSE(kivo::stress::stats::family_of({StressOperation::Copy{"layer", "1", {}, {}}},
                                              {ExpectedOutcome::Success{}}));

  TempDir dir;
  const Output passing = program(mixed_args(dir, {"--seed", "1", "--stats"}));
  EXPECT_EQ(passing.status, 0);
  const auto lines = lines_of(passing.err);
  ASSERT_EQ(lines.size(), 8u) << passing.err;
  EXPECT_EQ(lines[0].rfind("Stress run complete profile=fast seed=1 ", 0), 0u);
  for (std::size_t i = 0; i < kivo::stress::stats::kFamilyCount; ++i) {
    const std::string& line = lines[i + 1];
    const auto family = static_cast<Family>(i);
    EXPECT_EQ(
        line.rfind("Stats " + std::string(kivo::stress::stats::family_name(family)) + " planned=",
                   0),
        0u)
        << line;
    const auto planned = number_after(line, " planned=");
    const auto succeeded = number_after(line, " succeeded=");
    const auto refused = number_after(line, " refused=");
    ASSERT_TRUE(planned && succeeded && refused) << line;
    EXPECT_EQ(*planned, *succeeded + *refused) << line;
    // The slowest step names its place, or there was none.
    const bool placed = line.find("ms seed=1 pair=0 step=") != std::string::npos;
    EXPECT_TRUE(*planned > 0 ? placed : line.ends_with(" failed=0 slowest=-")) << line;
  }
  const Output failing = program(mixed_args(dir, {"--seed", "4", "--stats"}));
  EXPECT_EQ(failing.status, 1);
  EXPECT_EQ(failing.err.rfind("kivo_stress failed: Stress failure on pair 0 step 0. ", 0), 0u);
  EXPECT_NE(failing.err.find("\nStats copy-slice planned=1 succeeded=0 refused=0 failed=1 "),
            std::string::npos)
      << failing.err;
  const auto cases = case_dirs_in(failing.err);
  ASSERT_EQ(cases.size(), 1u);
  const auto stats = nlohmann::json::parse(kivo::test::read_whole_file(cases[0] / "stats.json"));
  ASSERT_EQ(stats["families"].size(), 7u);
  EXPECT_EQ(stats["families"][1]["family"], "copy-slice");
  EXPECT_EQ(stats["families"][1]["failed"], 1);
  EXPECT_EQ(stats["families"][1]["slowestStep"]["seed"], 4);
  EXPECT_TRUE(stats["families"][0]["slowestStep"].is_null());
}

// A child process of the program whose output streams go to `fd`.
struct Child {
  pid_t pid = -1;
  int fd = -1;
};

[[noreturn]] void exec_program(const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(KIVO_STRESS_EXE)};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ::execv(KIVO_STRESS_EXE, argv.data());
  _exit(127);
}

Child spawn_on_terminal(const std::vector<std::string>& args) {
  termios raw{};
  ::cfmakeraw(&raw);
  Child child;
  child.pid = ::forkpty(&child.fd, nullptr, &raw, nullptr);
  if (child.pid == 0) exec_program(args);
  return child;
}

Child spawn_on_pipe(const std::vector<std::string>& args) {
  int ends[2];
  if (::pipe(ends) != 0) return {};
  Child child;
  child.pid = ::fork();
  if (child.pid == 0) {
    ::dup2(ends[1], 1);
    ::dup2(ends[1], 2);
    ::close(ends[0]);
    ::close(ends[1]);
    exec_program(args);
  }
  ::close(ends[1]);
  child.fd = ends[0];
  return child;
}

// Reads from the child until `until` appears in what was read (or, when empty, to the end).
void read_child(const Child& child, std::string& text, const std::string& until = "") {
  char buffer[4096];
  while (until.empty() || text.find(until) == std::string::npos) {
    pollfd ready{child.fd, POLLIN, 0};
    if (::poll(&ready, 1, 60000) <= 0) return;
    const ssize_t got = ::read(child.fd, buffer, sizeof buffer);
    if (got <= 0) return;  // a pseudo-terminal reports EIO once the child is gone
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

int finish_child(const Child& child, std::string& text) {
  read_child(child, text);
  ::close(child.fd);
  int status = 0;
  if (::waitpid(child.pid, &status, 0) != child.pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The text without the progress line's drawings and erasures.
std::string without_progress(const std::string& text) {
  std::string kept;
  for (std::size_t at = 0; at < text.size();) {
    const auto erase_end = text.find("\x1b[K", at);
    const auto line_start = text.find('\r', at);
    if (line_start == std::string::npos || erase_end == std::string::npos) {
      kept += text.substr(at);
      break;
    }
    kept += text.substr(at, line_start - at);
    at = erase_end + 3;
  }
  return kept;
}

TEST(Executable, ProgressLineOnlyOnATerminalAndNeverInTheResultLines) {
  TempDir dir;
  const std::vector<std::string> base = {"--template",     kBundledTemplate,
                                         "--out-dir",      (dir.path() / "out").string(),
                                         "--docs",         "3",
                                         "--pairs",        "4",
                                         "--ops-per-pair", "2"};
  struct Case {
    std::vector<std::string> extra;
    const char* progress;  // expected start of a drawn line, or nullptr for none
  };
  const std::vector<Case> cases = {
      {{"--seeds", "1..3", "--jobs", "2"}, "\rseeds 0/3 ops 0 ("},
      {{"--seed", "1"}, "\rpairs 1/4 ops "},
      {{"--seeds", "1..3", "--quiet"}, nullptr},
      {{"--seed", "1", "--quiet"}, nullptr},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = base;
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const auto captured = kivo::test::run_process(KIVO_STRESS_EXE, args);
    ASSERT_EQ(captured.exit_status, 0) << captured.err;
    EXPECT_EQ(captured.err.find('\r'), std::string::npos);
    EXPECT_EQ(captured.err.find('\x1b'), std::string::npos);

    std::string on_terminal;
    const Child child = spawn_on_terminal(args);
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(finish_child(child, on_terminal), 0);
    if (c.progress) {
      EXPECT_NE(on_terminal.find(c.progress), std::string::npos) << on_terminal;
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
  auto campaign_args = mixed_args(dir, {"--seeds", "1..100000000", "--jobs", "2"});
  campaign_args.erase(campaign_args.begin());
  std::string text;
  const Child campaign = spawn_on_pipe(campaign_args);
  ASSERT_GT(campaign.pid, 0);
  read_child(campaign, text, "seed=3 ");
  ::kill(campaign.pid, SIGINT);
  EXPECT_EQ(finish_child(campaign, text), 130) << text;
  const auto lines = lines_of(text);
  ASSERT_FALSE(lines.empty());
  const std::string& last = lines.back();
  EXPECT_EQ(last.rfind("Stress campaign stopped by SIGINT seeds=1..100000000 jobs=2 runs=", 0), 0u)
      << text;
  EXPECT_TRUE(text.ends_with("s\n"));
  // One result per finished seed, in seed order; a seed cut short in between leaves no line.
  std::uint64_t previous = 0;
  std::size_t results = 0, failures = 0;
  for (const auto& line : lines) {
    std::optional<std::uint64_t> seed;
    if (line.starts_with("Stress run complete ")) seed = number_after(line, " seed=");
    if (line.starts_with("kivo_stress failed: ")) {
      // The case directory is "<seconds>_<seed>", maybe with a suffix.
      const std::string name = line.substr(line.rfind('/') + 1);
      seed = number_after(name, "_");
      ++failures;
    }
    if (!seed) continue;
    EXPECT_GT(*seed, previous) << text;
    // Seed 3 was printed before the signal, so 1 to 3 are all there.
    if (results < 3) {
      EXPECT_EQ(*seed, results + 1) << text;
    }
    previous = *seed;
    ++results;
  }
  EXPECT_EQ(number_after(last, " runs=").value_or(UINT64_MAX), results);
  EXPECT_EQ(number_after(last, " failed=").value_or(UINT64_MAX), failures);
  expect_only_complete_cases(dir.path() / "out", failures);

  // A single run stopped by SIGTERM; the progress line on a terminal shows it has started.
  std::string single;
  const Child run =
      spawn_on_terminal({"--template", kBundledTemplate, "--out-dir",
                         (dir.path() / "single").string(), "--docs", "3", "--pairs", "1000000"});
  ASSERT_GT(run.pid, 0);
  read_child(run, single, "pairs 1/1000000");
  ::kill(run.pid, SIGTERM);
  EXPECT_EQ(finish_child(run, single), 143);
  EXPECT_EQ(without_progress(single), "Stress run stopped by SIGTERM\n") << single;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "single"));
}

}  // namespace
