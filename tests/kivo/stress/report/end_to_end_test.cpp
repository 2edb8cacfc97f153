// A failing run with --report writes report.html beside its case; --report --replay writes one
// for a case that exists.
#include <gtest/gtest.h>

#include <cstdlib>

#include "kivo/stress/report.hpp"
#include "kivo/stress/runner.hpp"
#include "support/census.hpp"
#include "support/presets.hpp"
#include "support/program_runs.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace census = kivo::test::census;
using kivo::test::TempDir;

const census::PlantedFault& fault_named(std::string_view name) {
  static const std::vector<census::PlantedFault> faults = census::all_faults();
  for (const auto& fault : faults) {
    if (fault.name == name) return fault;
  }
  throw std::runtime_error("no planted fault named " + std::string(name));
}

// The case directory of a strict fast run with `fault` planted, its report asked for.
std::filesystem::path failing_case(std::string_view fault, const std::filesystem::path& out_dir,
                                   std::string& error) {
  const census::Planted planted(fault_named(fault));
  auto config = kivo::stress::default_for_profile(kivo::stress::StressProfile::Fast);
  config.template_path = kivo::test::kBundledTemplate;
  config.out_dir = out_dir;
  config.strict = true;
  config.report = true;
  auto summary = kivo::stress::runner::run(config);
  if (summary) return {};
  error = summary.error().display_chain();
  return kivo::test::case_dir_of(error);
}

void expect_parts(const std::string& page) {
  for (const char* part :
       {"<section id=\"run\">", "kivo_stress --replay ", "<section id=\"trace\">",
        "<tr class=\"failing\">", "✗ failing", "<section id=\"subtree\">", "expected by the oracle",
        "<span class=\"diff\">", "<section id=\"drawings\">", "<svg ", "input space",
        "output space", " changed\""}) {
    EXPECT_NE(page.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("http://") , page.find("http://www.w3.org/2000/svg"))
      << "nothing but the SVG namespace may name a place elsewhere";
}

TEST(ReportEndToEnd, FailingRunWritesTheReportBesideItsCase) {
  TempDir out;
  std::string error;
  const auto dir = failing_case("mask vertices rebased with x and y swapped", out.path(), error);
  ASSERT_FALSE(dir.empty()) << "the planted fault was not caught";
  EXPECT_NE(error.find("\nReport: " + (dir / "report.html").string()), std::string::npos)
      << error;
  for (const char* file : {"case.json", "source_before.xml", "target_before.xml",
                           "target_after.xml", "report.html"}) {
    EXPECT_TRUE(std::filesystem::exists(dir / file)) << file;
  }
  const std::string page = kivo::test::read_whole_file(dir / "report.html");
  expect_parts(page);
  EXPECT_NE(page.find("paste the input mask of Slice &#39;"), std::string::npos);
  EXPECT_LT(page.size(), 1'000'000u);
}

TEST(ReportEndToEnd, ReplayWithReportWritesOneForAnExistingCase) {
  TempDir out;
  std::string error;
  const auto dir = failing_case("renamed layer keeps its old name", out.path(), error);
  ASSERT_FALSE(dir.empty()) << "the planted fault was not caught";
  std::filesystem::remove(dir / "report.html");
  const std::string case_json = (dir / "case.json").string();
  // Out of the fault's reach the replay no longer reproduces; the page is written all the same.
  const auto run = kivo::test::program({"kivo_stress", "--report", "--replay", case_json});
  EXPECT_NE(run.err.find("Report: " + (dir / "report.html").string()), std::string::npos)
      << run.err;
  ASSERT_TRUE(std::filesystem::exists(dir / "report.html"));
  const std::string page = kivo::test::read_whole_file(dir / "report.html");
  expect_parts(page);
  EXPECT_NE(page.find("Replaying the trace here observed"), std::string::npos);
}

TEST(ReportEndToEnd, DefaultCaseHasNoReport) {
  TempDir out;
  const census::Planted planted(fault_named("renamed layer keeps its old name"));
  auto config = kivo::stress::default_for_profile(kivo::stress::StressProfile::Fast);
  config.template_path = kivo::test::kBundledTemplate;
  config.out_dir = out.path();
  config.strict = true;
  auto summary = kivo::stress::runner::run(config);
  ASSERT_FALSE(summary);
  const std::string error = summary.error().display_chain();
  EXPECT_EQ(error.find("Report"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(kivo::test::case_dir_of(error) / "report.html"));
}

TEST(ReportEndToEnd, AReportThatCannotBeBuiltLeavesTheCase) {
  TempDir out;
  std::string error;
  const auto dir = failing_case("renamed layer keeps its old name", out.path(), error);
  ASSERT_FALSE(dir.empty());
  std::filesystem::remove(dir / "report.html");
  std::filesystem::remove(dir / "source_before.xml");
  const auto run =
      kivo::test::program({"kivo_stress", "--report", "--replay", (dir / "case.json").string()});
  EXPECT_NE(run.err.find("error: report not written: "), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "report.html"));
  EXPECT_TRUE(std::filesystem::exists(dir / "case.json"));
}

// Writes one case of each family, report included, into $KIVO_REPORT_CASES/<family>/ for
// scripts/report-check; run on request:
// kivo_tests --gtest_also_run_disabled_tests --gtest_filter='*WriteCasesOfEachFamily*'
TEST(ReportEndToEnd, DISABLED_WriteCasesOfEachFamily) {
  const char* root = std::getenv("KIVO_REPORT_CASES");
  ASSERT_NE(root, nullptr) << "KIVO_REPORT_CASES names the folder to write into";
  for (const auto& [family, fault] :
       {std::pair{"geometry", "mask vertices rebased with x and y swapped"},
        std::pair{"naming", "renamed layer keeps its old name"},
        std::pair{"refusal", "missing target slice reported as missing source"}}) {
    SCOPED_TRACE(family);
    std::string error;
    const auto dir = failing_case(fault, std::filesystem::path(root) / family, error);
    ASSERT_FALSE(dir.empty()) << "not caught: " << fault;
    EXPECT_TRUE(std::filesystem::exists(dir / "report.html")) << error;
  }
}

}  // namespace
