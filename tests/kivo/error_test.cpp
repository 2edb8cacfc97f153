#include "kivo/error.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "kivo/number_text.hpp"
#include "kivo/stress/error.hpp"
#include "kivo/xml_utils.hpp"

namespace {

using kivo::AppError;
using kivo::ParseError;
using kivo::WriteError;
using kivo::stress::Error;
using Texts = std::vector<std::string>;

// The harness chain of each error: its message, then its causes. The kinds without causes are
// checked where the copy operations refuse.
TEST(AppError, DisplaysTheFixedTextsAndListsTheCauses) {
  const std::string cause = "no element found at line 1, column 4";
  const std::pair<AppError, Texts> cases[] = {
      {AppError::io("denied"), {"I/O error: denied", "denied"}},
      {AppError::xml_parse(ParseError{ParseError::Kind::Malformed, cause}),
       {"XML parse error: Malformed XML. " + cause, "Malformed XML. " + cause, cause}},
      {AppError::xml_parse(ParseError{ParseError::Kind::CannotParse, {}}),
       {"XML parse error: Cannot parse", "Cannot parse"}},
      {AppError::xml_write(WriteError{"broken"}), {"XML write error: broken", "broken"}},
      {AppError::missing_doc(), {"Document not loaded for side"}},
      {AppError::validation("targetScreenUniqueId is required"),
       {"Validation failed: targetScreenUniqueId is required"}},
  };
  for (const auto& [error, chain] : cases) {
    EXPECT_EQ(error.message(), chain.front());
    EXPECT_EQ(error.causes(), Texts(chain.begin() + 1, chain.end())) << chain.front();
    EXPECT_EQ(Error::from_app(error).chain(), chain);
  }
  // Contexts go in front; the display joins the chain with ": ".
  auto parsed = kivo::xml_utils::parse("<a>");
  ASSERT_FALSE(parsed);
  const Error chain =
      Error::from_app(AppError::xml_parse(parsed.error())).context("Failed to parse");
  EXPECT_EQ(chain.display_chain(), "Failed to parse: XML parse error: Malformed XML. " + cause +
                                       ": Malformed XML. " + cause + ": " + cause);
}

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
