// Reduction of failing cases: planted faults of every family reduce to small cases that replay,
// fail the same way, and lose the failure when any one element or attribute more is removed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <sstream>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/artifacts/file_io.hpp"
#include "kivo/stress/cli.hpp"
#include "kivo/stress/reduce.hpp"
#include "kivo/stress/reduce/ddmin.hpp"
#include "kivo/stress/reduce/values.hpp"
#include "kivo/stress/replay.hpp"
#include "kivo/stress/runner.hpp"
#include "support/census.hpp"
#include "support/presets.hpp"
#include "support/process.hpp"
#include "support/temp_dir.hpp"

namespace kivo::stress::reduce {
namespace {

namespace fs = std::filesystem;
namespace census = kivo::test::census;

struct LoadedCase {
  FailureArtifact artifact;
  Element source;
  Element target;
  std::uint64_t bytes = 0;
};

LoadedCase load_case(const fs::path& dir) {
  auto artifact = artifacts::load_failure_artifact(dir / "case.json");
  EXPECT_TRUE(artifact) << artifact.error().display_chain();
  LoadedCase loaded{*artifact, {}, {}, 0};
  for (auto [name, tree] : {std::pair{"source_before.xml", &loaded.source},
                            std::pair{"target_before.xml", &loaded.target}}) {
    auto text = artifacts::read_text_file(dir / name);
    EXPECT_TRUE(text);
    auto read = artifacts::read_case_preset(*text, artifact->strict);
    EXPECT_TRUE(read) << read.error().display_chain();
    *tree = std::move(*read);
    loaded.bytes += text->size();
  }
  return loaded;
}

StressConfig strict_reducing_run(const fs::path& out_dir) {
  StressConfig config = default_for_profile(StressProfile::Fast);
  config.template_path = kivo::test::kBundledTemplate;
  config.out_dir = out_dir;
  config.strict = true;
  config.reduce = config.minimize = true;
  return config;
}

// Every way of taking one element (not the root) or one attribute out of `root`.
std::vector<Element> one_less(const Element& root) {
  std::vector<Element> smaller;
  std::vector<std::vector<std::size_t>> paths{{}};
  for (std::size_t p = 0; p < paths.size(); ++p) {
    const Element* at = &root;
    for (std::size_t i : paths[p]) at = at->children[i].as_element();
    for (std::size_t a = 0; a < at->attributes.size(); ++a) {
      Element copy = root;
      Element* in_copy = &copy;
      for (std::size_t i : paths[p]) in_copy = in_copy->children[i].as_element();
      in_copy->attributes.remove(at->attributes.entries()[a].first);
      smaller.push_back(std::move(copy));
    }
    for (std::size_t c = 0; c < at->children.size(); ++c) {
      if (at->children[c].as_element() == nullptr) continue;
      auto path = paths[p];
      path.push_back(c);
      paths.push_back(path);
      Element copy = root;
      Element* in_copy = &copy;
      for (std::size_t i : paths[p]) in_copy = in_copy->children[i].as_element();
      in_copy->children.erase(in_copy->children.begin() + static_cast<std::ptrdiff_t>(c));
      smaller.push_back(std::move(copy));
    }
  }
  return smaller;
}

// As a person editing the case file would leave it: written and read back in the case's form.
Element as_case_file(const Element& root, bool strict) {
  auto text = artifacts::case_preset_text(root, strict);
  EXPECT_TRUE(text);
  auto read = artifacts::read_case_preset(*text, strict);
  EXPECT_TRUE(read);
  return *read;
}

void expect_one_minimal(const LoadedCase& reduced, const FailureSignature& signature) {
  const auto& trace = reduced.artifact.operation_trace;
  const bool strict = reduced.artifact.strict;
  for (const Element& source : one_less(reduced.source)) {
    EXPECT_FALSE(
        fails_alike(as_case_file(source, strict), reduced.target, trace, signature, strict))
        << "the source holds more than the failure needs";
  }
  for (const Element& target : one_less(reduced.target)) {
    EXPECT_FALSE(
        fails_alike(reduced.source, as_case_file(target, strict), trace, signature, strict))
        << "the target holds more than the failure needs";
  }
}

struct Figures {
  std::uint64_t bytes_before = 0, bytes_after = 0, steps_before = 0, steps_after = 0;
  double seconds = 0;
};

// Runs a strict fast run with `fault` planted and checks the reduced case it writes.
std::optional<Figures> check_reduction(const census::PlantedFault& fault, bool strict = true) {
  kivo::test::TempDir out;
  const census::Planted planted(fault);
  StressConfig config = strict_reducing_run(out.path());
  config.strict = strict;
  auto summary = runner::run(config);
  if (summary) {
    ADD_FAILURE() << "not caught";
    return std::nullopt;
  }
  const std::string error = summary.error().display_chain();
  if (error.starts_with("Template ")) return std::nullopt;  // caught before any step
  EXPECT_NE(error.find("\nReduced source_before.xml "), std::string::npos) << error;
  EXPECT_EQ(error.find("time budget reached"), std::string::npos) << error;
  const fs::path dir = kivo::test::case_dir_of(error);
  for (const fs::path& form : {dir, dir / "unreduced"}) {
    auto replayed = replay::replay_case(form / "case.json");
    EXPECT_TRUE(replayed && replayed->reproduced)
        << form << ": " << (replayed ? "" : replayed.error().display_chain());
  }
  const LoadedCase reduced = load_case(dir);
  const LoadedCase unreduced = load_case(dir / "unreduced");
  const FailureSignature signature = signature_of(unreduced.artifact.operation_trace.back());
  EXPECT_EQ(signature_of(reduced.artifact.operation_trace.back()), signature);
  expect_one_minimal(reduced, signature);
  std::smatch took;
  std::regex_search(error, took, std::regex(" steps in ([0-9.]+) s \\("));
  return Figures{unreduced.bytes, reduced.bytes, unreduced.artifact.operation_trace.size(),
                 reduced.artifact.operation_trace.size(), took.empty() ? -1 : std::stod(took[1])};
}

const census::PlantedFault& fault_named(std::string_view name) {
  static const std::vector<census::PlantedFault> faults = census::all_faults();
  return *std::ranges::find_if(faults, [&](const auto& fault) { return fault.name == name; });
}

TEST(Reduce, SignaturesKeepTheKindOfFailureAndDropItsValues) {
  const StressOperation screen{StressOperation::Copy{"screen", "7", std::nullopt, "3"}};
  const StressOperation mask{StressOperation::InputMask{"4", "9", true}};
  const ExpectedOutcome success{ExpectedOutcome::Success{}};
  const ExpectedOutcome refusal{ExpectedOutcome::ErrorContains{"not found in 'Main 2'"}};
  const struct {
    StressOperation operation;
    ExpectedOutcome expected;
    const char* outcome;
    FailureSignature signature;
  } cases[] = {
      {screen,
       success,
       "invariant:strict: the copy differs from the expected one at /XmlState/ScreenSetup#1/"
       "screens#0/Screen#12: attribute 'name' expected \"Main \\\"2\\\" (Copy)\", observed \"x\"",
       {"copy screen (autoRenameRemap)",
        "invariant:strict: the copy differs from the expected one at <path>: attribute 'name' "
        "expected \"*\", observed \"*\""}},
      {mask,
       refusal,
       "error:Target slice 12 not found",
       {"paste input mask over one",
        "mismatch: expected refusal containing not found in 'Main #', observed error:Target slice "
        "# not found"}},
      {mask,
       success,
       "panic:index 40 out of range",
       {"paste input mask over one", "panic:index # out of range"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(signature_of({3, c.operation, c.expected, c.outcome}), c.signature) << c.outcome;
  }
}

TEST(Reduce, ShorterValuesAndDeltaDebugging) {
  using detail::shorter_values;
  using Values = std::vector<std::string>;
  EXPECT_EQ(shorter_values("1049"), (Values{"0", "1"}));
  EXPECT_EQ(shorter_values("-0.25"), (Values{"0", "1"}));
  EXPECT_EQ(shorter_values("1"), (Values{"0"}));
  EXPECT_EQ(shorter_values("0"), Values{});
  EXPECT_EQ(shorter_values("Left wall"), (Values{"", "Left"}));
  EXPECT_EQ(shorter_values("\xc3\xa9\xc3\xa9\xc3\xa9"),
            (Values{"", "\xc3\xa9"}));  // whole characters
  EXPECT_EQ(shorter_values("1.2.3"), (Values{"", "1."}));
  EXPECT_EQ(shorter_values(""), Values{});
  // The failure needs units 3 and 7 of 10: exactly they are kept, and single removals tried.
  std::size_t tries = 0;
  const auto kept = detail::ddmin(10, [&](const std::vector<std::size_t>& subset) {
    ++tries;
    return std::ranges::count(subset, 3) + std::ranges::count(subset, 7) == 2;
  });
  EXPECT_EQ(kept, (std::vector<std::size_t>{3, 7}));
  EXPECT_LT(tries, 30u);
  EXPECT_EQ(detail::ddmin(5, [](const auto&) { return true; }), std::vector<std::size_t>{});
  EXPECT_EQ(detail::ddmin(4, [](const auto& subset) { return subset.size() == 4; }),
            (std::vector<std::size_t>{0, 1, 2, 3}));
}

TEST(Reduce, PlantedFaultsOfEveryFamilyReduceToOneMinimalCases) {
  const std::pair<const char*, bool> faults[] = {
      {"screen inserted first instead of last", true},
      {"second copy named (Copy 1)", true},
      {"copied screen keeps the source's idHash values", true},
      {"mask vertices rebased with x and y swapped", true},
      {"missing target slice reported as missing source", true},
      {"writer leaves '&' unescaped", true},
      // Without the strict checks: the case's presets are the library's text.
      {"source mask rebased in place", false},
  };
  for (const auto& [name, strict] : faults) {
    SCOPED_TRACE(name);
    auto figures = check_reduction(fault_named(name), strict);
    ASSERT_TRUE(figures);
    EXPECT_LE(figures->bytes_after, 8192u);
  }
}

TEST(Reduce, AnExistingCaseReducesIntoANewCaseBesideIt) {
  const census::Planted planted(fault_named("copied slice switched off"));
  kivo::test::TempDir out;
  StressConfig config = strict_reducing_run(out.path());
  config.reduce = config.minimize = false;
  auto summary = runner::run(config);
  ASSERT_FALSE(summary);
  const fs::path original = kivo::test::case_dir_of(summary.error().display_chain());
  std::ostringstream err;
  ASSERT_EQ(program_main({"kivo_stress", "--reduce", "--reduce-seconds", "30", "--replay",
                          (original / "case.json").string()},
                         err, {}),
            0)
      << err.str();
  const std::string printed = err.str();
  EXPECT_TRUE(printed.starts_with("Replay reproduced=true step=")) << printed;
  const std::string marker = "\nReduced case: ";
  const std::size_t at = printed.find(marker);
  ASSERT_NE(at, std::string::npos) << printed;
  const std::size_t end = printed.find('\n', at + marker.size());
  const fs::path reduced = printed.substr(at + marker.size(), end - at - marker.size());
  EXPECT_TRUE(printed.substr(end + 1).starts_with("Reduced source_before.xml ")) << printed;
  EXPECT_EQ(reduced.parent_path(), original.parent_path());
  EXPECT_NE(reduced, original);
  for (const fs::path& form : {reduced, reduced / "unreduced", original}) {
    auto replayed = replay::replay_case(form / "case.json");
    EXPECT_TRUE(replayed && replayed->reproduced) << form;
  }
  EXPECT_FALSE(fs::exists(original / "unreduced"));
}

// The real program, on a terminal: a run of the bare template that fails with the unmodified
// engine shows the reduction's progress, then the failure with the reduction's line last.
TEST(Reduce, TheProgramShowsItsProgressAndEndsWithTheReduction) {
  kivo::test::TempDir dir;
  const std::vector<std::string> args = {
      "--template",     dir.write("bare.xml", kivo::test::kBareScreenTemplate).string(),
      "--out-dir",      (dir.path() / "out").string(),
      "--docs",         "3",
      "--pairs",        "1",
      "--ops-per-pair", "2",
      "--seed",         "4",
      "--reduce"};
  kivo::test::Child child = kivo::test::spawn_on_terminal(args);
  ASSERT_GT(child.pid, 0);
  std::string shown;
  EXPECT_EQ(kivo::test::finish_child(child, shown), 1);
  EXPECT_NE(shown.find("\rreducing: "), std::string::npos) << shown;
  const std::string printed = kivo::test::without_progress(shown);
  EXPECT_TRUE(
      std::regex_search(printed, std::regex("\nReduced source_before\\.xml [0-9]+ -> [0-9]+ "
                                            "bytes, target_before\\.xml [0-9]+ -> [0-9]+ "
                                            "bytes, trace [0-9]+ -> 1 steps in [0-9]+\\.[0-9] "
                                            "s \\([0-9,]+ replays\\)\r?\n$")))
      << printed;
  const fs::path case_dir = kivo::test::case_dir_of(printed);
  const auto replayed = kivo::test::run_program({"--replay", (case_dir / "case.json").string()});
  EXPECT_EQ(replayed.exit_status, 0) << replayed.err;
  EXPECT_TRUE(fs::exists(case_dir / "unreduced" / "case.json"));
}

// The figures over every planted fault. Slow, so it runs on request:
// kivo_tests --gtest_also_run_disabled_tests --gtest_filter='*ReductionFigures*'
TEST(Reduce, DISABLED_ReductionFigures) {
  for (const census::PlantedFault& fault : census::all_faults()) {
    SCOPED_TRACE(fault.name);
    if (auto f = check_reduction(fault)) {
      std::printf("%7llu -> %5llu bytes  %2llu -> %llu steps  %6.1f s  %s\n",
                  static_cast<unsigned long long>(f->bytes_before),
                  static_cast<unsigned long long>(f->bytes_after),
                  static_cast<unsigned long long>(f->steps_before),
                  static_cast<unsigned long long>(f->steps_after), f->seconds, fault.name);
    }
  }
}

}  // namespace
}  // namespace kivo::stress::reduce
