#include <gtest/gtest.h>

#include <cmath>

#include "kivo/merge.hpp"
#include "kivo/merge/preset_builders.hpp"

namespace kivo::merge {
namespace {

using merge_test::el;
using merge_test::vertices;

struct AttrCase {
  Element element;
  std::string name;
  std::string message;
};

TEST(ParseRequiredAttrF64, RefusesMissingAndMalformedValues) {
  const std::vector<AttrCase> cases = {
      {el("v", {{"x", "1"}}), "y", "Validation failed: Missing 'y' in InputRect point."},
      {el("v", {{"x", "abc"}}), "x",
       "Validation failed: Invalid 'x' value 'abc' in InputRect point."},
      {el("v", {{"x", " 1"}}), "x",
       "Validation failed: Invalid 'x' value ' 1' in InputRect point."},
      {el("v", {{"x", ""}}), "x", "Validation failed: Invalid 'x' value '' in InputRect point."},
      {el("v", {{"x", "1e"}}), "x",
       "Validation failed: Invalid 'x' value '1e' in InputRect point."},
  };
  for (const AttrCase& c : cases) {
    auto value = parse_required_attr_f64(c.element, c.name, "InputRect point");
    ASSERT_FALSE(value) << c.message;
    EXPECT_EQ(value.error().message(), c.message);
  }
}

TEST(ParseRequiredAttrF64, ReadsTheEngineNumberGrammar) {
  EXPECT_EQ(*parse_required_attr_f64(el("v", {{"x", "-1.5e3"}}), "x", "c"), -1500.0);
  EXPECT_EQ(*parse_required_attr_f64(el("v", {{"x", ".5"}}), "x", "c"), 0.5);
  EXPECT_EQ(*parse_required_attr_f64(el("v", {{"x", "-Infinity"}}), "x", "c"), -INFINITY);
  EXPECT_TRUE(std::isnan(*parse_required_attr_f64(el("v", {{"x", "nan"}}), "x", "c")));
}

std::expected<InputBounds, AppError> bounds_of(std::vector<Element> slice_children) {
  return parse_slice_input_bounds(el("Slice", {}, std::move(slice_children)).children, "s1");
}

TEST(ParseSliceInputBounds, BoxOfVertexExtremesIgnoringNaNAndOtherChildren) {
  Element rect = vertices("InputRect", {{"30", "-5"}, {"nan", "7"}, {"10", "nan"}, {"20", "15"}});
  rect.children.push_back(XMLNode{el("w", {{"x", "1000"}})});
  rect.children.push_back(XMLNode{Comment{"note"}});
  auto bounds = bounds_of({el("OutputRect"), std::move(rect), vertices("InputRect", {})});
  ASSERT_TRUE(bounds) << bounds.error().message();
  EXPECT_EQ(bounds->x, 10);
  EXPECT_EQ(bounds->y, -5);
  EXPECT_EQ(bounds->width, 20);
  EXPECT_EQ(bounds->height, 20);
}

struct BoundsRefusal {
  std::vector<std::pair<std::string, std::string>> points;
  std::string message;
};

TEST(ParseSliceInputBounds, RefusalTexts) {
  const std::string invalid =
      "Validation failed: Slice 's1' has invalid InputRect geometry, cannot paste input mask.";
  const std::string zero =
      "Validation failed: Slice 's1' has zero-size InputRect, cannot paste input mask.";
  const std::vector<BoundsRefusal> cases = {
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
      {{{"0", "0"}, {"1", ""}}, "Validation failed: Missing 'y' in InputRect point."},
      {{{"abc", "0"}}, "Validation failed: Invalid 'x' value 'abc' in InputRect point."},
  };
  for (const BoundsRefusal& c : cases) {
    Element rect = el("InputRect");
    for (const auto& [x, y] : c.points) {
      merge_test::Attrs attrs = {{"x", x}};
      if (!y.empty()) attrs.push_back({"y", y});
      rect.children.push_back(XMLNode{el("v", attrs)});
    }
    auto bounds = bounds_of({std::move(rect)});
    ASSERT_FALSE(bounds) << c.message;
    EXPECT_EQ(bounds.error().message(), c.message);
  }
  auto missing = bounds_of({el("OutputRect")});
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message(),
            "Validation failed: Slice 's1' has no InputRect, cannot paste input mask.");
}

TEST(ParseSliceInputBounds, TwoDistinctVerticesSuffice) {
  auto bounds = bounds_of({vertices("InputRect", {{"4", "9"}, {"1", "3"}})});
  ASSERT_TRUE(bounds);
  EXPECT_EQ(bounds->x, 1);
  EXPECT_EQ(bounds->y, 3);
  EXPECT_EQ(bounds->width, 3);
  EXPECT_EQ(bounds->height, 6);
}

TEST(EnsureCompatibleInputAspectRatio, LimitIsInclusive) {
  EXPECT_TRUE(ensure_compatible_input_aspect_ratio(1, 1, 1.35, 1));
  EXPECT_TRUE(ensure_compatible_input_aspect_ratio(1.35, 1, 1, 1));
  EXPECT_TRUE(ensure_compatible_input_aspect_ratio(200, 100, 100, 50));
  auto blocked = ensure_compatible_input_aspect_ratio(1, 1, 1.36, 1);
  ASSERT_FALSE(blocked);
  EXPECT_EQ(blocked.error().message(),
            "Validation failed: Input mask paste blocked: source and target slice aspect ratios "
            "are too different (1.000 vs 1.360).");
}

TEST(EnsureCompatibleInputAspectRatio, MessageRoundsExactValuesHalfToEven) {
  auto blocked = ensure_compatible_input_aspect_ratio(1.0625, 1, 4, 2);
  ASSERT_FALSE(blocked);
  EXPECT_EQ(blocked.error().text(),
            "Input mask paste blocked: source and target slice aspect ratios are too different "
            "(1.062 vs 2.000).");
  auto infinite = ensure_compatible_input_aspect_ratio(1, 0, 1, 1);
  ASSERT_FALSE(infinite);
  EXPECT_EQ(infinite.error().text(),
            "Input mask paste blocked: source and target slice aspect ratios are too different "
            "(inf vs 1.000).");
}

TEST(EnsureCompatibleInputAspectRatio, NotANumberRatioPasses) {
  EXPECT_TRUE(ensure_compatible_input_aspect_ratio(0, 0, 1, 1));
  EXPECT_TRUE(ensure_compatible_input_aspect_ratio(1, 1, NAN, 1));
}

}  // namespace
}  // namespace kivo::merge
