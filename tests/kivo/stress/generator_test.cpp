#include "kivo/stress/generator.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "kivo/stress/mutations.hpp"
#include "kivo/stress/rng.hpp"
#include "support/presets.hpp"

namespace {

namespace generator = kivo::stress::generator;
using kivo::stress::StressConfig;
using kivo::test::parse_doc;
using kivo::test::written;

StressConfig config_with(std::uint64_t seed, std::uint64_t docs, double invalid_rate) {
  StressConfig config;
  config.seed = seed;
  config.docs = docs;
  config.invalid_rate = invalid_rate;
  return config;
}

TEST(DocName, PadsToThreeDigits) {
  EXPECT_EQ(generator::doc_name(0), "doc_000");
  EXPECT_EQ(generator::doc_name(42), "doc_042");
  EXPECT_EQ(generator::doc_name(999), "doc_999");
  EXPECT_EQ(generator::doc_name(1234), "doc_1234");
}

TEST(GenerateDocs, DrawsCountFlagAndStepsPerDocumentFromTheSaltedSeed) {
  const auto root = kivo::test::load_template();
  // The invalid rate, the share of invalid documents it gives, and their bias.
  const double cases[][3] = {{1.0, 0.8, 1.0}, {0.5, 0.4, 0.5}, {0.1, 0.08, 0.2}, {0, 0, 0}};
  for (const auto& [rate, share, bias] : cases) {
    const auto corpus = generator::generate_docs(root, config_with(99, 12, rate)).value();
    ASSERT_EQ(corpus.size(), 12u);
    auto rng = kivo::stress::StressRng::seed_from_u64(99 ^ 0xC0FFEE);
    for (std::size_t i = 0; i < corpus.size(); ++i) {
      auto expected = root;
      const auto steps = rng.gen_range(3, 11);
      const bool invalid = rng.gen_bool(share);
      kivo::stress::mutations::apply_random_mutations(expected, rng, steps, invalid ? bias : 0.0);
      EXPECT_EQ(corpus[i].name, generator::doc_name(i));
      EXPECT_EQ(corpus[i].invalid, invalid) << rate << " " << i;
      EXPECT_EQ(written(corpus[i].doc), written(expected)) << rate << " " << i;
    }
  }
}

TEST(GenerateDocs, RefusesCountsThatCannotFitInMemoryAtOnce) {
  const auto root = kivo::test::load_template();
  EXPECT_TRUE(generator::generate_docs(root, config_with(3, 0, 0.5)).value().empty());
  const std::pair<std::uint64_t, std::string> cases[] = {
      {std::numeric_limits<std::uint64_t>::max(), ": more documents than one sequence can hold"},
      {std::uint64_t{1} << 50, ": each document needs at least "}};
  for (const auto& [docs, cause] : cases) {
    const auto started = std::chrono::steady_clock::now();
    const auto corpus = generator::generate_docs(root, config_with(1, docs, 0.1));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    ASSERT_FALSE(corpus) << docs;
    EXPECT_EQ(corpus.error().message(),
              "Out of memory while generating " + std::to_string(docs) + " documents");
    EXPECT_EQ(corpus.error().chain().size(), 2u);
    // What a document needs and what the machine has vary, so only the start is fixed there.
    const std::string chain = corpus.error().display_chain(),
                      start = corpus.error().message() + cause;
    EXPECT_EQ(cause.ends_with(' ') ? chain.substr(0, start.size()) : chain, start);
  }
}

TEST(TreeFootprint, CountsNodeSlotsAttributesAndOnlyHeapHeldText) {
  using Entry = kivo::Attributes::Entry;
  const std::string long_value(40, 'v');
  const auto small = parse_doc(R"(<a x="1"/>)");
  const auto long_text = parse_doc("<a x=\"" + long_value + "\"/>");
  const auto larger = parse_doc(R"(<a x="1"><b y="22">text</b><!-- c --></a>)");
  const std::uint64_t base = sizeof(kivo::XMLNode) + sizeof(Entry);
  EXPECT_EQ(generator::tree_footprint(small), base);
  EXPECT_EQ(generator::tree_footprint(long_text), base + long_value.size() + 1);
  EXPECT_EQ(generator::tree_footprint(larger), base + 3 * sizeof(kivo::XMLNode) + sizeof(Entry));
}

TEST(GenerateDocs, ThousandDocumentsOfTheBundledTemplateSurviveTheRoundTrip) {
  const auto root = kivo::test::load_template();
  const auto corpus = generator::generate_docs(root, config_with(20240601, 1000, 0.14)).value();
  ASSERT_EQ(corpus.size(), 1000u);
  EXPECT_EQ(corpus.back().name, "doc_999");
  for (const auto& generated : corpus) {
    ASSERT_EQ(parse_doc(written(generated.doc)), generated.doc) << generated.name;
  }
}

}  // namespace
