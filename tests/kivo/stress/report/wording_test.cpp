// Steps in words: names looked up in the presets as they stand before the step.
#include <gtest/gtest.h>

#include "kivo/stress/report.hpp"
#include "support/presets.hpp"

namespace {

using kivo::Element;
using kivo::stress::ExpectedOutcome;
using kivo::stress::StressCopy;
using kivo::stress::StressOperation;
using namespace kivo::test;
namespace report = kivo::stress::report;

Element source_doc() {
  return preset({screen("5", "Main", {slice("52", "Left"), el("Mask", {{"uniqueId", "53"}})})});
}

Element target_doc() { return preset({screen("7", "Wall", {slice("70", "Centre")})}); }

StressOperation copy(std::string kind, std::string id, std::optional<std::string> parent,
                     std::optional<std::string> into,
                     std::optional<std::string> policy = std::nullopt) {
  return {StressCopy{std::move(kind), std::move(id), std::move(parent), std::move(into),
                     std::move(policy)}};
}

StressOperation paste(std::string from, std::string onto, bool overwrite) {
  return {StressOperation::InputMask{std::move(from), std::move(onto), overwrite}};
}

struct WordingCase {
  const char* what;
  StressOperation operation;
  const char* words;
};

TEST(ReportWording, StepsReadAsAPersonWouldSayThem) {
  const WordingCase cases[] = {
      {"slice copy", copy("slice", "52", "5", "7"),
       "copy Slice 'Left' (uniqueId 52) from screen 'Main' of the source into screen 'Wall' of "
       "the target"},
      {"unnamed mask", copy("mask", "53", "5", "7"),
       "copy Mask (uniqueId 53) from screen 'Main' of the source into screen 'Wall' of the "
       "target"},
      {"missing layer and screen", copy("slice", "99", "5", "8"),
       "copy Slice with uniqueId 99 (not in the source) from screen 'Main' of the source into "
       "screen with uniqueId 8 of the target (not in the target)"},
      {"screen copy with policy", copy("screen", "5", std::nullopt, std::nullopt, "skip"),
       "copy Screen 'Main' (uniqueId 5) from the source into the target, collision policy "
       "'skip'"},
      {"paste", paste("52", "70", false),
       "paste the input mask of Slice 'Left' (uniqueId 52) of the source onto Slice 'Centre' "
       "(uniqueId 70) in screen 'Wall' of the target, overwriting not allowed"},
      {"paste onto a missing slice", paste("52", "71", true),
       "paste the input mask of Slice 'Left' (uniqueId 52) of the source onto Slice with "
       "uniqueId 71 (not in the target) of the target, overwriting allowed"},
  };
  const Element source = source_doc();
  const Element target = target_doc();
  for (const WordingCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(report::step_words(c.operation, source, target), c.words);
  }
}

TEST(ReportWording, NamesComeFromTheTargetAsItStandsBeforeTheStep) {
  Element target = target_doc();
  const auto op = copy("slice", "52", "5", "7");
  Element renamed = preset({screen("7", "Renamed", {})});
  EXPECT_NE(report::step_words(op, source_doc(), target).find("screen 'Wall'"), std::string::npos);
  EXPECT_NE(report::step_words(op, source_doc(), renamed).find("screen 'Renamed'"),
            std::string::npos);
}

TEST(ReportWording, DisplayNamePrefersTheNameParameter) {
  const Element screen_named = el("Screen", {{"name", "Attr"}}, {name_group("Params", "Param")});
  EXPECT_EQ(report::display_name(screen_named), "Param");
  EXPECT_EQ(report::display_name(el("Screen", {{"name", "Attr"}})), "Attr");
  EXPECT_EQ(report::display_name(el("Slice")), std::nullopt);
}

TEST(ReportWording, ExpectationsInWords) {
  EXPECT_EQ(report::expected_words({ExpectedOutcome::Success{}}), "success");
  EXPECT_EQ(report::expected_words({ExpectedOutcome::Any{}}), "any outcome");
  EXPECT_EQ(report::expected_words({ExpectedOutcome::ErrorContains{"Target screen"}}),
            "an error containing 'Target screen'");
}

}  // namespace
