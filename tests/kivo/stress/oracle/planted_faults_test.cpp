// Planted copy-engine and writer faults: a strict fast run must catch each one with a case that
// replays, while the unmodified engine passes.
#include <gtest/gtest.h>

#include "kivo/stress/replay.hpp"
#include "kivo/stress/runner.hpp"
#include "support/census.hpp"
#include "support/presets.hpp"
#include "support/temp_dir.hpp"

namespace {

using kivo::test::census::Planted;
using kivo::test::census::PlantedFault;
namespace census = kivo::test::census;

kivo::stress::StressConfig strict_run(const std::filesystem::path& out_dir) {
  auto config = kivo::stress::default_for_profile(kivo::stress::StressProfile::Fast);
  config.template_path = kivo::test::kBundledTemplate;
  config.out_dir = out_dir;
  config.strict = true;
  return config;
}

TEST(PlantedFaults, StrictFastRunCatchesEachWithAReplayableCase) {
  for (const PlantedFault& fault : census::all_faults()) {
    SCOPED_TRACE(fault.name);
    kivo::test::TempDir out;
    const Planted planted(fault);
    auto summary = kivo::stress::runner::run(strict_run(out.path()));
    if (summary) {
      ADD_FAILURE() << "not caught";
      continue;
    }
    const std::string error = summary.error().display_chain();
    // A reader fault the template already shows ends the run before any step.
    if (error.starts_with("Template ")) {
      EXPECT_NE(error.find(" is read differently by the library and by the independent reader: "
                           "the library reads "),
                std::string::npos)
          << error;
      continue;
    }
    EXPECT_NE(error.find("\ninvariant:"), std::string::npos) << error;
    auto replayed = kivo::stress::replay::replay_case(kivo::test::case_dir_of(error) / "case.json");
    if (!replayed) {
      ADD_FAILURE() << replayed.error().display_chain();
      continue;
    }
    EXPECT_TRUE(replayed->reproduced);
  }
}

TEST(PlantedFaults, UnmodifiedEnginePassesStrictFastRun) {
  kivo::test::TempDir out;
  auto summary = kivo::stress::runner::run(strict_run(out.path()));
  ASSERT_TRUE(summary) << summary.error().display_chain();
  EXPECT_GT(summary->attempted, 500u);
}

// Whether a fast run with each fault planted fails, with and without the strict oracle. Slow
// (every fault the default run misses costs a whole run), so it runs on request:
// kivo_tests --gtest_also_run_disabled_tests --gtest_filter='*FaultCensus*'
TEST(PlantedFaults, DISABLED_FaultCensus) {
  for (const auto& [set, faults] : {std::pair{"planted", census::planted_faults()},
                                    std::pair{"held back", census::held_back_faults()},
                                    std::pair{"situations", census::situation_faults()}}) {
    int default_catches = 0, strict_catches = 0;
    for (const PlantedFault& fault : faults) {
      kivo::test::TempDir out;
      const Planted planted(fault);
      auto config = strict_run(out.path());
      const bool strict_caught = !kivo::stress::runner::run(config);
      config.strict = false;
      const bool default_caught = !kivo::stress::runner::run(config);
      strict_catches += strict_caught;
      default_catches += default_caught;
      std::printf("%-10s default=%d strict=%d  %s\n", set, default_caught, strict_caught,
                  fault.name);
    }
    std::printf("%s: %zu faults, default run caught %d, strict run caught %d\n", set, faults.size(),
                default_catches, strict_catches);
  }
}

}  // namespace
