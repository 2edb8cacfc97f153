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

constexpr const char* kTemplate = R"(<XmlState><ScreenSetup><screens>
  <Screen uniqueId="1" name="Main">
    <Params name="Params"><Param name="Name" value="Main"/><Param name="Enabled" value="1"/></Params>
    <layers>
      <Slice uniqueId="10" idHash="aa">
        <Params name="Common"><Param name="Name" value="Left"/><Param name="Enabled" value="1"/></Params>
        <InputRect><v x="0" y="0"/><v x="100" y="0"/><v x="100" y="50"/><v x="0" y="50"/></InputRect>
        <OutputRect><v x="0" y="0"/><v x="200" y="0"/><v x="200" y="100"/><v x="0" y="100"/></OutputRect>
      </Slice>
      <Mask uniqueId="11"><Params name="Common"><Param name="Name" value="Dim"/></Params>
        <InputRect><v x="5" y="5"/><v x="9" y="5"/><v x="9" y="9"/></InputRect></Mask>
    </layers>
  </Screen>
  <Screen uniqueId="2" name="Side"><layers>
    <Slice uniqueId="20"><InputRect><v x="1" y="2"/><v x="3" y="4"/><v x="5" y="6"/></InputRect></Slice>
  </layers></Screen>
</screens></ScreenSetup></XmlState>)";

StressConfig config_with(std::uint64_t seed, std::uint64_t docs, double invalid_rate) {
  StressConfig config;
  config.seed = seed;
  config.docs = docs;
  config.invalid_rate = invalid_rate;
  return config;
}

std::vector<generator::GeneratedDoc> generate(const kivo::Element& root,
                                              const StressConfig& config) {
  auto corpus = generator::generate_docs(root, config);
  if (!corpus) {
    ADD_FAILURE() << corpus.error().display_chain();
    return {};
  }
  return std::move(*corpus);
}

TEST(DocName, PadsToThreeDigits) {
  for (const auto& [index, name] : {std::pair<std::uint64_t, const char*>{0, "doc_000"},
                                    {7, "doc_007"},
                                    {42, "doc_042"},
                                    {999, "doc_999"},
                                    {1000, "doc_1000"},
                                    {1234, "doc_1234"}}) {
    EXPECT_EQ(generator::doc_name(index), name);
  }
}

TEST(GenerateDocs, DrawsCountFlagAndStepsPerDocumentFromTheSaltedSeed) {
  const auto root = parse_doc(kTemplate);
  struct Case {
    double rate;
    double share;
    double bias;
  };
  for (const Case& c :
       {Case{1.0, 0.8, 1.0}, Case{0.5, 0.4, 0.5}, Case{0.1, 0.08, 0.2}, Case{0, 0, 0}}) {
    const auto corpus = generate(root, config_with(99, 12, c.rate));
    ASSERT_EQ(corpus.size(), 12u);
    auto rng = kivo::stress::StressRng::seed_from_u64(99 ^ 0xC0FFEE);
    for (std::size_t i = 0; i < corpus.size(); ++i) {
      auto expected = root;
      const auto steps = rng.gen_range(3, 11);
      const bool invalid = rng.gen_bool(c.share);
      kivo::stress::mutations::apply_random_mutations(expected, rng, steps, invalid ? c.bias : 0.0);
      EXPECT_EQ(corpus[i].name, generator::doc_name(i));
      EXPECT_EQ(corpus[i].invalid, invalid) << c.rate << " " << i;
      EXPECT_EQ(written(corpus[i].doc), written(expected)) << c.rate << " " << i;
    }
  }
}

TEST(GenerateDocs, RefusesCountsThatCannotFitInMemoryAtOnce) {
  const auto root = parse_doc(kTemplate);
  EXPECT_TRUE(generate(root, config_with(3, 0, 0.5)).empty());
  for (std::uint64_t docs : {std::numeric_limits<std::uint64_t>::max(), std::uint64_t{1} << 50}) {
    const auto started = std::chrono::steady_clock::now();
    const auto corpus = generator::generate_docs(root, config_with(1, docs, 0.1));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    ASSERT_FALSE(corpus) << docs;
    EXPECT_EQ(corpus.error().message(),
              "Out of memory while generating " + std::to_string(docs) + " documents");
    EXPECT_EQ(corpus.error().chain().size(), 2u);
  }
  EXPECT_EQ(
      generator::generate_docs(root, config_with(1, std::numeric_limits<std::uint64_t>::max(), 0.1))
          .error()
          .display_chain(),
      "Out of memory while generating 18446744073709551615 documents: more documents than "
      "one sequence can hold");
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
  const auto corpus = generate(root, config_with(20240601, 1000, 0.14));
  ASSERT_EQ(corpus.size(), 1000u);
  EXPECT_EQ(corpus.back().name, "doc_999");
  for (const auto& generated : corpus) {
    ASSERT_EQ(parse_doc(written(generated.doc)), generated.doc) << generated.name;
  }
}

}  // namespace
