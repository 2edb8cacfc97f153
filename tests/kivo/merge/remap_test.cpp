#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kivo/merge.hpp"
#include "kivo/merge/preset_builders.hpp"

namespace kivo::merge {
namespace {

using merge_test::el;
using model::Remap;
using ::testing::Pair;
using ::testing::UnorderedElementsAre;

// A target root whose elements carry the given uniqueId values.
Element target_with_unique_ids(const std::vector<std::string>& ids) {
  Element root = el("XmlState");
  for (const std::string& id : ids)
    root.children.push_back(XMLNode{el("Item", {{"uniqueId", id}})});
  return root;
}

TEST(RemapIdsForInsert, EmptyTargetStartsAtTwoAndTenToTheTenthPlusOne) {
  Element inserted = el("Slice", {{"uniqueId", "9"}, {"idHash", "77"}});
  Remap remap = remap_ids_for_insert(inserted, el("XmlState"));
  EXPECT_EQ(*inserted.attr("uniqueId"), "2");
  EXPECT_EQ(*inserted.attr("idHash"), "10000000001");
  EXPECT_THAT(remap.unique_id_map, UnorderedElementsAre(Pair("9", "2")));
  EXPECT_THAT(remap.id_hash_map, UnorderedElementsAre(Pair("77", "10000000001")));
}

TEST(RemapIdsForInsert, CountsFromLargestNumericReadingInPreOrder) {
  const Element target = target_with_unique_ids({"5", "abc", "+12", "007"});
  const Element target_before = target;
  Element inserted = el("Screen", {{"uniqueId", "x"}},
                        {el("A", {{"uniqueId", "y"}}, {el("A1", {{"uniqueId", "z"}})}),
                         el("B", {{"uniqueId", "w"}})});
  Remap remap = remap_ids_for_insert(inserted, target);
  EXPECT_THAT(remap.unique_id_map, UnorderedElementsAre(Pair("x", "13"), Pair("y", "14"),
                                                        Pair("z", "15"), Pair("w", "16")));
  EXPECT_EQ(inserted, el("Screen", {{"uniqueId", "13"}},
                         {el("A", {{"uniqueId", "14"}}, {el("A1", {{"uniqueId", "15"}})}),
                          el("B", {{"uniqueId", "16"}})}));
  EXPECT_EQ(target, target_before);
}

struct StartCase {
  std::vector<std::string> target_ids;
  std::string first_new_id;
};

void PrintTo(const StartCase& c, std::ostream* out) {
  *out << c.target_ids.size() << " target ids -> " << c.first_new_id;
}

class RemapCounterStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(RemapCounterStart, FirstNewUniqueId) {
  Element inserted = el("Slice", {{"uniqueId", "old"}});
  remap_ids_for_insert(inserted, target_with_unique_ids(GetParam().target_ids));
  EXPECT_EQ(*inserted.attr("uniqueId"), GetParam().first_new_id);
}

INSTANTIATE_TEST_SUITE_P(
    NumericReadings, RemapCounterStart,
    ::testing::Values(StartCase{{"-3", " 4", "4 ", "4.0", "+", "", "++4", "0x10"}, "2"},
                      StartCase{{"18446744073709551616"}, "2"}, StartCase{{"0"}, "1"},
                      StartCase{{"+0009"}, "10"},
                      StartCase{{"18446744073709551614"}, "18446744073709551615"},
                      // "7" is free as text although "007" reads as 7.
                      StartCase{{"007", "6"}, "8"}));

TEST(RemapIdsForInsert, RepeatedOldIdConsumesOneNewIdPerOccurrence) {
  Element inserted = el("Screen", {{"uniqueId", "4"}}, {el("Slice", {{"uniqueId", "4"}})});
  Remap remap = remap_ids_for_insert(inserted, target_with_unique_ids({"10"}));
  EXPECT_THAT(remap.unique_id_map, UnorderedElementsAre(Pair("4", "12")));
  EXPECT_EQ(inserted, el("Screen", {{"uniqueId", "12"}}, {el("Slice", {{"uniqueId", "12"}})}));
}

TEST(RemapIdsForInsert, SubtreeWithoutIdentifiersIsUnchanged) {
  Element inserted = el("Slice", {{"name", "5"}}, {el("v", {{"x", "1"}})});
  const Element before = inserted;
  Remap remap = remap_ids_for_insert(inserted, target_with_unique_ids({"5"}));
  EXPECT_TRUE(remap.unique_id_map.empty());
  EXPECT_TRUE(remap.id_hash_map.empty());
  EXPECT_EQ(inserted, before);
}

TEST(RemapIdsForInsert, RewritesWholeValueReferencesOnly) {
  Element inserted = el("Slice", {{"uniqueId", "4"}},
                        {el("Link", {{"target", "4"}, {"label", "slice-4"}, {"name", "4 "}})});
  remap_ids_for_insert(inserted, target_with_unique_ids({"20"}));
  EXPECT_EQ(inserted, el("Slice", {{"uniqueId", "21"}},
                         {el("Link", {{"target", "21"}, {"label", "slice-4"}, {"name", "4 "}})}));
}

TEST(RemapIdsForInsert, IdHashPassRunsOverTheUniqueIdPassResult) {
  // The new uniqueId "2" equals the old idHash "2", so the second pass rewrites it as well.
  Element inserted = el("Slice", {{"uniqueId", "a"}, {"idHash", "2"}});
  Remap remap = remap_ids_for_insert(inserted, el("XmlState"));
  EXPECT_THAT(remap.unique_id_map, UnorderedElementsAre(Pair("a", "2")));
  EXPECT_THAT(remap.id_hash_map, UnorderedElementsAre(Pair("2", "10000000001")));
  EXPECT_EQ(*inserted.attr("uniqueId"), "10000000001");
  EXPECT_EQ(*inserted.attr("idHash"), "10000000001");
}

TEST(RemapIdsForInsert, CounterWrapsPastLargestValueAndSkipsUsedTexts) {
  Element inserted = el("Screen", {{"uniqueId", "a"}}, {el("Slice", {{"uniqueId", "b"}})});
  remap_ids_for_insert(inserted, target_with_unique_ids({"18446744073709551615"}));
  EXPECT_EQ(inserted, el("Screen", {{"uniqueId", "0"}}, {el("Slice", {{"uniqueId", "1"}})}));

  Element again = el("Screen", {{"uniqueId", "a"}}, {el("Slice", {{"uniqueId", "b"}})});
  remap_ids_for_insert(again, target_with_unique_ids({"18446744073709551615", "0", "2"}));
  EXPECT_EQ(again, el("Screen", {{"uniqueId", "1"}}, {el("Slice", {{"uniqueId", "3"}})}));
}

TEST(RemapIdsForInsert, IdHashCounterFollowsTargetIdHashes) {
  Element target =
      el("XmlState", {},
         {el("Screen", {{"uniqueId", "900"}, {"idHash", "50"}}), el("Slice", {{"idHash", "x"}})});
  Element inserted = el("Slice", {{"uniqueId", "1"}, {"idHash", "1"}});
  Remap remap = remap_ids_for_insert(inserted, target);
  EXPECT_THAT(remap.unique_id_map, UnorderedElementsAre(Pair("1", "901")));
  EXPECT_THAT(remap.id_hash_map, UnorderedElementsAre(Pair("1", "51")));
  // The uniqueId pass already turned both "1" values into "901", so the idHash pass finds no "1".
  EXPECT_EQ(*inserted.attr("uniqueId"), "901");
  EXPECT_EQ(*inserted.attr("idHash"), "901");
}

}  // namespace
}  // namespace kivo::merge
