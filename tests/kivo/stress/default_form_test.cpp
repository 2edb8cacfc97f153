// What a run without --strict prints and writes must stay byte for byte what earlier releases
// printed and wrote: the files in tests/data/default_form were written by the release before the
// strict mode, and stored cases and scripts parse them.
#include <gtest/gtest.h>

#include "support/presets.hpp"
#include "support/process.hpp"
#include "support/temp_dir.hpp"

namespace {

const std::filesystem::path kGolden = KIVO_SOURCE_DIR "/tests/data/default_form";

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The real executable with no arguments at all runs the bundled template.
TEST(DefaultForm, DefaultRunOfTheExecutable) {
  const auto result = kivo::test::run_program({});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "Stress run complete profile=fast seed=10508078 docs=40 pairs=100 attempted=600 "
            "succeeded=445\n");
}

class DefaultFormCase : public testing::TestWithParam<const char*> {};

TEST_P(DefaultFormCase, MatchesTheStoredCase) {
  const std::string variant = GetParam();
  kivo::test::TempDir dir;
  const auto template_path = dir.path() / "failing_template.xml";
  std::filesystem::copy_file(kGolden / "failing_template.xml", template_path);
  const auto out_dir = dir.path() / "out";
  std::vector<std::string> args = {
      "--template", template_path.string(), "--out-dir", out_dir.string(), "--seed",
      "1",          "--ops-per-pair",       "10",        "--docs",         "4"};
  if (variant == "minimized") args.push_back("--minimize");
  const auto run = kivo::test::run_program(args);
  EXPECT_EQ(run.exit_status, 1);
  const std::string& err = run.err;

  ASSERT_EQ(std::distance(std::filesystem::directory_iterator(out_dir), {}), 1) << err;
  const auto case_dir = std::filesystem::directory_iterator(out_dir)->path();
  EXPECT_EQ(replace_all(err, case_dir.string(), "@CASE_DIR@"),
            kivo::test::read_whole_file(kGolden / variant / "stderr.txt"));
  const std::string case_json = kivo::test::read_whole_file(case_dir / "case.json");
  EXPECT_EQ(replace_all(replace_all(case_json, out_dir.string(), "@OUT_DIR@"),
                        template_path.string(), "@TEMPLATE@"),
            kivo::test::read_whole_file(kGolden / variant / "case.json"));
  // The documents do not depend on shortening; they are stored once.
  for (const char* file : {"source_before.xml", "target_before.xml", "target_after.xml"}) {
    EXPECT_EQ(kivo::test::read_whole_file(case_dir / file),
              kivo::test::read_whole_file(kGolden / "plain" / file))
        << file;
  }
}

INSTANTIATE_TEST_SUITE_P(Variants, DefaultFormCase, testing::Values("plain", "minimized"));

}  // namespace
