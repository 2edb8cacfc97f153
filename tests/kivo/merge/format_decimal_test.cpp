#include <gtest/gtest.h>

#include <limits>

#include "kivo/merge.hpp"

namespace kivo::merge {
namespace {

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
