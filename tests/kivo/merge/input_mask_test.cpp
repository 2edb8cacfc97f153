#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kivo/merge.hpp"
#include "kivo/merge/preset_builders.hpp"

namespace kivo::merge {
namespace {

using merge_test::child_elements;
using merge_test::el;
using merge_test::preset;
using merge_test::screen;
using merge_test::slice;
using merge_test::vertices;
using merge_test::written;

Element mask(const std::string& id, std::vector<std::pair<std::string, std::string>> points) {
  return el("SliceMask", {{"uniqueId", id}, {"idHash", "mh" + id}, {"mode", "inverted"}},
            {vertices("Shape", points)});
}

// Source slice "10": input 0,0 .. 100,50 with a three-point mask.
Element source_preset() {
  return preset(
      {screen("1", "Main",
              {slice("10", "Left",
                     {vertices("InputRect", {{"0", "0"}, {"100", "0"}, {"100", "50"}, {"0", "50"}}),
                      mask("11", {{"25", "12.5"}, {"33.3", "0"}, {"100", "50"}})})})});
}

// Target slice "20": input 10,20 .. 210,120, optionally holding a mask already.
Element target_preset(bool with_mask) {
  std::vector<Element> children = {vertices("InputRect", {{"10", "20"}, {"210", "120"}}),
                                   el("OutputRect")};
  if (with_mask) children.insert(children.begin() + 1, mask("500", {{"1", "1"}}));
  children.push_back(el("Extra"));
  return preset({screen("30", "Other", {slice("20", "Right", std::move(children))})});
}

TEST(RebaseMaskCoordinates, MapsEveryVertexOfTheSubtree) {
  Element shape = el("SliceMask", {{"x", "25"}},
                     {vertices("Shape", {{"25", "12.5"}, {"33.3", "0"}}),
                      el("Deep", {}, {el("v", {{"x", "100"}, {"y", "50"}, {"uniqueId", "7"}})})});
  ASSERT_TRUE(rebase_mask_coordinates_rec(shape, {0, 0, 100, 50}, {10, 20, 200, 100}));
  EXPECT_EQ(shape,
            el("SliceMask", {{"x", "25"}},
               {vertices("Shape", {{"60", "45"}, {"76.6", "20"}}),
                el("Deep", {}, {el("v", {{"x", "210"}, {"y", "120"}, {"uniqueId", "7"}})})}));
}

TEST(RebaseMaskCoordinates, StopsAtTheFirstBadVertex) {
  Element shape = el("SliceMask", {}, {el("v", {{"x", "1"}}), el("v", {{"x", "q"}, {"y", "1"}})});
  auto rebased = rebase_mask_coordinates_rec(shape, {0, 0, 1, 1}, {0, 0, 1, 1});
  ASSERT_FALSE(rebased);
  EXPECT_EQ(rebased.error().message(), "Validation failed: Missing 'y' in SliceMask point.");
}

TEST(ApplySliceInputMaskCopy, PastesRebasedMaskWithFreshIdsAfterExistingChildren) {
  const Element source = source_preset();
  const Element source_before = source;
  Element target = target_preset(false);
  auto result = apply_slice_input_mask_copy(source, target, "10", "20", false);
  ASSERT_TRUE(result) << result.error().message();
  EXPECT_TRUE(result->completed);
  EXPECT_TRUE(result->messages.empty());
  EXPECT_EQ(source, source_before);

  const Element* pasted_slice = find_slice(target.children, "20");
  ASSERT_NE(pasted_slice, nullptr);
  auto children = child_elements(*pasted_slice);
  ASSERT_EQ(children.size(), 5u);
  EXPECT_EQ(children[3]->name, "Extra");
  // Target ids go up to 30 and "h30"-style hashes are not numeric.
  EXPECT_EQ(*children[4],
            el("SliceMask", {{"uniqueId", "31"}, {"idHash", "10000000001"}, {"mode", "inverted"}},
               {vertices("Shape", {{"60", "45"}, {"76.6", "20"}, {"210", "120"}})}));
  EXPECT_EQ(result->remap.unique_id_map.at("11"), "31");
  EXPECT_EQ(result->remap.id_hash_map.at("mh11"), "10000000001");
}

TEST(ApplySliceInputMaskCopy, OverwriteReplacesTheMaskAtItsPosition) {
  Element target = target_preset(true);
  auto refused = apply_slice_input_mask_copy(source_preset(), target, "10", "20", false);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message(),
            "Validation failed: Target slice already has an input mask. Confirm overwrite and "
            "retry.");
  EXPECT_EQ(target, target_preset(true));

