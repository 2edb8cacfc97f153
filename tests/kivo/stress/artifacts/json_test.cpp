// The case file's exact JSON form, and the strict reader's acceptances and refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/artifacts/float_text.hpp"
#include "support/presets.hpp"
#include "support/sample_artifact.hpp"

namespace kivo::stress::artifacts {
namespace {

using nlohmann::ordered_json;
using ::testing::HasSubstr;

ordered_json sample_json() {
  return ordered_json::parse(*to_json_text(kivo::test::sample_artifact()));
}

std::string text_error(std::string_view text) {
  auto result = from_json_text(text);
  return result ? "loaded" : result.error().display_chain();
}

TEST(ArtifactJson, WritesTheExactTextFormAndReadsItBack) {
  auto text = to_json_text(kivo::test::sample_artifact());
  ASSERT_TRUE(text) << text.error().display_chain();
  EXPECT_EQ(*text,
            kivo::test::read_whole_file(KIVO_SOURCE_DIR "/tests/data/stress/sample_case.json"));

  FailureArtifact bare = kivo::test::sample_artifact();
  bare.target_after_file = "target_after.xml";
  bare.operation_trace.clear();
  for (const FailureArtifact& original : {kivo::test::sample_artifact(), bare}) {
    auto written = to_json_text(original);
    ASSERT_TRUE(written);
    auto read = from_json_text(*written);
    ASSERT_TRUE(read) << read.error().display_chain();
    EXPECT_EQ(*read, original);
  }
  EXPECT_NE(to_json_text(bare)->find("\"operationTrace\": [],\n"), std::string::npos);
  bare.failure_message.assign(1, static_cast<char>(0xff));
  EXPECT_FALSE(to_json_text(bare));  // not UTF-8
}

TEST(JsonFloatText, ShortestRoundTripForm) {
  const double inf = std::numeric_limits<double>::infinity();
  const double values[] = {0.08,       0.1,   0.14,   1.0,  0.0,  -0.0,        1e-6,    1.5e16,
                           1e-5,       1.5,   100.0,  -2.5, 1e15, 1e16,        1.25e-6, 0.000123,
                           123456.789, 1e300, 5e-324, inf,  -inf, std::nan("")};
  std::istringstream texts(
      "0.08 0.1 0.14 1.0 0.0 -0.0 1e-6 1.5e+16 0.00001 1.5 100.0 -2.5 1000000000000000.0 1e+16 "
      "1.25e-6 0.000123 123456.789 1e+300 5e-324 null null null");
  for (double value : values) {
    std::string text;
    ASSERT_TRUE(texts >> text);
    EXPECT_EQ(json_float_text(value), text);
  }
  EXPECT_TRUE(texts.eof());
}

TEST(RewriteFloatTokens, TouchesOnlyFloatsOutsideStrings) {
  EXPECT_EQ(rewrite_float_tokens(R"({"a": 1e-06, "b": "1e-06 \" 1e-05", "c": [1e-05, 12, -3]})"),
            R"({"a": 1e-6, "b": "1e-06 \" 1e-05", "c": [0.00001, 12, -3]})");
  EXPECT_EQ(rewrite_float_tokens(R"(["\\", 1e+15, null, true])"),
            R"(["\\", 1000000000000000.0, null, true])");
}

TEST(ArtifactReading, KeysInAnyOrderUnknownKeysAnywhereAndAbsentOptionals) {
  const ordered_json json = sample_json();
  ordered_json shuffled = ordered_json::object();
  shuffled["extra"] = {{"nested", {1, 2, {{"deep", nullptr}}}}};
  for (auto it = json.rbegin(); it != json.rend(); ++it) shuffled[it.key()] = it.value();
  shuffled["config"]["unknown"] = 1.5;
  shuffled["operationTrace"][0]["note"] = "x";
  // The kind may stand anywhere in an operation, here after a nested decoy.
  ordered_json& mask = shuffled["operationTrace"][1]["operation"];
  mask.erase("kind");
  mask["extra"] = {{"kind", "bogus"}};
  mask["kind"] = "inputMask";
  // Null and missing optional texts are both absent.
  shuffled["operationTrace"][2]["operation"]["source_parent_unique_id"] = nullptr;
  shuffled["operationTrace"][2]["operation"].erase("target_screen_unique_id");
  shuffled.erase("targetAfterFile");

  FailureArtifact expected = kivo::test::sample_artifact();
  auto& copy = std::get<StressOperation::Copy>(expected.operation_trace[2].operation.value);
  copy.source_parent_unique_id = copy.target_screen_unique_id = std::nullopt;
  auto result = from_json_text(shuffled.dump());
  ASSERT_TRUE(result) << result.error().display_chain();
  EXPECT_EQ(*result, expected);
}

