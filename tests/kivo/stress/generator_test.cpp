#include "kivo/stress/generator.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "kivo/stress/checks/siphash.hpp"
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

TEST(GenerateDocs, ThousandDocumentsOfTheBundledTemplateSurviveTheRoundTrip) {
  const auto root = kivo::test::load_template();
  const auto corpus = generator::generate_docs(root, config_with(20240601, 1000, 0.14)).value();
  ASSERT_EQ(corpus.size(), 1000u);
  EXPECT_EQ(corpus.back().name, "doc_999");
  for (const auto& generated : corpus) {
    ASSERT_EQ(parse_doc(written(generated.doc)), generated.doc) << generated.name;
  }
}

// A seed's corpus is part of every case a run writes: its draws must not move, strict edits
// included (they draw from a generator of their own, document after document).
TEST(GenerateDocs, ASeedsStrictCorpusStaysTheSame) {
  StressConfig config = config_with(5, 6, 0.3);
  config.strict = true;
  kivo::stress::checks::SipHash13 hash(1, 2);
  std::size_t handed = 0;
  ASSERT_TRUE(generator::generate_each(kivo::test::load_template(), config,
                                       [&](const generator::GeneratedDoc& doc) {
                                         EXPECT_EQ(doc.name, generator::doc_name(handed++));
                                         hash.write(written(doc.doc));
                                       }));
  EXPECT_EQ(handed, 6u);
  EXPECT_EQ(hash.finish(), 0x6bc232313318095u);
}

}  // namespace
