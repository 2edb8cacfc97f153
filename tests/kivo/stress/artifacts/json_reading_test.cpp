#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "kivo/stress/artifacts.hpp"
#include "support/sample_artifact.hpp"

namespace kivo::stress::artifacts {
namespace {

using nlohmann::ordered_json;
using ::testing::HasSubstr;

ordered_json sample_json() {
  return ordered_json::parse(*to_json_text(kivo::test::sample_artifact()));
}

Result<FailureArtifact> read(const ordered_json& json) { return from_json_text(json.dump()); }

std::string text_error(std::string_view text) {
  auto result = from_json_text(text);
  return result ? "loaded" : result.error().display_chain();
}

std::string read_error(const ordered_json& json) { return text_error(json.dump()); }

TEST(ArtifactReading, KeysInAnyOrderAndUnknownKeysAnywhere) {
  ordered_json json = sample_json();
  ordered_json reversed = ordered_json::object();
  for (auto it = json.items().begin(); it != json.items().end(); ++it) {
    reversed[it.key()] = it.value();
  }
  ordered_json shuffled = ordered_json::object();
  shuffled["extra"] = {{"nested", {1, 2, {{"deep", nullptr}}}}};
  for (const char* key : {"operationTrace", "targetAfterFile", "seed", "config", "traceHash",
                          "failureMessage", "failingStepIndex", "targetDocIndex", "sourceDocIndex",
                          "targetBeforeFile", "sourceBeforeFile"}) {
    shuffled[key] = json[key];
  }
  shuffled["config"]["unknown"] = 1.5;
  shuffled["operationTrace"][0]["note"] = "x";
  // The kind may stand anywhere in an operation.
  ordered_json op = ordered_json::object();
  op["source_slice_unique_id"] = "s1";
  op["target_slice_unique_id"] = "t1";
  op["allow_overwrite"] = true;
  op["extra"] = {{"kind", "bogus"}};
  op["kind"] = "inputMask";
  shuffled["operationTrace"][1]["operation"] = op;

  auto result = read(shuffled);
  ASSERT_TRUE(result) << result.error().display_chain();
  EXPECT_EQ(*result, kivo::test::sample_artifact());
}

TEST(ArtifactReading, NullAndMissingOptionalTextsAreAbsent) {
  ordered_json json = sample_json();
  json["operationTrace"][2]["operation"]["source_parent_unique_id"] = nullptr;
  json["operationTrace"][2]["operation"].erase("target_screen_unique_id");
  json.erase("targetAfterFile");
  auto result = read(json);
  ASSERT_TRUE(result) << result.error().display_chain();
  const auto& copy = std::get<StressOperation::Copy>(result->operation_trace[2].operation.value);
  EXPECT_EQ(copy.source_parent_unique_id, std::nullopt);
  EXPECT_EQ(copy.target_screen_unique_id, std::nullopt);
  EXPECT_EQ(result->target_after_file, std::nullopt);
}

TEST(ArtifactReading, RefusesBrokenRecords) {
  struct Case {
    const char* name;
    void (*change)(ordered_json&);
    const char* message;
  };
  const Case cases[] = {
      {"missing seed", [](ordered_json& j) { j.erase("seed"); }, "missing field 'seed'"},
      {"missing config key", [](ordered_json& j) { j["config"].erase("outDir"); },
       "missing field 'outDir'"},
      {"missing kind", [](ordered_json& j) { j["operationTrace"][0]["operation"].erase("kind"); },
       "missing field 'kind'"},
      {"capital kind",
       [](ordered_json& j) { j["operationTrace"][0]["operation"]["kind"] = "Copy"; },
       "unknown operation kind 'Copy', expected 'copy' or 'inputMask'"},
      {"missing flag",
       [](ordered_json& j) { j["operationTrace"][1]["operation"].erase("allow_overwrite"); },
       "missing field 'allow_overwrite'"},
      {"flag as text",
       [](ordered_json& j) { j["operationTrace"][1]["operation"]["allow_overwrite"] = "true"; },
       "invalid type for 'allow_overwrite': expected true or false"},
      {"unknown expectation",
       [](ordered_json& j) { j["operationTrace"][0]["expected"] = "Success"; },
       "unknown expected outcome 'Success', expected 'success', 'any' or 'errorContains'"},
      {"unknown expectation object",
       [](ordered_json& j) {
         j["operationTrace"][0]["expected"] = {{"errorMatches", "x"}};
       },
       "unknown expected outcome 'errorMatches', expected 'success', 'any' or 'errorContains'"},
      {"fragment not text",
       [](ordered_json& j) {
         j["operationTrace"][0]["expected"] = {{"errorContains", 3}};
       },
       "invalid type for 'errorContains': expected a string"},
      {"profile case", [](ordered_json& j) { j["config"]["profile"] = "Deep"; },
       "unknown profile 'Deep', expected 'fast', 'balanced' or 'deep'"},
      {"negative index", [](ordered_json& j) { j["operationTrace"][0]["index"] = -1; },
       "invalid type for 'index': expected an unsigned 64-bit integer"},
      {"fractional seed", [](ordered_json& j) { j["seed"] = 1.5; },
       "invalid type for 'seed': expected an unsigned 64-bit integer"},
      {"seed as text", [](ordered_json& j) { j["seed"] = "42"; },
       "invalid type for 'seed': expected an unsigned 64-bit integer"},
      {"optional not text", [](ordered_json& j) { j["targetAfterFile"] = 1; },
       "invalid type for 'targetAfterFile': expected a string or null"},
      {"trace not array", [](ordered_json& j) { j["operationTrace"] = ordered_json::object(); },
       "invalid type for 'operationTrace': expected an array"},
      {"root not object", [](ordered_json& j) { j = ordered_json::array(); },
       "invalid type for 'case file': expected an object"},
  };
  for (const Case& c : cases) {
    ordered_json json = sample_json();
    c.change(json);
    EXPECT_EQ(read_error(json), c.message) << c.name;
  }
}

TEST(ArtifactReading, RefusesUnrepresentableNumbers) {
  std::string text = sample_json().dump();
  auto with_seed = [&](const std::string& seed) {
    std::string changed = text;
    changed.replace(changed.find("42"), 2, seed);
    return text_error(changed);
  };
  EXPECT_THAT(with_seed("1e400"), HasSubstr("number overflow"));
  EXPECT_EQ(with_seed("-1"), "invalid type for 'seed': expected an unsigned 64-bit integer");
  EXPECT_EQ(with_seed("18446744073709551616"),
            "invalid type for 'seed': expected an unsigned 64-bit integer");
  auto max = from_json_text(text.replace(text.find("42"), 2, "18446744073709551615"));
  ASSERT_TRUE(max);
  EXPECT_EQ(max->seed, 18446744073709551615ULL);
}

TEST(ArtifactReading, RefusesDuplicateKeysAtAnyLevel) {
  std::string text = sample_json().dump();
  std::string top = text;
  top.insert(1, R"("seed": 42,)");
  EXPECT_EQ(text_error(top), "duplicate field 'seed'");

  std::string inner = text;
  inner.replace(inner.find(R"("kind":"copy")"), 13, R"("kind":"copy","kind":"copy")");
  EXPECT_EQ(text_error(inner), "duplicate field 'kind'");

  EXPECT_EQ(text_error(R"({"extra": {"a": 1, "a": 1}})"), "duplicate field 'a'");
}

TEST(ArtifactReading, RefusesMalformedText) {
  std::string text = sample_json().dump();
  for (std::size_t cut : {std::size_t{0}, std::size_t{1}, text.size() / 2, text.size() - 1}) {
    EXPECT_THAT(text_error(text.substr(0, cut)), HasSubstr("parse error")) << cut;
  }
  EXPECT_THAT(text_error(text + " {}"), HasSubstr("parse error"));
  EXPECT_THAT(text_error(text.substr(0, text.size() - 1) + ",}"), HasSubstr("parse error"));
}

TEST(ArtifactReading, BoundsNestingDepth) {
  ordered_json json = sample_json();
  ordered_json nested = ordered_json::array();
  for (int i = 0; i < 100; ++i) nested = ordered_json::array({nested});
  json["extra"] = nested;
  EXPECT_EQ(read_error(json), "loaded");

  EXPECT_EQ(text_error(std::string(100000, '[')), "nesting deeper than 128 levels");
  std::string objects;
  for (int i = 0; i < 100000; ++i) objects += R"({"a":)";
  EXPECT_EQ(text_error(objects), "nesting deeper than 128 levels");
}

TEST(ArtifactReading, HugeStringIsFine) {
  FailureArtifact artifact = kivo::test::sample_artifact();
  artifact.failure_message.assign(100u << 20, 'm');
  auto text = to_json_text(artifact);
  ASSERT_TRUE(text);
  auto read_back = from_json_text(*text);
  ASSERT_TRUE(read_back);
  EXPECT_EQ(read_back->failure_message.size(), 100u << 20);
}

}  // namespace
}  // namespace kivo::stress::artifacts