  auto result = apply_slice_input_mask_copy(source_preset(), target, "10", "20", true);
  ASSERT_TRUE(result) << result.error().message();
  EXPECT_THAT(result->messages,
              ::testing::ElementsAre("Overwrote existing input mask on target slice '20'."));
  auto children = child_elements(*find_slice(target.children, "20"));
  ASSERT_EQ(children.size(), 5u);
  EXPECT_EQ(children[2]->name, "SliceMask");
  // The replaced mask's "500" still counts as used, so the counter starts above it.
  EXPECT_EQ(*children[2]->attr("uniqueId"), "501");
  EXPECT_EQ(children[3]->name, "OutputRect");
}

struct Refusal {
  std::string label;
  Element source;
  Element target;
  std::string source_slice = "10";
  std::string target_slice = "20";
  std::string message;
};

Element source_with(std::vector<Element> slice_children) {
  return preset({screen("1", "Main", {slice("10", "Left", std::move(slice_children))})});
}

Element target_with(std::vector<Element> slice_children) {
  return preset({screen("30", "Other", {slice("20", "Right", std::move(slice_children))})});
}

std::vector<Refusal> refusals() {
  const Element good_rect = vertices("InputRect", {{"0", "0"}, {"100", "50"}});
  const Element good_mask = mask("11", {{"1", "1"}});
  return {
      {"source slice missing", source_preset(), target_preset(false), "99", "20",
       "Source node not found"},
      {"source has no mask", source_with({good_rect}), target_preset(false), "10", "20",
       "Validation failed: Source slice has no input mask to copy."},
      {"source rect missing", source_with({good_mask}), target_preset(false), "10", "20",
       "Validation failed: Slice '10' has no InputRect, cannot paste input mask."},
      {"source rect vertex", source_with({vertices("InputRect", {{"0", "x"}}), good_mask}),
       target_preset(false), "10", "20",
       "Validation failed: Invalid 'y' value 'x' in InputRect point."},
      {"target slice missing", source_preset(), target_preset(false), "10", "99",
       "Target screen not found"},
      // Bounds are read before the overwrite rule.
      {"target rect missing", source_preset(), target_with({good_mask}), "10", "20",
       "Validation failed: Slice '20' has no InputRect, cannot paste input mask."},
      {"target rect NaN", source_preset(),
       target_with({vertices("InputRect", {{"0", "nan"}, {"5", "nan"}})}), "10", "20",
       "Validation failed: Slice '20' has invalid InputRect geometry, cannot paste input mask."},
      {"overwrite", source_preset(), target_with({good_rect, good_mask}), "10", "20",
       "Validation failed: Target slice already has an input mask. Confirm overwrite and retry."},
      {"aspect", source_preset(),
       target_with({vertices("InputRect", {{"0", "0"}, {"100", "100"}})}), "10", "20",
       "Validation failed: Input mask paste blocked: source and target slice aspect ratios are "
       "too different (2.000 vs 1.000)."},
      {"mask vertex", source_with({good_rect, el("SliceMask", {}, {el("v", {{"x", "1"}})})}),
       target_preset(false), "10", "20", "Validation failed: Missing 'y' in SliceMask point."},
  };
}

TEST(ApplySliceInputMaskCopy, RefusalsInOrderLeaveTargetUnchanged) {
  for (Refusal& c : refusals()) {
    const Element source_before = c.source;
    const std::string target_text = written(c.target);
    auto result =
        apply_slice_input_mask_copy(c.source, c.target, c.source_slice, c.target_slice, false);
    ASSERT_FALSE(result) << c.label;
    EXPECT_EQ(result.error().message(), c.message) << c.label;
    EXPECT_EQ(written(c.target), target_text) << c.label;
    EXPECT_EQ(c.source, source_before) << c.label;
  }
}

TEST(FindSlice, SearchesDirectChildrenOfFirstLayersOfEveryScreenKind) {
  Element root =
      preset({el("DmxScreen", {}, {el("layers", {}, {slice("1", "dmx")})}),
              el("Screen", {},
                 {el("layers", {}, {el("Mask", {{"uniqueId", "2"}}), slice("4", "first")}),
                  el("layers", {}, {slice("2", "second layers"), slice("4", "later")})}),
              el("Screen", {}, {el("layers", {}, {el("Group", {}, {slice("3", "nested")})})}),
              el("Screen", {}, {el("layers", {}, {slice("4", "other screen")})})});
  const Element* dmx = find_slice(root.children, "1");
  ASSERT_NE(dmx, nullptr);
  EXPECT_EQ(get_layer_name(*dmx), "dmx");
  const Element* first = find_slice(root.children, "4");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(get_layer_name(*first), "first");
  EXPECT_EQ(find_slice(root.children, "2"), nullptr);
  EXPECT_EQ(find_slice(root.children, "3"), nullptr);
}

}  // namespace
}  // namespace kivo::merge