TEST(ArtifactReading, RefusesBrokenRecords) {
  const std::string u64 = "expected an unsigned 64-bit integer";
  const std::pair<void (*)(ordered_json&), std::string> cases[] = {
      {[](ordered_json& j) { j["config"].erase("outDir"); }, "missing field 'outDir'"},
      {[](ordered_json& j) { j["operationTrace"][0]["operation"]["kind"] = "Copy"; },
       "unknown operation kind 'Copy', expected 'copy' or 'inputMask'"},
      {[](ordered_json& j) { j["operationTrace"][1]["operation"].erase("allow_overwrite"); },
       "missing field 'allow_overwrite'"},
      {[](ordered_json& j) { j["operationTrace"][1]["operation"]["allow_overwrite"] = "true"; },
       "invalid type for 'allow_overwrite': expected true or false"},
      {[](ordered_json& j) { j["operationTrace"][0]["expected"] = "Success"; },
       "unknown expected outcome 'Success', expected 'success', 'any' or 'errorContains'"},
      {[](ordered_json& j) {
         j["operationTrace"][0]["expected"] = {{"errorMatches", "x"}};
       },
       "unknown expected outcome 'errorMatches', expected 'success', 'any' or 'errorContains'"},
      {[](ordered_json& j) {
         j["operationTrace"][0]["expected"] = {{"errorContains", 3}};
       },
       "invalid type for 'errorContains': expected a string"},
      {[](ordered_json& j) { j["config"]["profile"] = "Deep"; },
       "unknown profile 'Deep', expected 'fast', 'balanced' or 'deep'"},
      {[](ordered_json& j) { j["operationTrace"][0]["index"] = -1; },
       "invalid type for 'index': " + u64},
      {[](ordered_json& j) { j["seed"] = "42"; }, "invalid type for 'seed': " + u64},
      {[](ordered_json& j) { j["targetAfterFile"] = 1; },
       "invalid type for 'targetAfterFile': expected a string or null"},
      {[](ordered_json& j) { j["operationTrace"] = ordered_json::object(); },
       "invalid type for 'operationTrace': expected an array"},
      {[](ordered_json& j) { j = ordered_json::array(); },
       "invalid type for 'case file': expected an object"},
      // Nesting is bounded, but not below what a real record could need.
      {[](ordered_json& j) {
         for (int i = 0; i < 100; ++i) j["extra"] = ordered_json::array({j["extra"]});
       },
       "loaded"},
  };
  for (const auto& [change, message] : cases) {
    ordered_json json = sample_json();
    change(json);
    EXPECT_EQ(text_error(json.dump()), message);
  }
}

TEST(ArtifactReading, RefusesBrokenText) {
  const std::string text = sample_json().dump();
  auto replaced = [&](std::string_view from, std::string_view to) {
    std::string changed = text;
    return changed.replace(changed.find(from), from.size(), to);
  };
  const std::pair<std::string, std::string> cases[] = {
      {replaced("42", "18446744073709551616"),
       "invalid type for 'seed': expected an unsigned 64-bit integer"},
      {replaced("{", R"({"seed": 42,)"), "duplicate field 'seed'"},
      {replaced(R"("kind":"copy")", R"("kind":"copy","kind":"copy")"), "duplicate field 'kind'"},
      {R"({"extra": {"a": 1, "a": 1}})", "duplicate field 'a'"},
      {std::string(100000, '['), "nesting deeper than 128 levels"},
  };
  for (const auto& [changed, message] : cases) EXPECT_EQ(text_error(changed), message);
  EXPECT_THAT(text_error(replaced("42", "1e400")), HasSubstr("number overflow"));
  for (const std::string& broken : {std::string(), text.substr(0, text.size() / 2), text + " {}"}) {
    EXPECT_THAT(text_error(broken), HasSubstr("parse error")) << broken;
  }
  auto max = from_json_text(replaced("42", "18446744073709551615"));
  ASSERT_TRUE(max);
  EXPECT_EQ(max->seed, 18446744073709551615ULL);
}

TEST(ArtifactReading, HugeStringIsFine) {
  FailureArtifact artifact = kivo::test::sample_artifact();
  artifact.failure_message.assign(100u << 20, 'm');
  auto read_back = from_json_text(*to_json_text(artifact));
  ASSERT_TRUE(read_back);
  EXPECT_EQ(read_back->failure_message.size(), 100u << 20);
}

}  // namespace
}  // namespace kivo::stress::artifacts
