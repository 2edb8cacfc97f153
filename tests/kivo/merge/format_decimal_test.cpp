#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kivo/merge.hpp"

namespace kivo::merge {
namespace {

struct DecimalCase {
  double value;
  std::string text;
};

void PrintTo(const DecimalCase& c, std::ostream* out) { *out << c.text; }

class FormatDecimal : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(FormatDecimal, WritesSixRoundedDigitsWithoutTrailingZeros) {
  EXPECT_EQ(format_decimal(GetParam().value), GetParam().text);
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Examples, FormatDecimal,
    ::testing::Values(DecimalCase{0.5, "0.5"}, DecimalCase{100, "100"},
                      DecimalCase{1.23456789, "1.234568"}, DecimalCase{-0.0000001, "0"},
                      DecimalCase{-0.0, "0"}, DecimalCase{0, "0"}, DecimalCase{2.0000004, "2"},
                      DecimalCase{0.1 + 0.2, "0.3"}, DecimalCase{-1.5, "-1.5"},
                      DecimalCase{1e21, "1000000000000000000000"},
                      // Rounding starts from the exact binary value: 0.0000005 lies just below
                      // the half, 0.0000015 just above it; exact halves go to the even digit.
                      DecimalCase{0.0000005, "0"}, DecimalCase{0.0000015, "0.000002"},
                      DecimalCase{0.0078125, "0.007812"}, DecimalCase{0.0234375, "0.023438"},
                      DecimalCase{1.0000005, "1.000001"}, DecimalCase{-2.25, "-2.25"},
                      DecimalCase{76.6, "76.6"}, DecimalCase{kInf, "inf"},
                      DecimalCase{-kInf, "-inf"},
                      DecimalCase{std::numeric_limits<double>::quiet_NaN(), "NaN"},
                      DecimalCase{-std::numeric_limits<double>::quiet_NaN(), "NaN"}));

TEST(FormatDecimal, LargestDoubleIsWrittenInFull) {
  std::string text = format_decimal(std::numeric_limits<double>::max());
  EXPECT_EQ(text.size(), 309u);
  EXPECT_EQ(text.substr(0, 6), "179769");
  EXPECT_EQ(format_decimal(-std::numeric_limits<double>::max()).size(), 310u);
}

}  // namespace
}  // namespace kivo::merge
