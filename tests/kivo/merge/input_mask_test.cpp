#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "kivo/merge.hpp"
#include "support/presets.hpp"

namespace kivo::merge {
namespace {

using namespace kivo::test;

Element mask(const std::string& id, const Attrs& points) {
  return el("SliceMask", {{"uniqueId", id}, {"idHash", "mh" + id}, {"mode", "inverted"}},
            {vertices("Shape", points)});
}

Element source_with(std::vector<Element> slice_children) {
  return preset({screen("1", "Main", {slice("10", "Left", std::move(slice_children))})});
}

Element target_with(std::vector<Element> slice_children) {
  return preset({screen("30", "Other", {slice("20", "Right", std::move(slice_children))})});
}

// Source slice "10": input 0,0 .. 100,50 with a three-point mask.
Element source_preset() {
  return source_with({vertices("InputRect", {{"0", "0"}, {"100", "0"}, {"100", "50"}, {"0", "50"}}),
                      mask("11", {{"25", "12.5"}, {"33.3", "0"}, {"100", "50"}})});
}

// Target slice "20": input 10,20 .. 210,120, optionally holding a mask already.
Element target_preset(bool with_mask) {
  std::vector<Element> children = {vertices("InputRect", {{"10", "20"}, {"210", "120"}}),
                                   el("OutputRect")};
  if (with_mask) children.insert(children.begin() + 1, mask("500", {{"1", "1"}}));
  children.push_back(el("Extra"));
  return target_with(std::move(children));
}

TEST(RebaseMaskCoordinates, MapsEveryVertexOfTheSubtreeAndStopsAtABadOne) {
  Element shape = el("SliceMask", {{"x", "25"}},
                     {vertices("Shape", {{"25", "12.5"}, {"33.3", "0"}}),
                      el("Deep", {}, {el("v", {{"x", "100"}, {"y", "50"}, {"uniqueId", "7"}})})});
  ASSERT_TRUE(rebase_mask_coordinates_rec(shape, {0, 0, 100, 50}, {10, 20, 200, 100}));
  EXPECT_EQ(shape,
            el("SliceMask", {{"x", "25"}},
               {vertices("Shape", {{"60", "45"}, {"76.6", "20"}}),
                el("Deep", {}, {el("v", {{"x", "210"}, {"y", "120"}, {"uniqueId", "7"}})})}));
  Element bad = el("SliceMask", {}, {el("v", {{"x", "1"}}), el("v", {{"x", "q"}, {"y", "1"}})});
  auto rebased = rebase_mask_coordinates_rec(bad, {0, 0, 1, 1}, {0, 0, 1, 1});
  ASSERT_FALSE(rebased);
  EXPECT_EQ(rebased.error().message(), "Validation failed: Missing 'y' in SliceMask point.");
}

TEST(ApplySliceInputMaskCopy, PastesRebasedMaskWithFreshIdsAfterExistingChildren) {
  Element target = target_preset(false);
  auto result = apply_slice_input_mask_copy(source_preset(), target, "10", "20", false);
  ASSERT_TRUE(result) << result.error().message();
  EXPECT_TRUE(result->completed);
  EXPECT_TRUE(result->messages.empty());
  auto children = child_elements(*find_slice(target.children, "20"));
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

TEST(ApplySliceInputMaskCopy, RefusalsInOrderLeaveTargetUnchanged) {
  const Element good_rect = vertices("InputRect", {{"0", "0"}, {"100", "50"}});
  const Element good_mask = mask("11", {{"1", "1"}});
  const std::string overwrite =
      "Validation failed: Target slice already has an input mask. Confirm overwrite and retry.";
  const struct {
    Element source;
    Element target;
    std::string from, onto, message;
  } cases[] = {
      {source_preset(), target_preset(false), "99", "20", "Source node not found"},
      {source_with({good_rect}), target_preset(false), "10", "20",
       "Validation failed: Source slice has no input mask to copy."},
      {source_with({good_mask}), target_preset(false), "10", "20",
       "Validation failed: Slice '10' has no InputRect, cannot paste input mask."},
      {source_with({vertices("InputRect", {{"0", "x"}}), good_mask}), target_preset(false), "10",
       "20", "Validation failed: Invalid 'y' value 'x' in InputRect point."},
      {source_preset(), target_preset(false), "10", "99", "Target screen not found"},
      // Bounds are read before the overwrite rule.
      {source_preset(), target_with({good_mask}), "10", "20",
       "Validation failed: Slice '20' has no InputRect, cannot paste input mask."},
      {source_preset(), target_with({vertices("InputRect", {{"0", "nan"}, {"5", "nan"}})}), "10",
       "20",
       "Validation failed: Slice '20' has invalid InputRect geometry, cannot paste input mask."},
      {source_preset(), target_with({good_rect, good_mask}), "10", "20", overwrite},
      {source_preset(), target_preset(true), "10", "20", overwrite},
      {source_preset(), target_with({vertices("InputRect", {{"0", "0"}, {"100", "100"}})}), "10",
       "20",
       "Validation failed: Input mask paste blocked: source and target slice aspect ratios are "
       "too different (2.000 vs 1.000)."},
      {source_with({good_rect, el("SliceMask", {}, {el("v", {{"x", "1"}})})}), target_preset(false),
       "10", "20", "Validation failed: Missing 'y' in SliceMask point."},
  };
  for (const auto& c : cases) {
    Element target = c.target;
    auto result = apply_slice_input_mask_copy(c.source, target, c.from, c.onto, false);
    ASSERT_FALSE(result) << c.message;
    EXPECT_EQ(result.error().message(), c.message);
    EXPECT_EQ(written(target), written(c.target)) << c.message;
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
  EXPECT_EQ(get_layer_name(*find_slice(root.children, "1")), "dmx");
  EXPECT_EQ(get_layer_name(*find_slice(root.children, "4")), "first");
  EXPECT_EQ(find_slice(root.children, "2"), nullptr);
  EXPECT_EQ(find_slice(root.children, "3"), nullptr);
}

TEST(ParseRequiredAttrF64, ReadsTheEngineNumberGrammarAndNamesBadValues) {
  EXPECT_EQ(*parse_required_attr_f64(el("v", {{"x", "-1.5e3"}}), "x", "c"), -1500.0);
  EXPECT_EQ(*parse_required_attr_f64(el("v", {{"x", ".5"}}), "x", "c"), 0.5);
  EXPECT_EQ(*parse_required_attr_f64(el("v", {{"x", "-Infinity"}}), "x", "c"), -INFINITY);
  EXPECT_TRUE(std::isnan(*parse_required_attr_f64(el("v", {{"x", "nan"}}), "x", "c")));
  EXPECT_EQ(
      parse_required_attr_f64(el("v", {{"x", "1"}}), "y", "InputRect point").error().message(),
      "Validation failed: Missing 'y' in InputRect point.");
  for (const std::string text : {"abc", " 1", "", "1e"}) {
    EXPECT_EQ(
        parse_required_attr_f64(el("v", {{"x", text}}), "x", "InputRect point").error().message(),
        "Validation failed: Invalid 'x' value '" + text + "' in InputRect point.");
  }
}

std::expected<InputBounds, AppError> bounds_of(std::vector<Element> slice_children) {
  return parse_slice_input_bounds(el("Slice", {}, std::move(slice_children)).children, "s1");
}

std::string box(const std::expected<InputBounds, AppError>& bounds) {
  if (!bounds) return bounds.error().message();
  return std::to_string(bounds->x) + " " + std::to_string(bounds->y) + " " +
         std::to_string(bounds->width) + " " + std::to_string(bounds->height);
}

TEST(ParseSliceInputBounds, BoxOfVertexExtremesIgnoringNaNAndOtherChildren) {
  Element rect = vertices("InputRect", {{"30", "-5"}, {"nan", "7"}, {"10", "nan"}, {"20", "15"}});
  rect.children.push_back(XMLNode{el("w", {{"x", "1000"}})});
  rect.children.push_back(XMLNode{Comment{"note"}});
  EXPECT_EQ(box(bounds_of({el("OutputRect"), std::move(rect), vertices("InputRect", {})})),
            "10.000000 -5.000000 20.000000 20.000000");
  EXPECT_EQ(box(bounds_of({vertices("InputRect", {{"4", "9"}, {"1", "3"}})})),
            "1.000000 3.000000 3.000000 6.000000");
  EXPECT_EQ(box(bounds_of({el("OutputRect")})),
            "Validation failed: Slice 's1' has no InputRect, cannot paste input mask.");
  const std::string invalid =
      "Validation failed: Slice 's1' has invalid InputRect geometry, cannot paste input mask.";
  const std::string zero =
      "Validation failed: Slice 's1' has zero-size InputRect, cannot paste input mask.";
  const std::pair<Attrs, std::string> cases[] = {
      {{}, invalid},
      {{{"0", "0"}}, invalid},
      {{{"0", "0"}, {"0.0000005", "10"}}, zero},
      {{{"0", "0"}, {"10", "0.0000009"}}, zero},
      // Axes whose values are all NaN or infinite give no usable box.
      {{{"0", "nan"}, {"10", "nan"}}, invalid},
      {{{"nan", "0"}, {"nan", "10"}, {"nan", "20"}}, invalid},
      {{{"0", "0"}, {"inf", "10"}}, invalid},
      {{{"-inf", "0"}, {"inf", "10"}}, invalid},
      {{{"-1e308", "0"}, {"1e308", "10"}}, invalid},
      {{{"0", "0"}, {"1", "-"}}, "Validation failed: Missing 'y' in InputRect point."},
      {{{"abc", "0"}}, "Validation failed: Invalid 'x' value 'abc' in InputRect point."},
  };
  for (const auto& [points, message] : cases) {
    Element rect = el("InputRect");
    for (const auto& [x, y] : points) {
      rect.children.push_back(
          XMLNode{y == "-" ? el("v", {{"x", x}}) : el("v", {{"x", x}, {"y", y}})});
    }
    EXPECT_EQ(box(bounds_of({std::move(rect)})), message);
  }
}

TEST(EnsureCompatibleInputAspectRatio, LimitIsInclusiveAndTheMessageRoundsHalfToEven) {
  EXPECT_TRUE(ensure_compatible_input_aspect_ratio(1, 1, 1.35, 1));
  EXPECT_TRUE(ensure_compatible_input_aspect_ratio(1.35, 1, 1, 1));
  EXPECT_TRUE(ensure_compatible_input_aspect_ratio(200, 100, 100, 50));
  EXPECT_TRUE(ensure_compatible_input_aspect_ratio(0, 0, 1, 1));  // NaN ratios pass
  EXPECT_TRUE(ensure_compatible_input_aspect_ratio(1, 1, NAN, 1));
  const std::string prefix =
      "Validation failed: Input mask paste blocked: source and target slice aspect ratios are too "
      "different (";
  EXPECT_EQ(ensure_compatible_input_aspect_ratio(1, 1, 1.36, 1).error().message(),
            prefix + "1.000 vs 1.360).");
  EXPECT_EQ(ensure_compatible_input_aspect_ratio(1.0625, 1, 4, 2).error().message(),
            prefix + "1.062 vs 2.000).");
  EXPECT_EQ(ensure_compatible_input_aspect_ratio(1, 0, 1, 1).error().message(),
            prefix + "inf vs 1.000).");
}

}  // namespace
}  // namespace kivo::merge
