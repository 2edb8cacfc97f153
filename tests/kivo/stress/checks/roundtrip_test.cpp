#include <gtest/gtest.h>

#include "kivo/stress/checks.hpp"
#include "kivo/stress/test_trees.hpp"
#include "kivo/validation.hpp"

namespace kivo::stress::checks {
namespace {

using kivo::test::el;

TEST(RoundtripParseAndValidate, ReturnsTheValidationMessagesOfTheReparsedPreset) {
  const Element clean = kivo::test::preset({kivo::test::screen("1", "Main")});
  auto clean_result = roundtrip_parse_and_validate(clean);
  ASSERT_TRUE(clean_result) << clean_result.error().display_chain();
  EXPECT_EQ(*clean_result, validation::validate_doc(clean));

  const Element flawed = kivo::test::preset(
      {kivo::test::screen("1", "Main", {el("Slice", {{"uniqueId", ""}})}), el("Screen")});
  auto flawed_result = roundtrip_parse_and_validate(flawed);
  ASSERT_TRUE(flawed_result) << flawed_result.error().display_chain();
  EXPECT_FALSE(flawed_result->empty());
  EXPECT_EQ(*flawed_result, validation::validate_doc(flawed));
}

TEST(RoundtripParseAndValidate, WriterAndStructureFailuresAreErrors) {
  auto unwritable = roundtrip_parse_and_validate(kivo::test::preset({el("bad name")}));
  ASSERT_FALSE(unwritable);
  EXPECT_EQ(unwritable.error().message(),
            "XML write error: Element name \"bad name\" is not a valid XML name");

  auto no_screens = roundtrip_parse_and_validate(kivo::test::preset({}));
  ASSERT_FALSE(no_screens);
  EXPECT_EQ(no_screens.error().display_chain(),
            "/XmlState/ScreenSetup/screens has no screen children.");
}

}  // namespace
}  // namespace kivo::stress::checks
