#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <map>

#include "kivo/merge.hpp"
#include "support/presets.hpp"

namespace kivo::merge {
namespace {

using namespace kivo::test;
using ::testing::UnorderedElementsAre;

TEST(ResolveNameConflict, PicksTheFirstFreeCandidate) {
  const struct {
    std::string base;
    std::unordered_set<std::string> taken;
    std::string expected;
  } cases[] = {
      {"Main", {"Main"}, "Main (Copy)"},
      {"Main", {"Main", "Main (Copy)"}, "Main (Copy 2)"},
      {"Main", {"Main", "Main (Copy)", "Main (Copy 2)", "Main (Copy 3)"}, "Main (Copy 4)"},
      {"Main", {"Main (Copy)"}, "Main"},
      {"Main (Copy)", {"Main (Copy)"}, "Main (Copy) (Copy)"},
      {"A", {"A", "A (Copy)", "A (Copy 3)"}, "A (Copy 2)"},  // numbers are tried from 2 upwards
      {"", {""}, " (Copy)"},
  };
  for (const auto& c : cases) EXPECT_EQ(resolve_name_conflict(c.base, c.taken), c.expected);
}

TEST(LayerAndScreenNames, ReadSetAndCollectTheDocumentedPlaces) {
  EXPECT_EQ(get_screen_name(el("Screen", {{"name", "Attr"}}, {name_group("Params", "Param")})),
            "Param");
  EXPECT_EQ(get_screen_name(el("Screen", {{"name", "Attr"}}, {name_group("Common", "Other")})),
            "Attr");
  EXPECT_EQ(get_screen_name(el("Screen")), "Screen");
  EXPECT_EQ(get_layer_name(el("Slice", {{"name", "ignored"}}, {name_group("Common", "S1")})), "S1");
  EXPECT_EQ(get_layer_name(el("Mask", {{"name", "ignored"}}, {name_group("Params", "P")})), "Mask");

  Element layer = el("Slice", {}, {name_group("Common", "Old")});
  set_layer_name(layer, "New");
  EXPECT_EQ(layer, el("Slice", {}, {name_group("Common", "New")}));
  // Layers without a "Common" group keep their shape.
  Element unnamed = el("Slice", {}, {name_group("Params", "P")});
  set_layer_name(unnamed, "New");
  EXPECT_EQ(unnamed, el("Slice", {}, {name_group("Params", "P")}));

  Element screen_element =
      el("Screen", {},
         {el("layers", {},
             {el("Slice", {}, {name_group("Common", "A")}),
              el("Mask", {}, {name_group("Common", "M")}), el("Slice"),
              el("Slice", {}, {name_group("Common", "A")})}),
          el("layers", {}, {el("Slice", {}, {name_group("Common", "Second")})})});
  EXPECT_THAT(collect_layer_names(screen_element.children, "Slice"),
              UnorderedElementsAre("A", "Slice"));
  EXPECT_THAT(collect_layer_names(screen_element.children, "Mask"), UnorderedElementsAre("M"));
  EXPECT_TRUE(collect_layer_names(el("Screen").children, "Slice").empty());
}

// A target root whose elements carry the given attribute values.
Element target_with(const std::vector<std::string>& ids, const char* attribute = "uniqueId") {
  Element root = el("XmlState");
  for (const std::string& id : ids) root.children.push_back(XMLNode{el("Item", {{attribute, id}})});
  return root;
}

using Map = std::map<std::string, std::string>;

// The remapped subtree as text, then both maps.
std::string remapped(Element inserted, const Element& target) {
  const model::Remap remap = remap_ids_for_insert(inserted, target);
  std::string text = written(inserted).substr(39);
  for (const auto* map : {&remap.unique_id_map, &remap.id_hash_map}) {
    text += " |";
    for (const auto& [from, to] : Map(map->begin(), map->end())) text += " " + from + "->" + to;
  }
  return text;
}

TEST(RemapIdsForInsert, RenumbersIdentifiersAndWholeValueReferences) {
  const struct {
    Element inserted;
    Element target;
    std::string expected;
  } cases[] = {
      {el("Slice", {{"uniqueId", "9"}, {"idHash", "77"}}), el("XmlState"),
       "<Slice uniqueId=\"2\" idHash=\"10000000001\"/> | 9->2 | 77->10000000001"},
      // Counting starts above the largest numeric reading; pre-order.
      {el("Screen", {{"uniqueId", "x"}},
          {el("A", {{"uniqueId", "y"}}, {el("A1", {{"uniqueId", "z"}})}),
           el("B", {{"uniqueId", "w"}})}),
       target_with({"5", "abc", "+12", "007"}),
       "<Screen uniqueId=\"13\">\n  <A uniqueId=\"14\">\n    <A1 uniqueId=\"15\"/>\n  </A>\n  <B "
       "uniqueId=\"16\"/>\n</Screen> | w->16 x->13 y->14 z->15 |"},
      // A repeated old id consumes one new id per occurrence.
      {el("Screen", {{"uniqueId", "4"}}, {el("Slice", {{"uniqueId", "4"}})}), target_with({"10"}),
       "<Screen uniqueId=\"12\">\n  <Slice uniqueId=\"12\"/>\n</Screen> | 4->12 |"},
      {el("Slice", {{"name", "5"}}, {el("v", {{"x", "1"}})}), target_with({"5"}),
       "<Slice name=\"5\">\n  <v x=\"1\"/>\n</Slice> | |"},
      {el("Slice", {{"uniqueId", "4"}},
          {el("Link", {{"target", "4"}, {"label", "slice-4"}, {"name", "4 "}})}),
       target_with({"20"}),
       "<Slice uniqueId=\"21\">\n  <Link target=\"21\" label=\"slice-4\" name=\"4 \"/>\n</Slice> | "
       "4->21 |"},
      // The idHash pass runs over the result of the uniqueId pass.
      {el("Slice", {{"uniqueId", "a"}, {"idHash", "2"}}), el("XmlState"),
       "<Slice uniqueId=\"10000000001\" idHash=\"10000000001\"/> | a->2 | 2->10000000001"},
      {el("Slice", {{"uniqueId", "1"}, {"idHash", "1"}}),
       el("XmlState", {},
          {el("Screen", {{"uniqueId", "900"}, {"idHash", "50"}}), el("Slice", {{"idHash", "x"}})}),
       "<Slice uniqueId=\"901\" idHash=\"901\"/> | 1->901 | 1->51"},
      // The counter wraps past the largest value and skips used texts.
      {el("Screen", {{"uniqueId", "a"}}, {el("Slice", {{"uniqueId", "b"}})}),
       target_with({"18446744073709551615"}),
       "<Screen uniqueId=\"0\">\n  <Slice uniqueId=\"1\"/>\n</Screen> | a->0 b->1 |"},
      {el("Screen", {{"uniqueId", "a"}}, {el("Slice", {{"uniqueId", "b"}})}),
       target_with({"18446744073709551615", "0", "2"}),
       "<Screen uniqueId=\"1\">\n  <Slice uniqueId=\"3\"/>\n</Screen> | a->1 b->3 |"},
  };
  for (const auto& c : cases) {
    const Element target_before = c.target;
    EXPECT_EQ(remapped(c.inserted, c.target), c.expected);
    EXPECT_EQ(c.target, target_before);
  }
  const std::pair<std::vector<std::string>, std::string> starts[] = {
      {{"0"}, "1"},
      {{"18446744073709551614"}, "18446744073709551615"},
      {{"007", "6"}, "8"},  // "7" is free as text although "007" reads as 7
  };
  for (const auto& [ids, first] : starts) {
    EXPECT_EQ(remapped(el("Slice", {{"uniqueId", "old"}}), target_with(ids)),
              "<Slice uniqueId=\"" + first + "\"/> | old->" + first + " |");
  }
}

TEST(FormatDecimal, WritesSixRoundedDigitsWithoutTrailingZeros) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  // Rounding starts from the exact binary value: 0.0000005 lies just below the half, 0.0000015
  // just above it; exact halves (0.0078125, 0.0234375) go to the even digit.
  const std::pair<double, const char*> cases[] = {{100, "100"},
                                                  {1.23456789, "1.234568"},
                                                  {-0.0000001, "0"},
                                                  {2.0000004, "2"},
                                                  {0.1 + 0.2, "0.3"},
                                                  {-1.5, "-1.5"},
                                                  {1e21, "1000000000000000000000"},
                                                  {0.0000005, "0"},
                                                  {0.0000015, "0.000002"},
                                                  {0.0078125, "0.007812"},
                                                  {0.0234375, "0.023438"},
                                                  {1.0000005, "1.000001"},
                                                  {kInf, "inf"},
                                                  {-kInf, "-inf"},
                                                  {kNaN, "NaN"},
                                                  {-kNaN, "NaN"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(format_decimal(value), text);
  const std::string largest = format_decimal(std::numeric_limits<double>::max());
  EXPECT_EQ(largest.size(), 309u);
  EXPECT_EQ(largest.substr(0, 6), "179769");
  EXPECT_EQ(format_decimal(-std::numeric_limits<double>::max()).size(), 310u);
}

}  // namespace
}  // namespace kivo::merge
