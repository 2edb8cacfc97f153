#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "kivo/stress/artifacts.hpp"
#include "kivo/xml_utils.hpp"
#include "support/presets.hpp"
#include "support/sample_artifact.hpp"
#include "support/temp_dir.hpp"

namespace kivo::stress::artifacts {
namespace {

namespace fs = std::filesystem;
using namespace kivo::test;
using ::testing::StartsWith;

void spit(const fs::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
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

std::uint64_t now_seconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

TEST_F(CaseFiles, WritesTheFourFilesAndReadsTheCaseBack) {
  const fs::path out_dir = root_ / "a" / "b" / "c";
  const std::uint64_t before = now_seconds();
  auto dir = persist_failure_artifact(out_dir, artifact_, source_, target_, &after_);
  ASSERT_TRUE(dir) << dir.error().display_chain();

  EXPECT_EQ(dir->parent_path(), out_dir);
  const std::string name = dir->filename().string();
  const std::uint64_t seconds = std::stoull(name.substr(0, name.find('_')));
  EXPECT_GE(seconds, before);
  EXPECT_LE(seconds, now_seconds());
  EXPECT_EQ(name, std::to_string(seconds) + "_42");

  EXPECT_EQ(read_whole_file(*dir / "case.json"), *to_json_text(artifact_));
  EXPECT_EQ(read_whole_file(*dir / "source_before.xml"), *xml_utils::write_xml_string(source_));
  EXPECT_EQ(read_whole_file(*dir / "target_before.xml"), *xml_utils::write_xml_string(target_));
  EXPECT_EQ(read_whole_file(*dir / "target_after.xml"), *xml_utils::write_xml_string(after_));

  auto loaded = load_failure_artifact(*dir / "case.json");
  ASSERT_TRUE(loaded) << loaded.error().display_chain();
  EXPECT_EQ(*loaded, artifact_);

  // Without a target after the copy no such file is written, whatever the case names.
  FailureArtifact named = artifact_;
  named.target_after_file = "target_after.xml";
  auto bare = persist_failure_artifact(root_ / "bare", named, source_, target_, nullptr);
  ASSERT_TRUE(bare);
  EXPECT_TRUE(fs::exists(*bare / "target_before.xml"));
  EXPECT_FALSE(fs::exists(*bare / "target_after.xml"));
}

TEST_F(CaseFiles, SameSeedInTheSameSecondNeverReusesADirectory) {
  // Occupy the names of this second and the next, so the write must pick a suffixed name.
  const std::uint64_t now = now_seconds();
  for (std::uint64_t seconds : {now, now + 1}) {
    fs::create_directories(root_ / (std::to_string(seconds) + "_42"));
    spit(root_ / (std::to_string(seconds) + "_42") / "case.json", "earlier");
  }
  auto first = persist_failure_artifact(root_, artifact_, source_, target_, nullptr);
  auto second = persist_failure_artifact(root_, artifact_, source_, target_, nullptr);
  ASSERT_TRUE(first && second);
  EXPECT_NE(*first, *second);
  EXPECT_THAT(first->filename().string(), ::testing::EndsWith("_42_1"));
  EXPECT_EQ(read_whole_file(*first / "case.json"), *to_json_text(artifact_));
  for (std::uint64_t seconds : {now, now + 1}) {
    EXPECT_EQ(read_whole_file(root_ / (std::to_string(seconds) + "_42") / "case.json"), "earlier");
  }
}

TEST_F(CaseFiles, OutDirThatIsAFileIsReported) {
  fs::create_directories(root_);
  spit(root_ / "file", "x");
  auto dir = persist_failure_artifact(root_ / "file", artifact_, source_, target_, nullptr);
  ASSERT_FALSE(dir);
  EXPECT_THAT(dir.error().chain(),
              ::testing::ElementsAre("failed to create stress out dir " + (root_ / "file").string(),
                                     ::testing::Not(::testing::IsEmpty())));
}

TEST_F(CaseFiles, UnwritablePresetIsTheBareWriterError) {
  const Element broken = preset({el("bad name")});
  auto source_fails = persist_failure_artifact(root_, artifact_, broken, target_, &after_);
  ASSERT_FALSE(source_fails);
  // No context: the writer error itself, followed by its cause.
  const std::vector<std::string> writer_chain = {
      "XML write error: Element name \"bad name\" is not a valid XML name",
      "Element name \"bad name\" is not a valid XML name"};
  EXPECT_EQ(source_fails.error().chain(), writer_chain);

  auto after_fails =
      persist_failure_artifact(root_ / "later", artifact_, source_, target_, &broken);
  ASSERT_FALSE(after_fails);
  EXPECT_EQ(after_fails.error().chain(), writer_chain);
  // What was written before the failure stays.
  auto dirs = fs::directory_iterator(root_ / "later");
  const fs::path dir = dirs->path();
  EXPECT_TRUE(fs::exists(dir / "source_before.xml"));
  EXPECT_TRUE(fs::exists(dir / "target_before.xml"));
  EXPECT_FALSE(fs::exists(dir / "target_after.xml"));
  EXPECT_FALSE(fs::exists(dir / "case.json"));
}

/// `base` extended by nested directory names to exactly `length` characters (not created).
fs::path path_of_length(const fs::path& base, std::size_t length) {
  std::string text = base.string();
  while (text.size() < length) {
    const std::size_t part = std::min<std::size_t>(200, length - text.size() - 1);
    text.append("/").append(part == 0 ? 1 : part, 'd');
  }
  return text;
}

TEST_F(CaseFiles, PathsBeyondTheSystemLimitAreReportedWithTheirStep) {
  // Paths reach 4095 characters at most; the case name for this seed has 31.
  FailureArtifact artifact = artifact_;
  artifact.seed = 18446744073709551615ULL;

  const fs::path no_room_for_dir = path_of_length(root_, 4080);
  auto dir_fails = persist_failure_artifact(no_room_for_dir, artifact, source_, target_, nullptr);
  ASSERT_FALSE(dir_fails);
  EXPECT_THAT(dir_fails.error().message(),
              StartsWith("failed to create case dir " + no_room_for_dir.string() + "/"));
  EXPECT_EQ(dir_fails.error().chain().size(), 2u);

  const fs::path no_room_for_files = path_of_length(root_, 4055);
  auto file_fails =
      persist_failure_artifact(no_room_for_files, artifact, source_, target_, nullptr);
  ASSERT_FALSE(file_fails);
  EXPECT_THAT(file_fails.error().chain(),
              ::testing::ElementsAre("failed to write source_before.xml",
                                     "File name too long (os error 36)"));
}

TEST_F(CaseFiles, UnserializableArtifactIsReported) {
  FailureArtifact artifact = artifact_;
  artifact.failure_message = "\xff";
  auto dir = persist_failure_artifact(root_, artifact, source_, target_, nullptr);
  ASSERT_FALSE(dir);
  EXPECT_THAT(dir.error().display_chain(), StartsWith("failed to serialize failure case: "));
}

TEST_F(CaseFiles, UnreadableCaseFileIsReported) {
  const fs::path missing = root_ / "missing.json";
  auto loaded = load_failure_artifact(missing);
  ASSERT_FALSE(loaded);
  EXPECT_EQ(loaded.error().display_chain(), "failed to read case file " + missing.string() +
                                                ": No such file or directory (os error 2)");

  fs::create_directories(root_);
  spit(root_ / "latin1.json", "{\"failureMessage\": \"caf\xe9\"}");
  auto latin1 = load_failure_artifact(root_ / "latin1.json");
  ASSERT_FALSE(latin1);
  EXPECT_EQ(latin1.error().display_chain(), "failed to read case file " +
                                                (root_ / "latin1.json").string() +
                                                ": file is not valid UTF-8 text");
}

TEST_F(CaseFiles, UnparsableCaseFilesNameTheFile) {
  fs::create_directories(root_);
  const std::string valid = *to_json_text(artifact_);
  for (const std::string& text : {std::string(), valid.substr(0, valid.size() - 3)}) {
    const fs::path path = root_ / "case.json";
    spit(path, text);
    auto loaded = load_failure_artifact(path);
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.error().chain().size(), 2u);
    EXPECT_EQ(loaded.error().message(), "failed to parse case file " + path.string());
  }
}

}  // namespace
}  // namespace kivo::stress::artifacts
