#include <gtest/gtest.h>

#include "kivo/merge.hpp"
#include "support/presets.hpp"

namespace kivo::merge {
namespace {

using namespace kivo::test;

// The "x" on the mask itself is no vertex and must not be rebased.
Element mask(const std::string& id, const Attrs& points) {
  return el("SliceMask",
            {{"uniqueId", id}, {"idHash", "mh" + id}, {"mode", "inverted"}, {"x", "25"}},
            {vertices("Shape", points)});
}

Element source_with(std::vector<Element> slice_children) {
  return preset({screen("1", "Main", {slice("10", "Left", std::move(slice_children))})});
}

Element target_with(std::vector<Element> slice_children) {
  return preset({screen("30", "Other", {slice("20", "Right", std::move(slice_children))})});
}

// A mask of `points` and then x,y, a vertex that also carries "curve", which rebasing must keep.
Element curved_mask(const std::string& id, const Attrs& points, std::string x, std::string y) {
  Element shaped = mask(id, points);
  shaped.children[0].as_element()->children.push_back(
      XMLNode{el("v", {{"x", std::move(x)}, {"y", std::move(y)}, {"curve", "1"}})});
  return shaped;
}

// Source slice "10": input 0,0 .. 100,50 with a three-point mask.
Element source_preset() {
  return source_with({vertices("InputRect", {{"0", "0"}, {"100", "0"}, {"100", "50"}, {"0", "50"}}),
                      curved_mask("11", {{"25", "12.5"}, {"33.3", "0"}}, "100", "50")});
}

// Target slice "20": input 10,20 .. 210,120, optionally holding a mask already.
std::vector<Element> target_children(bool with_mask) {
  std::vector<Element> children = {vertices("InputRect", {{"10", "20"}, {"210", "120"}}),
                                   el("OutputRect"), el("Extra")};
  if (with_mask) children.insert(children.begin() + 1, mask("500", {{"1", "1"}}));
  return children;
}

TEST(ApplySliceInputMaskCopy, RefusalsInOrderLeaveTargetUnchanged) {
  const Element good_rect = vertices("InputRect", {{"0", "0"}, {"100", "50"}});
  const Element good_mask = mask("11", {{"1", "1"}});
  const Element target = target_with(target_children(false));
  const struct {
    Element source;
    Element target;
    std::string message;
    std::string from = "10", onto = "20";
  } cases[] = {
      {source_preset(), target, "Source node not found", "99"},
      {source_with({good_rect}), target,
       "Validation failed: Source slice has no input mask to copy."},
      {source_with({good_mask}), target,
       "Validation failed: Slice '10' has no InputRect, cannot paste input mask."},
      {source_preset(), target, "Target screen not found", "10", "99"},
      // Bounds are read before the overwrite rule.
      {source_preset(), target_with({good_mask}),
       "Validation failed: Slice '20' has no InputRect, cannot paste input mask."},
      {source_preset(), target_with(target_children(true)),
       "Validation failed: Target slice already has an input mask. Confirm overwrite and retry."},
      {source_preset(), target_with({vertices("InputRect", {{"0", "0"}, {"100", "100"}})}),
       "Validation failed: Input mask paste blocked: source and target slice aspect ratios are "
       "too different (2.000 vs 1.000)."},
      // The first vertex lacks "y": rebasing stops there.
      {source_with(
           {good_rect, el("SliceMask", {}, {el("v", {{"x", "1"}}), el("v", {{"x", "q"}})})}),
       target, "Validation failed: Missing 'y' in SliceMask point."},
  };
  for (const auto& c : cases) {
    Element changed = c.target;
    auto result = apply_slice_input_mask_copy(c.source, changed, c.from, c.onto, false);
    ASSERT_FALSE(result) << c.message;
    EXPECT_EQ(result.error().message(), c.message);
    EXPECT_EQ(changed, c.target) << c.message;
  }
}

std::string box(const Element& slice_element) {
  auto bounds = parse_slice_input_bounds(slice_element.children, "s1");
  if (!bounds) return bounds.error().message();
  return std::to_string(bounds->x) + " " + std::to_string(bounds->y) + " " +
         std::to_string(bounds->width) + " " + std::to_string(bounds->height);
}

TEST(ParseSliceInputBounds, BoxOfVertexExtremesIgnoringNaNAndOtherChildren) {
  // Only the first InputRect counts, and only its "v" children.
  Element rect = vertices("InputRect", {{"30", "-5"}, {"nan", "7"}, {"10", "nan"}, {"20", "15"}});
  rect.children.push_back(XMLNode{el("w", {{"x", "1000"}})});
  rect.children.push_back(XMLNode{Comment{"note"}});
  EXPECT_EQ(box(el("Slice", {}, {el("OutputRect"), std::move(rect), vertices("InputRect", {})})),
            "10.000000 -5.000000 20.000000 20.000000");
  EXPECT_EQ(box(el("Slice", {}, {el("OutputRect")})),
            "Validation failed: Slice 's1' has no InputRect, cannot paste input mask.");
  const std::string invalid =
      "Validation failed: Slice 's1' has invalid InputRect geometry, cannot paste input mask.";
  const std::string zero =
      "Validation failed: Slice 's1' has zero-size InputRect, cannot paste input mask.";
  const std::pair<Attrs, std::string> cases[] = {
      {{{"4", "9"}, {"1", "3"}}, "1.000000 3.000000 3.000000 6.000000"},
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
    EXPECT_EQ(box(el("Slice", {}, {std::move(rect)})), message);
  }
}

}  // namespace
}  // namespace kivo::merge
