#include "kivo/number_text.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ParseF64, AcceptsTheDecimalGrammar) {
  struct Case {
    const char* text;
    double value;
  };
  for (const Case& c : {Case{"12.5", 12.5}, Case{".5", 0.5}, Case{"5.", 5.0}, Case{"+3", 3.0},
                        Case{"-1e3", -1000.0}, Case{"2E-2", 0.02}, Case{"1e400", INFINITY},
                        Case{"-1e400", -INFINITY}, Case{"1e-400", 0.0}, Case{"Infinity", INFINITY},
                        Case{"-inf", -INFINITY}}) {
    auto parsed = kivo::parse_f64(c.text);
    ASSERT_TRUE(parsed) << c.text;
    EXPECT_EQ(*parsed, c.value) << c.text;
  }
  EXPECT_TRUE(std::isnan(*kivo::parse_f64("NaN")));
}

TEST(ParseF64, RefusesEverythingElse) {
  for (const char* text : {"", "+", "-", ".", "e5", "1e", "1e+", " 1", "1 ", "0x10", "1,5",
                           "nan(1)", "infin", "abc", "1.2.3", "--1"}) {
    EXPECT_FALSE(kivo::parse_f64(text)) << text;
  }
}

TEST(ParseU64, StrictUnsignedDecimal) {
  EXPECT_EQ(kivo::parse_u64("+42"), 42u);
  EXPECT_EQ(kivo::parse_u64("007"), 7u);
  EXPECT_EQ(kivo::parse_u64("18446744073709551615"), 18446744073709551615ull);
  for (const char* text : {"", "+", "-1", "18446744073709551616", " 1", "1a", "++1", "0x1"}) {
    EXPECT_FALSE(kivo::parse_u64(text)) << text;
  }
}

}  // namespace
