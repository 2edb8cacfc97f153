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

TEST(AppError, DisplaysTheFixedTextsAndListsTheCauses) {
  const ParseError malformed{ParseError::Kind::Malformed, "no element found at line 1, column 1"};
  const struct {
    AppError error;
    const char* message;
    Texts causes;
  } cases[] = {
      {AppError::io("denied"), "I/O error: denied", {"denied"}},
      {AppError::xml_parse(malformed),
       "XML parse error: Malformed XML. no element found at line 1, column 1",
       {"Malformed XML. no element found at line 1, column 1",
        "no element found at line 1, column 1"}},
      {AppError::xml_parse(ParseError{ParseError::Kind::CannotParse, {}}),
       "XML parse error: Cannot parse",
       {"Cannot parse"}},
      {AppError::xml_write(WriteError{"broken"}), "XML write error: broken", {"broken"}},
      {AppError::missing_doc(), "Document not loaded for side", {}},
      {AppError::missing_source_node(), "Source node not found", {}},
      {AppError::missing_target_screen(), "Target screen not found", {}},
      {AppError::unsupported_copy(), "Unsupported copy request", {}},
      {AppError::validation("targetScreenUniqueId is required"),
       "Validation failed: targetScreenUniqueId is required",
       {}},
      {AppError::validation(""), "Validation failed: ", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error.message(), c.message);
    EXPECT_EQ(c.error.causes(), c.causes) << c.message;
  }
}

TEST(ErrorChain, ContextsAndCausesInOrder) {
  auto parsed = kivo::xml_utils::parse("<a>");
  ASSERT_FALSE(parsed);
  Error chain = Error::from_app(AppError::xml_parse(parsed.error()))
                    .context("Failed to parse /cases/1/source_before.xml");
  const std::string cause = "no element found at line 1, column 4";
  EXPECT_EQ(chain.chain(),
            (Texts{"Failed to parse /cases/1/source_before.xml",
                   "XML parse error: Malformed XML. " + cause, "Malformed XML. " + cause, cause}));
  EXPECT_EQ(chain.display_chain(),
            "Failed to parse /cases/1/source_before.xml: XML parse error: "
            "Malformed XML. " +
                cause + ": Malformed XML. " + cause + ": " + cause);
  EXPECT_EQ(Error::from_app(AppError::io("No such file or directory (os error 2)"))
                .context("Unable to parse template t.xml")
                .display_chain(),
            "Unable to parse template t.xml: I/O error: No such file or directory (os error 2): No "
            "such file or directory (os error 2)");
  EXPECT_EQ(Error::from_app(AppError::xml_write(WriteError{"bad name"})).display_chain(),
            "XML write error: bad name: bad name");
  EXPECT_EQ(Error::from_app(AppError::missing_target_screen()).display_chain(),
            "Target screen not found");
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
