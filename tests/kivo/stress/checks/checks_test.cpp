#include <gtest/gtest.h>

#include "kivo/stress/checks.hpp"
#include "kivo/stress/checks/siphash.hpp"
#include "kivo/stress/text_utf8.hpp"
#include "kivo/validation.hpp"
#include "support/presets.hpp"

namespace kivo::stress::checks {
namespace {

using namespace kivo::test;

std::string structure_error(const Element& root) {
  auto result = ensure_required_structure(root);
  return result ? "" : result.error().display_chain();
}

TEST(Structure, StopsAtTheFirstMissingPieceAndRoundTripsWithTheValidationMessages) {
  Element text_only = el("screens");
  text_only.children.push_back(XMLNode{Text{"  "}});
  const std::string none = "/XmlState/ScreenSetup/screens has no screen children.";
  const std::pair<Element, std::string> cases[] = {
      {el("Preset"), "Root node is 'Preset' instead of 'XmlState'."},
      {el("XmlState", {}, {el("screens")}), "Missing /XmlState/ScreenSetup"},
      {el("XmlState", {}, {el("ScreenSetup")}), "Missing /XmlState/ScreenSetup/screens"},
      {el("XmlState", {},
          {el("ScreenSetup", {}, {el("other")}),
           el("ScreenSetup", {}, {el("screens", {}, {el("Screen")})})}),
       "Missing /XmlState/ScreenSetup/screens"},
      {el("XmlState", {}, {el("ScreenSetup", {}, {text_only})}), none},
      {preset({}), none},
      {preset({el("Anything")}), ""},
  };
  for (const auto& [root, message] : cases) EXPECT_EQ(structure_error(root), message);

  // A name with a tab and a letter beyond ASCII is written as XML text can hold it.
  for (const Element& doc :
       {preset({screen("1", "Caf\xc3\xa9\tMain")}),
        preset({screen("1", "Main", {el("Slice", {{"uniqueId", ""}})}), el("Screen")})}) {
    auto messages = roundtrip_parse_and_validate(doc);
    ASSERT_TRUE(messages) << messages.error().display_chain();
    EXPECT_EQ(*messages, validation::validate_doc(doc));
  }
  EXPECT_EQ(roundtrip_parse_and_validate(preset({el("Screen")}))->size(), 2u);
  EXPECT_EQ(roundtrip_parse_and_validate(preset({el("bad name")})).error().message(),
            "XML write error: Element name \"bad name\" is not a valid XML name");
  EXPECT_EQ(roundtrip_parse_and_validate(preset({})).error().display_chain(), none);
}

OperationTraceItem item(std::uint64_t index, StressOperation operation, ExpectedOutcome expected,
                        std::string outcome) {
  return {index, std::move(operation), std::move(expected), std::move(outcome)};
}

// Expected values were computed with an independent SipHash-1-3 over the documented encoding.
TEST(TraceHash, KnownVectors) {
  const ExpectedOutcome success{ExpectedOutcome::Success{}}, any{ExpectedOutcome::Any{}};
  auto contains = [](std::string text) {
    return ExpectedOutcome{ExpectedOutcome::ErrorContains{text}};
  };
  const auto copy_full = item(3, {StressOperation::Copy{"slice", "12", "5", "7"}},
                              contains("Target screen"), "error:Target screen not found");
  const auto copy_bare = item(1, {StressOperation::Copy{"screen", "9", {}, {}}}, any, "success");
  const auto overwrite = item(2, {StressOperation::InputMask{"s1", "t1", true}}, contains(""),
                              "error:Validation failed: x");
  const auto utf8 = item(0, {StressOperation::Copy{"mask", "\xc3\xa9", {}, "42"}}, success,
                         "invariant:New duplicate uniqueId values introduced: 3, 4");
  EXPECT_EQ(trace_hash({}), "d1fba762150c532c");
  EXPECT_EQ(
      trace_hash({item(0, {StressOperation::InputMask{"a", "b", false}}, success, "success")}),
      "cdce1ca755aa7a86");
  EXPECT_EQ(trace_hash({copy_full}), "c2e6e69596fd9a30");
  EXPECT_EQ(trace_hash({copy_bare}), "51d3e9b1a6ac3b4c");
  EXPECT_EQ(trace_hash({overwrite}), "566c891d011d380a");
  EXPECT_EQ(trace_hash({utf8}), "fa60e6d092bdf87b");
  EXPECT_EQ(trace_hash({copy_bare, overwrite, copy_full}), "477a4c6a35330e2a");
  // Absent and empty optional texts differ.
  EXPECT_NE(
      trace_hash({item(0, {StressOperation::Copy{"slice", "1", {}, {}}}, success, "success")}),
      trace_hash({item(0, {StressOperation::Copy{"slice", "1", "", {}}}, success, "success")}));
}

TEST(Utf8, ValidSequencesAndLossyReplacement) {
  for (const char* text : {"", "plain", "caf\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
                           "\xed\x9f\xbf", "\xf4\x8f\xbf\xbf"}) {
    EXPECT_TRUE(is_valid_utf8(text)) << text;
  }
  for (const char* text : {"\xe9", "\xc3", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80",
                           "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\x80", "ok\xe2\x82"}) {
    EXPECT_FALSE(is_valid_utf8(text)) << text;
  }
  EXPECT_EQ(utf8_lossy("caf\xc3\xa9"), "caf\xc3\xa9");
  EXPECT_EQ(utf8_lossy("a\xffz"), "a\xEF\xBF\xBDz");
  EXPECT_EQ(utf8_lossy("\xc3"), "\xEF\xBF\xBD");
  EXPECT_EQ(utf8_lossy("\xed\xa0\x80!"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD!");
}

}  // namespace
}  // namespace kivo::stress::checks
