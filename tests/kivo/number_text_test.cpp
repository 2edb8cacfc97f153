#include "kivo/number_text.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(NumberText, ParsesTheDecimalGrammarOnly) {
  const std::pair<const char*, double> accepted[] = {{"12.5", 12.5},      {".5", 0.5},
                                                     {"5.", 5.0},         {"+3", 3.0},
                                                     {"-1e3", -1000.0},   {"2E-2", 0.02},
                                                     {"1e400", INFINITY}, {"-1e400", -INFINITY},
                                                     {"1e-400", 0.0},     {"Infinity", INFINITY},
                                                     {"-inf", -INFINITY}};
  for (const auto& [text, value] : accepted) EXPECT_EQ(kivo::parse_f64(text), value) << text;
  EXPECT_TRUE(std::isnan(*kivo::parse_f64("NaN")));
  for (const char* text : {"", "+", "-", ".", "e5", "1e", "1e+", " 1", "1 ", "0x10", "1,5",
                           "nan(1)", "infin", "abc", "1.2.3", "--1"}) {
    EXPECT_FALSE(kivo::parse_f64(text)) << text;
  }
  EXPECT_EQ(kivo::parse_u64("+42"), 42u);
  EXPECT_EQ(kivo::parse_u64("007"), 7u);
  EXPECT_EQ(kivo::parse_u64("18446744073709551615"), 18446744073709551615ull);
  for (const char* text : {"", "+", "-1", "18446744073709551616", " 1", "1a", "++1", "0x1"}) {
    EXPECT_FALSE(kivo::parse_u64(text)) << text;
  }
}

}  // namespace
