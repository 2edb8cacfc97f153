#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kivo/merge.hpp"
#include "kivo/merge/preset_builders.hpp"

namespace kivo::merge {
namespace {

using merge_test::el;
using merge_test::name_group;
using ::testing::UnorderedElementsAre;

struct ConflictCase {
  std::string base;
  std::unordered_set<std::string> taken;
  std::string expected;
};

void PrintTo(const ConflictCase& c, std::ostream* out) { *out << c.base << " -> " << c.expected; }

class ResolveNameConflict : public ::testing::TestWithParam<ConflictCase> {};

TEST_P(ResolveNameConflict, PicksFirstFreeCandidate) {
  EXPECT_EQ(resolve_name_conflict(GetParam().base, GetParam().taken), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResolveNameConflict,
    ::testing::Values(ConflictCase{"Main", {"Main"}, "Main (Copy)"},
                      ConflictCase{"Main", {"Main", "Main (Copy)"}, "Main (Copy 2)"},
                      ConflictCase{"Main",
                                   {"Main", "Main (Copy)", "Main (Copy 2)", "Main (Copy 3)"},
                                   "Main (Copy 4)"},
                      ConflictCase{"Main", {"Main (Copy)"}, "Main"},
                      ConflictCase{"Main (Copy)", {"Main (Copy)"}, "Main (Copy) (Copy)"},
                      ConflictCase{"Main", {}, "Main"},
                      // A gap is filled: numbers are tried from 2 upwards.
                      ConflictCase{"A", {"A", "A (Copy)", "A (Copy 3)"}, "A (Copy 2)"},
                      ConflictCase{"", {""}, " (Copy)"}));

TEST(GetScreenName, PrefersParamsNameThenAttributeThenWord) {
  EXPECT_EQ(get_screen_name(el("Screen", {{"name", "Attr"}}, {name_group("Params", "Param")})),
            "Param");
  EXPECT_EQ(get_screen_name(el("Screen", {{"name", "Attr"}}, {name_group("Common", "Other")})),
            "Attr");
  // A "Params" group without a "Name" parameter falls back to the attribute.
  EXPECT_EQ(get_screen_name(el("Screen", {{"name", "Attr"}},
                               {el("Params", {{"name", "Params"}},
                                   {el("Param", {{"name", "Width"}, {"value", "5"}})})})),
            "Attr");
  EXPECT_EQ(get_screen_name(el("Screen")), "Screen");
}

TEST(GetLayerName, PrefersCommonNameThenTag) {
  EXPECT_EQ(get_layer_name(el("Slice", {{"name", "ignored"}}, {name_group("Common", "S1")})), "S1");
  EXPECT_EQ(get_layer_name(el("Mask", {{"name", "ignored"}}, {name_group("Params", "P")})), "Mask");
}

TEST(SetLayerName, ChangesOnlyAnExistingCommonName) {
  Element layer = el("Slice", {}, {name_group("Common", "Old")});
  set_layer_name(layer, "New");
  EXPECT_EQ(layer, el("Slice", {}, {name_group("Common", "New")}));

  for (Element unnamed : {el("Slice"), el("Slice", {}, {name_group("Params", "P")}),
                          el("Slice", {}, {el("Params", {{"name", "Common"}})})}) {
    const Element before = unnamed;
    set_layer_name(unnamed, "New");
    EXPECT_EQ(unnamed, before);
  }
}

TEST(CollectLayerNames, TakesTagLayersOfFirstLayersOnly) {
  Element screen = el("Screen", {},
                      {el("layers", {},
                          {el("Slice", {}, {name_group("Common", "A")}),
                           el("Mask", {}, {name_group("Common", "M")}), el("Slice"),
                           el("Slice", {}, {name_group("Common", "A")})}),
                       el("layers", {}, {el("Slice", {}, {name_group("Common", "Second")})})});
  EXPECT_THAT(collect_layer_names(screen.children, "Slice"), UnorderedElementsAre("A", "Slice"));
  EXPECT_THAT(collect_layer_names(screen.children, "Mask"), UnorderedElementsAre("M"));
  EXPECT_TRUE(collect_layer_names(el("Screen").children, "Slice").empty());
}

}  // namespace
}  // namespace kivo::merge
