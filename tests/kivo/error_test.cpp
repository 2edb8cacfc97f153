#include "kivo/error.hpp"

#include <gtest/gtest.h>

#include "kivo/stress/error.hpp"
#include "kivo/xml_utils.hpp"

namespace {

using kivo::AppError;
using kivo::ParseError;
using kivo::WriteError;
using kivo::stress::Error;

TEST(AppError, DisplaysTheFixedTexts) {
  struct Case {
    AppError error;
    const char* message;
  };
  const Case cases[] = {
      {AppError::io("No such file or directory"), "I/O error: No such file or directory"},
      {AppError::xml_parse(
           ParseError{ParseError::Kind::Malformed, "no element found at line 1, column 1"}),
       "XML parse error: Malformed XML. no element found at line 1, column 1"},
      {AppError::xml_parse(ParseError{ParseError::Kind::CannotParse, {}}),
       "XML parse error: Cannot parse"},
      {AppError::xml_write(WriteError{"broken"}), "XML write error: broken"},
      {AppError::missing_doc(), "Document not loaded for side"},
      {AppError::missing_source_node(), "Source node not found"},
      {AppError::missing_target_screen(), "Target screen not found"},
      {AppError::unsupported_copy(), "Unsupported copy request"},
      {AppError::validation("targetScreenUniqueId is required"),
       "Validation failed: targetScreenUniqueId is required"},
      {AppError::validation(""), "Validation failed: "},
  };
  for (const Case& c : cases) EXPECT_EQ(c.error.message(), c.message);
}

TEST(AppError, ListsItsUnderlyingCauses) {
  EXPECT_EQ(AppError::io("denied").causes(), std::vector<std::string>{"denied"});
  EXPECT_EQ(AppError::xml_parse(ParseError{ParseError::Kind::CannotParse, {}}).causes(),
            std::vector<std::string>{"Cannot parse"});
  EXPECT_EQ(AppError::xml_write(WriteError{"w"}).causes(), std::vector<std::string>{"w"});
  EXPECT_TRUE(AppError::missing_source_node().causes().empty());
  EXPECT_TRUE(AppError::validation("x").causes().empty());
}

AppError parse_error_of(std::string_view text) {
  auto parsed = kivo::xml_utils::parse(text);
  EXPECT_FALSE(parsed);
  return AppError::xml_parse(parsed ? ParseError{} : parsed.error());
}

TEST(ErrorChain, FailedToParseAroundAMalformedPreset) {
  Error chain =
      Error::from_app(parse_error_of("<a>")).context("Failed to parse /cases/1/source_before.xml");
  EXPECT_EQ(chain.chain(),
            (std::vector<std::string>{
                "Failed to parse /cases/1/source_before.xml",
                "XML parse error: Malformed XML. no element found at line 1, column 4",
                "Malformed XML. no element found at line 1, column 4",
                "no element found at line 1, column 4"}));
  EXPECT_EQ(
      chain.display_chain(),
      "Failed to parse /cases/1/source_before.xml: XML parse error: Malformed XML. no element "
      "found at line 1, column 4: Malformed XML. no element found at line 1, column 4: no "
      "element found at line 1, column 4");
}

TEST(ErrorChain, UnableToParseTemplateAroundAnIoError) {
  Error chain = Error::from_app(AppError::io("No such file or directory (os error 2)"))
                    .context("Unable to parse template ../Sample_files/fully_loaded.xml");
  EXPECT_EQ(chain.display_chain(),
            "Unable to parse template ../Sample_files/fully_loaded.xml: I/O error: No such file or "
            "directory (os error 2): No such file or directory (os error 2)");
}

TEST(ErrorChain, BareAppErrorStartsTheChain) {
  EXPECT_EQ(Error::from_app(AppError::xml_write(WriteError{"bad name"})).display_chain(),
            "XML write error: bad name: bad name");
  EXPECT_EQ(Error::from_app(AppError::missing_target_screen()).display_chain(),
            "Target screen not found");
}

}  // namespace
