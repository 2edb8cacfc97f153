// The case file's exact JSON form, the strict reader's acceptances and refusals, and the case
// directory with its files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "kivo/stress/artifacts.hpp"
#include "kivo/stress/artifacts/float_text.hpp"
#include "support/presets.hpp"
#include "support/sample_artifact.hpp"
#include "support/temp_dir.hpp"

namespace kivo::stress::artifacts {
namespace {

namespace fs = std::filesystem;
using namespace kivo::test;
using nlohmann::ordered_json;
using ::testing::HasSubstr;

ordered_json sample_json() { return ordered_json::parse(*to_json_text(sample_artifact())); }

std::string text_error(std::string_view text) {
  auto result = from_json_text(text);
  return result ? "loaded" : result.error().display_chain();
}

TEST(ArtifactJson, WritesTheExactTextFormAndReadsItBack) {
  auto text = to_json_text(sample_artifact());
  ASSERT_TRUE(text) << text.error().display_chain();
  EXPECT_EQ(*text, read_whole_file(KIVO_SOURCE_DIR "/tests/data/stress/sample_case.json"));

  FailureArtifact bare = sample_artifact();
  bare.target_after_file = "target_after.xml";
  bare.operation_trace.clear();
  for (const FailureArtifact& original : {sample_artifact(), bare}) {
    auto written = to_json_text(original);
    ASSERT_TRUE(written);
    auto read = from_json_text(*written);
    ASSERT_TRUE(read) << read.error().display_chain();
    EXPECT_EQ(*read, original);
  }
  EXPECT_NE(to_json_text(bare)->find("\"operationTrace\": [],\n"), std::string::npos);
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
  FailureArtifact artifact = sample_artifact();
  artifact.failure_message.assign(100u << 20, 'm');
  auto read_back = from_json_text(*to_json_text(artifact));
  ASSERT_TRUE(read_back);
  EXPECT_EQ(read_back->failure_message.size(), 100u << 20);
}

class CaseFiles : public ::testing::Test {
 protected:
  const TempDir dir_;
  const fs::path root_ = dir_.path() / "out";
  const FailureArtifact artifact_ = sample_artifact();
  const Element source_ = preset({el("Screen", {{"uniqueId", "1"}})});
  const Element target_ = preset({el("Screen", {{"uniqueId", "2"}})});
  const Element after_ = preset({el("Screen", {{"uniqueId", "3"}})});
};

/// `base` extended by nested directory names to exactly `length` characters (not created).
fs::path path_of_length(const fs::path& base, std::size_t length) {
  std::string text = base.string();
  while (text.size() < length) {
    const std::size_t part = std::min<std::size_t>(200, length - text.size() - 1);
    text.append("/").append(part == 0 ? 1 : part, 'd');
  }
  return text;
}

TEST_F(CaseFiles, WriteFailuresNameTheirStep) {
  const fs::path file = dir_.write("file", "x");
  const Element broken = preset({el("bad name")});
  const std::string kDiscarded = "case not kept; its incomplete directory … was removed: ";
  // Behind that, no context on a writer error: the writer's error itself, followed by its cause.
  const std::string writer =
      "XML write error: Element name \"bad name\" is not a valid XML name: Element name \"bad "
      "name\" is not a valid XML name";
  // Paths reach 4095 characters at most; the case name for the largest seed has 31.
  FailureArtifact largest = artifact_, unserializable = artifact_;
  largest.seed = 18446744073709551615ULL;
  unserializable.failure_message = "\xff";
  const fs::path no_room_for_dir = path_of_length(root_, 4080);
  // Room for the incomplete directory's name, not for the files in it.
  const fs::path no_room_for_files = path_of_length(root_, 4070);
  const struct {
    fs::path out_dir;
    const FailureArtifact& artifact;
    const Element& source;
    const Element* after;
    std::string error;  // the whole text, or its start when it ends in ": "
  } cases[] = {
      {file, artifact_, source_, nullptr,
       "failed to create stress out dir " + file.string() + ": "},
      {root_, artifact_, broken, &after_, kDiscarded + writer},
      {root_ / "later", artifact_, source_, &broken, kDiscarded + writer},
      {no_room_for_dir, largest, source_, nullptr,
       "failed to create case dir " + no_room_for_dir.string() + "/"},
      {no_room_for_files, largest, source_, nullptr,
       kDiscarded + "failed to write source_before.xml: File name too long (os error 36)"},
      {root_, unserializable, source_, nullptr, kDiscarded + "failed to serialize failure case: "},
  };
  for (const auto& c : cases) {
    auto dir = persist_failure_artifact(c.out_dir, c.artifact, c.source, target_, c.after);
    ASSERT_FALSE(dir) << c.error;
    // The incomplete directory's name differs from run to run.
    const std::string shown = std::regex_replace(
        dir.error().display_chain(), std::regex("directory /\\S*/\\.incomplete_[0-9]+_[0-9]+ "),
        "directory … ");
    if (c.error.ends_with(": ") || c.error.ends_with("/")) {
      EXPECT_THAT(shown, ::testing::StartsWith(c.error));
    } else {
      EXPECT_EQ(shown, c.error);
    }
  }
  // Nothing half written is left behind.
  EXPECT_TRUE(fs::is_empty(root_ / "later"));
  EXPECT_TRUE(fs::is_empty(no_room_for_files));
}

}  // namespace
}  // namespace kivo::stress::artifacts
