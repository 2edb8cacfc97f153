#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/artifacts/float_text.hpp"
#include "support/sample_artifact.hpp"

namespace kivo::stress::artifacts {
namespace {

constexpr std::string_view kSampleJson = R"({
  "seed": 42,
  "config": {
    "profile": "balanced",
    "seed": 42,
    "templatePath": "/t/fully_loaded.xml",
    "docs": 80,
    "pairs": 300,
    "opsPerPair": 8,
    "invalidRate": 0.08,
    "outDir": "/o/stress"
  },
  "sourceDocIndex": 3,
  "targetDocIndex": 17,
  "failingStepIndex": 2,
  "failureMessage": "say \"hi\"\\ a/b\n\t\r\b\f\u0001\u001f é",
  "traceHash": "0123456789abcdef",
  "operationTrace": [
    {
      "index": 0,
      "operation": {
        "kind": "copy",
        "source_kind": "screen",
        "source_unique_id": "9",
        "source_parent_unique_id": null,
        "target_screen_unique_id": null
      },
      "expected": "success",
      "outcome": "success"
    },
    {
      "index": 2,
      "operation": {
        "kind": "inputMask",
        "source_slice_unique_id": "s1",
        "target_slice_unique_id": "t1",
        "allow_overwrite": true
      },
      "expected": "any",
      "outcome": "error:Source node not found"
    },
    {
      "index": 5,
      "operation": {
        "kind": "copy",
        "source_kind": "slice",
        "source_unique_id": "12",
        "source_parent_unique_id": "5",
        "target_screen_unique_id": "7"
      },
      "expected": {
        "errorContains": "Target screen"
      },
      "outcome": "invariant:x"
    }
  ],
  "sourceBeforeFile": "source_before.xml",
  "targetBeforeFile": "target_before.xml",
  "targetAfterFile": null
})";

TEST(ArtifactJson, WritesTheExactTextForm) {
  auto text = to_json_text(kivo::test::sample_artifact());
  ASSERT_TRUE(text) << text.error().display_chain();
  EXPECT_EQ(*text, kSampleJson);
}

TEST(ArtifactJson, ReadsBackWhatItWrote) {
  FailureArtifact artifact = kivo::test::sample_artifact();
  artifact.target_after_file = "target_after.xml";
  artifact.operation_trace.clear();
  for (FailureArtifact original : {kivo::test::sample_artifact(), artifact}) {
    auto text = to_json_text(original);
    ASSERT_TRUE(text);
    auto read = from_json_text(*text);
    ASSERT_TRUE(read) << read.error().display_chain();
    EXPECT_EQ(*read, original);
  }
}

TEST(ArtifactJson, EmptyTraceIsAnEmptyArray) {
  FailureArtifact artifact = kivo::test::sample_artifact();
  artifact.operation_trace.clear();
  auto text = to_json_text(artifact);
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("\"operationTrace\": [],\n"), std::string::npos);
}

TEST(ArtifactJson, InvalidUtf8CannotBeSerialized) {
  FailureArtifact artifact = kivo::test::sample_artifact();
  artifact.failure_message.assign(1, static_cast<char>(0xff));
  EXPECT_FALSE(to_json_text(artifact));
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

}  // namespace
}  // namespace kivo::stress::artifacts
