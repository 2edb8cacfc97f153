// A planner holds its target while it weighs candidates: the oracle must expect exactly what it
// expects without the hold, and only of the very tree held, as it stands.
#include <gtest/gtest.h>

#include "kivo/stress/generator.hpp"
#include "kivo/stress/mutations.hpp"
#include "kivo/stress/oracle.hpp"
#include "kivo/stress/runner/tree_paths.hpp"
#include "support/presets.hpp"

namespace {

namespace oracle = kivo::stress::oracle;
using kivo::Element;
using kivo::stress::StressOperation;

std::vector<std::string> ids(const Element& root, std::string_view tag) {
  std::vector<std::string> found;
  kivo::stress::mutations::collect_ids_by_tag_rec(root, tag, found);
  return found;
}

// Screen copies, every layer onto every target screen, every slice's mask onto every target slice.
std::vector<StressOperation> requests(const Element& source, const Element& target) {
  std::vector<StressOperation> made;
  for (const std::string& screen : ids(source, "Screen")) {
    made.push_back({StressOperation::Copy{"screen", screen, std::nullopt, std::nullopt, {}}});
  }
  for (const char* tag : {"Slice", "Mask"}) {
    for (const auto& layer : kivo::stress::runner::layer_candidates(source, tag)) {
      for (const std::string& screen : ids(target, "Screen")) {
        made.push_back({StressOperation::Copy{tag == std::string("Slice") ? "slice" : "mask",
                                              layer.unique_id,
                                              layer.screen_id,
                                              screen,
                                              {}}});
      }
    }
  }
  for (const std::string& from : ids(source, "Slice")) {
    for (const std::string& onto : ids(target, "Slice")) {
      made.push_back({StressOperation::InputMask{from, onto, onto.size() % 2 == 0}});
    }
  }
  return made;
}

void expect_same(const oracle::Expectation& held, const oracle::Expectation& free) {
  EXPECT_EQ(held.refusal, free.refusal);
  EXPECT_EQ(held.parent, free.parent);
  EXPECT_EQ(held.position, free.position);
  EXPECT_EQ(held.subtree, free.subtree);
  EXPECT_EQ(held.messages, free.messages);
  EXPECT_EQ(held.unique_id_map, free.unique_id_map);
  EXPECT_EQ(held.id_hash_map, free.id_hash_map);
  EXPECT_EQ(held.decisions, free.decisions);
}

TEST(TargetHeld, ExpectsWhatAFreshReadingExpectsOfTheHeldTreeOnly) {
  kivo::stress::StressConfig config;
  config.seed = 11;
  config.docs = 6;
  config.invalid_rate = 0.5;
  config.strict = true;
  const auto corpus =
      kivo::stress::generator::generate_docs(kivo::test::load_template(), config).value();
  std::size_t renumbered = 0;
  for (std::size_t i = 0; i + 1 < corpus.size(); ++i) {
    const Element& source = corpus[i].doc;
    const Element& target = corpus[i + 1].doc;
    const auto made = requests(source, target);
    std::vector<oracle::Expectation> free, free_onto_source;
    for (const auto& operation : made) {
      free.push_back(oracle::expect(source, target, operation));
      free_onto_source.push_back(oracle::expect(source, source, operation));
    }
    {
      const oracle::TargetHeld held(target);
      for (std::size_t k = 0; k < made.size(); ++k) {
        expect_same(oracle::expect(source, target, made[k]), free[k]);
        // Another tree, even while one is held, is read as it is.
        expect_same(oracle::expect(source, source, made[k]), free_onto_source[k]);
        renumbered += free[k].unique_id_map.size();
      }
    }
  }
  EXPECT_GT(renumbered, 100u);

  // Once the hold ends, a change to the tree is seen.
  Element source, target;
  std::optional<StressOperation> renumbering;
  for (std::size_t i = 0; i + 1 < corpus.size() && !renumbering; ++i) {
    source = corpus[i].doc;
    target = corpus[i + 1].doc;
    for (const auto& operation : requests(source, target)) {
      if (!oracle::expect(source, target, operation).unique_id_map.empty()) {
        renumbering = operation;
        break;
      }
    }
  }
  ASSERT_TRUE(renumbering);
  std::optional<oracle::Expectation> before;
  {
    const oracle::TargetHeld held(target);
    before = oracle::expect(source, target, *renumbering);
  }
  Element taken = Element::make("Taken");
  taken.set_attr("uniqueId", "987654321");
  target.children.push_back(kivo::XMLNode{std::move(taken)});
  const oracle::TargetHeld held(target);
  const auto after = oracle::expect(source, target, *renumbering);
  ASSERT_FALSE(after.unique_id_map.empty());
  EXPECT_NE(after.unique_id_map, before->unique_id_map);
  for (const auto& [old_value, new_value] : after.unique_id_map) {
    EXPECT_GT(std::stoull(new_value), 987654321u) << old_value;
  }
}

}  // namespace
