// The strict corpus holds only documents that their own text reads back as, so that every strict
// case replays; and a strict fast run reaches every decision of the copy engine the oracle knows.
#include <gtest/gtest.h>

#include <set>

#include "kivo/stress/config.hpp"
#include "kivo/stress/generator.hpp"
#include "kivo/stress/independent.hpp"
#include "kivo/stress/oracle.hpp"
#include "kivo/stress/runner.hpp"
#include "kivo/xml_utils.hpp"
#include "support/presets.hpp"
#include "support/temp_dir.hpp"

namespace {

using kivo::Element;
using kivo::stress::oracle::Decision;
using kivo::stress::oracle::decision_name;

kivo::stress::StressConfig strict_fast() {
  auto config = kivo::stress::default_for_profile(kivo::stress::StressProfile::Fast);
  config.template_path = kivo::test::kBundledTemplate;
  config.strict = true;
  return config;
}

// Written in the fixed form, each document reads back as itself, with both readers.
TEST(StrictCorpus, EveryDocumentIsWhatItsTextReadsBackAs) {
  auto corpus = kivo::stress::generator::generate_docs(kivo::test::load_template(), strict_fast());
  ASSERT_TRUE(corpus);
  for (const auto& generated : *corpus) {
    auto text = kivo::stress::oracle::fixed_form(generated.doc);
    ASSERT_TRUE(text) << generated.name << ": " << text.error();
    EXPECT_EQ(kivo::xml_utils::write_xml_string(generated.doc), *text) << generated.name;
    EXPECT_EQ(*kivo::xml_utils::parse(*text), generated.doc) << generated.name;
    EXPECT_EQ(kivo::stress::oracle::read_back(generated.doc), generated.doc) << generated.name;
    EXPECT_EQ(kivo::stress::independent::reading_difference(*text, generated.doc), std::nullopt);
  }
}

// Three strict fast runs together make every decision of the oracle (one run alone makes nearly
// all: which few it misses depends on its seed).
TEST(StrictCorpus, StrictFastRunsReachEveryDecision) {
  std::vector<std::uint64_t> made(static_cast<std::size_t>(Decision::Count));
  for (std::uint64_t seed : {10508078, 1, 2}) {
    kivo::test::TempDir out;
    auto config = strict_fast();
    config.out_dir = out.path();
    config.seed = seed;
    kivo::stress::runner::RunControl control;
    control.on_decisions = [&](const std::vector<std::uint64_t>& counts) {
      for (std::size_t d = 0; d < counts.size(); ++d) made[d] += counts[d];
    };
    ASSERT_TRUE(kivo::stress::runner::run(config, control));
  }
  std::string missed;
  for (std::size_t d = 0; d < made.size(); ++d) {
    if (made[d] == 0) missed.append(" ").append(decision_name(static_cast<Decision>(d)));
  }
  EXPECT_EQ(missed, "");
}

}  // namespace
