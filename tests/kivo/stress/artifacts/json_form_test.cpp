#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/artifacts/float_text.hpp"
#include "support/presets.hpp"
#include "support/sample_artifact.hpp"

namespace kivo::stress::artifacts {
namespace {

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

}  // namespace
}  // namespace kivo::stress::artifacts
