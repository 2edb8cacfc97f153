#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "kivo/stress/mutations.hpp"

namespace {

using kivo::stress::mutations::format_decimal;
using kivo::stress::mutations::parse_attr_f64;

TEST(FormatDecimal, WritesSixDecimalsWithoutTrailingZeros) {
  struct Case {
    double value;
    const char* text;
  };
  for (const Case& c :
       {Case{12.5, "12.5"}, Case{100, "100"}, Case{-3.25, "-3.25"}, Case{1.0 / 3.0, "0.333333"},
        Case{2.0000004, "2"}, Case{0.00012, "0.00012"}, Case{1e20, "100000000000000000000"},
        Case{0.1 + 0.2, "0.3"}, Case{-1.9999996, "-2"}, Case{0.0000996, "0.0001"}}) {
    EXPECT_EQ(format_decimal(c.value), c.text) << c.value;
  }
}

TEST(FormatDecimal, RaisesTinyMagnitudesAndNonFiniteValuesToTheFloor) {
  for (double value : {0.0, -0.0, -0.00004, 0.00009999, 1e-300, -1e-300}) {
    EXPECT_EQ(format_decimal(value), "0.0001") << value;
  }
  EXPECT_EQ(format_decimal(-0.0001), "-0.0001");
  for (double value : {NAN, INFINITY, -INFINITY}) EXPECT_EQ(format_decimal(value), "0.0001");
}

TEST(FormatDecimal, BreaksExactTiesTowardTheEvenDigit) {
  // 2^-7 and 3 * 2^-7 have seven exact decimals, the last one a 5.
  EXPECT_EQ(format_decimal(0.0078125), "0.007812");
  EXPECT_EQ(format_decimal(0.0234375), "0.023438");
  EXPECT_EQ(format_decimal(-0.0078125), "-0.007812");
}

TEST(FormatDecimal, WritesTheLargestValuesInFull) {
  const std::string text = format_decimal(DBL_MAX);
  EXPECT_EQ(text.size(), 309u);
  EXPECT_EQ(text.substr(0, 6), "179769");
  EXPECT_EQ(format_decimal(-DBL_MAX).size(), 310u);
}

TEST(ParseAttrF64, ParsesTheWholeAttributeText) {
  kivo::Element point = kivo::Element::make("v");
  point.set_attr("x", "12.5");
  point.set_attr("y", ".5e1");
  point.set_attr("a", "abc");
  point.set_attr("b", " 1");
  point.set_attr("c", "-INF");
  EXPECT_EQ(parse_attr_f64(point, "x"), 12.5);
  EXPECT_EQ(parse_attr_f64(point, "y"), 5.0);
  EXPECT_EQ(parse_attr_f64(point, "c"), -INFINITY);
  EXPECT_FALSE(parse_attr_f64(point, "a"));
  EXPECT_FALSE(parse_attr_f64(point, "b"));
  EXPECT_FALSE(parse_attr_f64(point, "z"));
}

}  // namespace
